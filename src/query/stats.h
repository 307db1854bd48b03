#pragma once
// The player statistics query: the request for the player information page,
// and the lines of the output box that its figures give.
#include <string_view>

#include "web/http.h"
#include "web/text.h"

namespace velkor {

// The request for the page; the session's cookies go with it.
HttpArgs stats_query();

// The texts to append to the output box, in order: the overall block (a heading
// and eight labelled lines) when the page has at least 12 plain cells, then the
// day's heading and the day's block. An empty page still gives the day's texts.
TextList stats_lines(std::string_view page_bytes);

}  // namespace velkor
