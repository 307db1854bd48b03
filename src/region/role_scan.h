#pragma once
// The role lookup of one area, and the role scan over every area of the area list.
#include "app/commands.h"

namespace velkor {

// The account's role on the area at `area_index` (0-based) of the area list; empty
// when none was found. Writes nothing and stores nothing.
Text role_lookup(const Context& context, int area_index);

// Press of 按钮_角色扫描 (its guard has passed): the scan on a worker of its own.
void role_scan_press(Context& context);

// One line per area, in the order of the area list, one request at a time.
void role_scan_worker(Context context);

void plug_role_scan(Commands& commands);

}  // namespace velkor
