#pragma once
// The role-query requests, the readers of their answers and the lookup of an
// area's region code. Pure functions; the caller sends and reports.
#include <string_view>

#include "web/http.h"
#include "web/text.h"

namespace velkor::region {

// The account's role on an area (role lookup and role scan).
HttpArgs role_query(std::string_view area_code);
// The same query as the binding sends it, for its md5str.
HttpArgs signup_role_query(std::string_view area_code);

// The role that follows the account number and a blank in the decoded answer, up
// to the next "|"; empty when there is none. The number is not anchored: it may
// end a longer number.
Text role_of(std::string_view answer_bytes, std::string_view uin);
// The md5str value of a role-query answer, as it stands in the answer.
Text md5str_of(std::string_view answer_bytes);

// The region code of an area: the digits ending the first region line that holds
// the display name's first four characters; empty when no line does.
Text region_code(std::string_view display_name, const TextList& region_table);

// The area code of the area list's item at a 0-based selection index; empty
// outside the list.
Text area_code_at(const TextList& area_codes, int selected_index);

}  // namespace velkor::region
