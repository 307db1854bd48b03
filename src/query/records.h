#pragma once
// The claim-record query: the request for the consumption records of one game
// area, and the reading of its answer into list rows.
#include <string_view>
#include <vector>

#include "app/ui.h"
#include "web/http.h"
#include "web/text.h"

namespace velkor {

// The request for the records of one area. `random_text` is script_random_text();
// `area_code` and `area_name` are the selected area's code and display name;
// `region_code` is region_code() of the display name's first 8 bytes (its first
// four characters), worked out by the caller. The session's cookies go with it.
HttpArgs record_query(std::string_view random_text, std::string_view area_code,
                      std::string_view area_name, std::string_view region_code);

// The rows of an answer (percent-encoded UTF-8, records between bars, fields
// separated by "#"), in answer order; records of fewer than four fields give none.
std::vector<RecordRow> record_rows(std::string_view answer_bytes);

}  // namespace velkor
