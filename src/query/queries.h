#pragma once
// The two queries as the user presses them: claim records into the record list,
// player statistics into the output box.
#include "app/commands.h"

namespace velkor {

// Press of 按钮_领取查询 (its guard has emptied the list and passed): width 805, then
// the query for the area selected at the press, off the window thread.
void record_query_press(Context& context);

// Press of 按钮_常规查询 (its guard has passed): the query off the window thread.
void stats_query_press(Context& context);

void plug_queries(Commands& commands);

}  // namespace velkor
