// An answer's header block and cookie texts from a hostile server: reading the Set-Cookie
// lines and folding them into the kept cookies.
//
// Input: the kept cookie text and an answer's cookie text, each ended by a NUL byte, then
// a raw header block.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

#include "fuzz_input.h"
#include "web/cookies.h"
#include "web/http.h"
#include "web/text.h"

namespace {

using velkor::Text;
using velkor::TextList;

// Cookie texts are bytes: no blank byte at all, and no full-width blank character.
bool has_blank(std::string_view text) {
    return velkor::fuzz::contains(text, " ") || velkor::find(text, "\xA1\xA1") > 0;
}

// The items of a cookie text, which "; " separates byte by byte.
TextList items(std::string_view text) {
    TextList out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t at = std::min(text.find("; ", pos), text.size());
        out.emplace_back(text.substr(pos, at - pos));
        pos = at + 2;
    }
    return out;
}

std::size_t bare_line_feeds(std::string_view block) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < block.size(); ++i) {
        n += block[i] == '\n' && (i == 0 || block[i - 1] != '\r') ? 1 : 0;
    }
    return n;
}

// The promises of one merge: both texts lose their blanks, the kept text becomes the
// result, and the result holds no deleted cookie and no item twice.
void check_merge(Text kept, Text answer) {
    const Text result = velkor::merge_cookies(kept, answer);
    FUZZ_CHECK(kept == result);
    FUZZ_CHECK(!has_blank(answer));
    std::unordered_set<Text> seen;
    for (const Text& item : items(result)) {
        FUZZ_CHECK(!velkor::ends_with(item, "=deleted"));
        FUZZ_CHECK(seen.insert(item).second);
        FUZZ_CHECK(!has_blank(item));
        FUZZ_CHECK(!velkor::fuzz::contains(item, ";"));  // one cookie per item
    }
    // A second fold of the same answer changes nothing more.
    Text again = result;
    Text same_answer = answer;
    FUZZ_CHECK(velkor::merge_cookies(again, same_answer) == result);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velkor::fuzz::Fields in(data, size);
    const std::string_view kept = in.next();
    const std::string_view answer = in.next();
    const std::string_view headers = in.rest();

    check_merge(Text(kept), Text(answer));

    const Text read = velkor::answer_cookies_of(headers);
    FUZZ_CHECK(read.size() <= headers.size());
    // The client ends every header line with CRLF and keeps no other line feed: from such a
    // block no line feed reaches a cookie.
    if (bare_line_feeds(headers) == 0) {
        FUZZ_CHECK(!velkor::fuzz::contains(read, "\n"));
    }
    check_merge(Text(kept), read);
    return 0;
}
