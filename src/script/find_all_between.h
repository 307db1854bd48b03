#pragma once
// Every text between a left and a right marker, found with a lazy pattern search.
#include <string_view>

#include "web/text.h"

namespace velkor {

// The marker with ? * + [ ] ( ) { } escaped, "#引号" turned into '"' and "\r\n" into the
// two characters "\n"; a byte of 80 or more that opens no double-byte character (80, FF, a
// lead byte without its second byte) is written \xHH. The other pattern characters
// (. \ ^ $ |) pass unchanged, so a marker may carry pattern syntax of its own.
Text regex_escape(std::string_view marker);

// Fills `out` (emptied first) with each text between `left` and the nearest following
// `right`, in page order, letter case ignored. With max_len > 0 a text longer than max_len
// bytes is skipped. Each kept text becomes [left] prefix text suffix [right], the markers
// only when add_left / add_right are set. Returns the number of entries.
int find_all_between(std::string_view text, std::string_view left, std::string_view right,
                     int max_len, std::string_view prefix, std::string_view suffix, bool add_left,
                     bool add_right, TextList& out);

}  // namespace velkor
