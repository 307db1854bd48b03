// The text operations every reader is built on, over texts of any bytes: finding,
// replacing, splitting, trimming and reading numbers keep their promises.
//
// Input: an options byte, a start byte, the sought text and its replacement each ended by
// a NUL byte, then the text.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "web/text.h"

namespace {

using velkor::Text;
using velkor::TextList;

char fold(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool same_folded(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i])) {
            return false;
        }
    }
    return true;
}

bool has_letter(std::string_view s) {
    for (const char c : s) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            return true;
        }
    }
    return false;
}

void check_find(std::string_view text, std::string_view sought, int start) {
    for (const bool ignore_case : {false, true}) {
        const int at = velkor::find(text, sought, start, ignore_case);
        if (at == -1) {
            continue;
        }
        FUZZ_CHECK(at >= 1 && at >= start);
        const auto from = static_cast<std::size_t>(at) - 1;
        FUZZ_CHECK(from + sought.size() <= text.size());
        const std::string_view found = text.substr(from, sought.size());
        FUZZ_CHECK(ignore_case ? same_folded(found, sought) : found == sought);
    }
    // Without letters, folding changes nothing.
    if (!has_letter(sought)) {
        FUZZ_CHECK(velkor::find(text, sought, start, false) ==
                   velkor::find(text, sought, start, true));
    }
}

void check_replace(std::string_view text, std::string_view old_text, std::string_view new_text,
                   int start, int count) {
    for (const bool case_sensitive : {true, false}) {
        const Text out = velkor::replace(text, old_text, new_text, start, count, case_sensitive);
        if (old_text.size() == new_text.size()) {
            FUZZ_CHECK(out.size() == text.size());
            continue;
        }
        // Some number of whole replacements, no more than asked.
        const long long grown =
            static_cast<long long>(out.size()) - static_cast<long long>(text.size());
        const long long step =
            static_cast<long long>(new_text.size()) - static_cast<long long>(old_text.size());
        FUZZ_CHECK(grown % step == 0 && grown / step >= 0);
        FUZZ_CHECK(count < 0 || grown / step <= count);
    }
    // Replacing a text by itself gives the text back.
    FUZZ_CHECK(velkor::replace(text, old_text, old_text, start, count) == text);
}

void check_split(std::string_view text, std::string_view delimiter) {
    const TextList pieces = velkor::split(text, delimiter);
    FUZZ_CHECK(text.empty() == pieces.empty());
    if (delimiter.empty()) {
        return;
    }
    Text joined;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) {
            joined += delimiter;
        }
        joined += pieces[i];
    }
    // Only a trailing empty piece is dropped.
    FUZZ_CHECK(joined == text || joined + Text(delimiter) == text);
}

void check_blanks(std::string_view text) {
    const Text trimmed = velkor::trim_blanks(text);
    FUZZ_CHECK(velkor::fuzz::contains(text, trimmed));
    FUZZ_CHECK(trimmed.empty() || trimmed.front() != ' ');
    FUZZ_CHECK(velkor::trim_blanks(trimmed) == trimmed);
    const Text removed = velkor::remove_blanks(text);
    FUZZ_CHECK(velkor::find(removed, " ") < 0);
    FUZZ_CHECK(removed.size() <= text.size());
}

void check_numbers(std::string_view text) {
    const long long value = velkor::to_int(text);
    FUZZ_CHECK(velkor::to_int(velkor::number_text(value)) == value);
}

void check_pieces(std::string_view text, int n) {
    FUZZ_CHECK(velkor::left(text, n).size() <= text.size());
    FUZZ_CHECK(velkor::right(text, n).size() <= text.size());
    const Text m = velkor::middle(text, n, n);
    FUZZ_CHECK(m.empty() || text.substr(static_cast<std::size_t>(n) - 1, m.size()) == m);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velkor::fuzz::Fields in(data, size);
    const std::uint8_t options = in.byte();
    const int start = static_cast<int>(in.byte()) - 8;
    const std::string_view sought = in.next();
    const std::string_view replacement = in.next();
    const std::string_view text = in.rest();
    const int count = (options & 0x0F) == 0x0F ? -1 : (options & 0x0F);

    check_find(text, sought, start);
    check_replace(text, sought, replacement, start, count);
    check_split(text, sought);
    check_blanks(text);
    check_numbers(text);
    check_numbers(sought);
    check_pieces(text, start);
    return 0;
}
