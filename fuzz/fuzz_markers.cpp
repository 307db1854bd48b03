// Marker cutting over a hostile page: the plain search (collect_between), the pattern
// search (find_all_between) and the escaping of a marker into a pattern.
//
// Input: an options byte, a length byte, then left marker, right marker, prefix and suffix
// each ended by a NUL byte, then the page.
#include <cstdint>
#include <string>
#include <string_view>

#include "claim/collect_between.h"
#include "fuzz_input.h"
#include "script/find_all_between.h"
#include "script/regex_object.h"
#include "web/text.h"

namespace {

using velkor::Text;
using velkor::TextList;
using velkor::fuzz::contains;

bool starts_with(std::string_view s, std::string_view head) {
    return s.substr(0, head.size()) == head;
}

bool ends_with(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// Takes the decorations an entry was given off again; false when one is missing.
bool undecorate(std::string_view& entry, std::string_view head, std::string_view tail) {
    if (entry.size() < head.size() + tail.size() || !starts_with(entry, head) ||
        !ends_with(entry, tail)) {
        return false;
    }
    entry = entry.substr(head.size(), entry.size() - head.size() - tail.size());
    return true;
}

void check_collect(std::string_view page, std::string_view left, std::string_view right,
                   std::string_view prefix, std::string_view suffix, std::uint8_t options,
                   std::uint8_t length) {
    velkor::CollectOptions o;
    o.prefix = Text(prefix);
    o.suffix = Text(suffix);
    o.respect_case = (options & 1) != 0;
    o.add_left = (options & 2) != 0;
    o.add_right = (options & 4) != 0;
    o.start = options >> 3;
    o.max_length = length;
    TextList out;
    const int n = velkor::collect_between(page, left, right, out, o);
    FUZZ_CHECK(n >= 0 && static_cast<std::size_t>(n) == out.size());
    FUZZ_CHECK(left.empty() ? n == 0 : out.size() <= page.size());
    for (const Text& piece : out) {
        FUZZ_CHECK(!piece.empty());
        FUZZ_CHECK(o.max_length == 0 || piece.size() < o.max_length);
        std::string_view core = piece;
        FUZZ_CHECK(undecorate(core, o.add_left ? left : "", o.add_right ? right : ""));
        FUZZ_CHECK(undecorate(core, o.prefix, o.suffix));
        // The piece is page text with its blanks trimmed, and the right marker closes it.
        FUZZ_CHECK(contains(page, core));
        FUZZ_CHECK(!starts_with(core, " "));
        FUZZ_CHECK(right.empty() || velkor::find(core, right, 1, !o.respect_case) < 0);
    }
}

void check_find_all(std::string_view page, std::string_view left, std::string_view right,
                    std::string_view prefix, std::string_view suffix, std::uint8_t options,
                    std::uint8_t length) {
    const bool add_left = (options & 2) != 0;
    const bool add_right = (options & 4) != 0;
    TextList out;
    const int n = velkor::find_all_between(page, left, right, length, prefix, suffix, add_left,
                                           add_right, out);
    FUZZ_CHECK(n >= 0 && static_cast<std::size_t>(n) == out.size());
    FUZZ_CHECK(out.size() <= page.size() + 1);
    for (const Text& entry : out) {
        std::string_view found = entry;
        FUZZ_CHECK(undecorate(found, add_left ? left : "", add_right ? right : ""));
        FUZZ_CHECK(undecorate(found, prefix, suffix));
        FUZZ_CHECK(contains(page, found));
        FUZZ_CHECK(length == 0 || found.size() <= length);
    }
}

// A marker free of the pattern characters that pass unescaped finds itself, whole.
void check_escape(std::string_view marker) {
    const Text pattern = velkor::regex_escape(marker);
    // Byte by byte: after a byte that opens no character of the pattern engine, "$" and the
    // like are pattern syntax of their own.
    for (const char c : std::string_view(".\\^$|")) {
        if (contains(marker, std::string_view(&c, 1))) {
            return;
        }
    }
    if (contains(marker, "\r\n") || contains(marker, velkor::gbk("#引号"))) {
        return;
    }
    velkor::regex_object re;
    FUZZ_CHECK(re.create(pattern, marker, true, false, false));
    int position = -1;
    FUZZ_CHECK(re.match_count() == 1);
    FUZZ_CHECK(re.match_text(1, &position) == marker);
    FUZZ_CHECK(position == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velkor::fuzz::Fields in(data, size);
    const std::uint8_t options = in.byte();
    const std::uint8_t length = in.byte();
    const std::string_view left = in.next();
    const std::string_view right = in.next();
    const std::string_view prefix = in.next();
    const std::string_view suffix = in.next();
    const std::string_view page = in.rest();

    check_collect(page, left, right, "", "", options, length);
    check_collect(page, left, right, prefix, suffix, options, length);

    check_find_all(page, left, right, prefix, suffix, options, length);
    check_escape(left);
    check_escape(right);
    return 0;
}
