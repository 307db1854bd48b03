// Hostile patterns over hostile texts: whatever the pattern, a search gives matches that
// are pieces of the text in order, never starting, ending or cutting a group inside a
// double-byte character, and the replacement of each match by itself gives the text back.
//
// Input: an options byte, the pattern and the replacement each ended by a NUL byte, then
// the text.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "script/regex_object.h"
#include "web/text.h"

namespace {

using velkor::Text;

bool is_lead(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}
bool is_trail(unsigned char c) {
    return c >= 0x40 && c <= 0xFE && c != 0x7F;
}

// Character starts of a GBK text (its end counts as one); empty for a text without
// double-byte characters, where every byte is one.
std::vector<bool> char_starts(std::string_view s) {
    bool double_byte = false;
    for (const char c : s) {
        double_byte = double_byte || is_lead(static_cast<unsigned char>(c));
    }
    if (!double_byte) {
        return {};
    }
    std::vector<bool> starts(s.size() + 1, false);
    std::size_t i = 0;
    while (i < s.size()) {
        starts[i] = true;
        const bool pair = is_lead(static_cast<unsigned char>(s[i])) && i + 1 < s.size() &&
                          is_trail(static_cast<unsigned char>(s[i + 1]));
        i += pair ? 2 : 1;
    }
    starts[s.size()] = true;
    return starts;
}

bool at_start(const std::vector<bool>& starts, std::size_t i) {
    return starts.empty() || (i < starts.size() && starts[i]);
}

void check_nothing_held(const velkor::regex_object& re) {
    int position = 0;
    FUZZ_CHECK(re.match_count() == 0);
    FUZZ_CHECK(re.submatch_count() == 0);
    FUZZ_CHECK(re.match_text(1, &position).empty() && position == -1);
    FUZZ_CHECK(re.submatch_text(1, 1, &position).empty() && position == -1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velkor::fuzz::Fields in(data, size);
    const std::uint8_t options = in.byte();
    const std::string_view pattern = in.next();
    const std::string_view replacement = in.next();
    const std::string_view text = in.rest();
    const bool case_sensitive = (options & 1) != 0;
    const bool multiline = (options & 2) != 0;
    const bool global = (options & 4) != 0;
    const bool placeholder = (options & 8) != 0;

    velkor::regex_object re;
    FUZZ_CHECK(re.pattern().empty());
    const bool held = re.create(pattern, text, case_sensitive, multiline, global, placeholder);
    FUZZ_CHECK(re.pattern() == (placeholder ? velkor::replace(pattern, velkor::gbk("#引号"), "\"")
                                            : Text(pattern)));
    if (!held) {
        check_nothing_held(re);
        FUZZ_CHECK(re.replace(replacement).empty());
        return 0;
    }

    const int count = re.match_count();
    FUZZ_CHECK(count >= 0 && static_cast<std::size_t>(count) <= text.size() + 1);
    FUZZ_CHECK(global || count <= 1);
    const std::vector<bool> starts = char_starts(text);
    const int groups = re.submatch_count();
    FUZZ_CHECK(count > 0 ? groups >= 0 : groups == 0);
    std::size_t previous_end = 0;
    std::size_t matched_bytes = 0;
    for (int i = 1; i <= count; ++i) {
        int position = -1;
        const Text match = re.match_text(i, &position);
        FUZZ_CHECK(position >= 0 && static_cast<std::size_t>(position) <= text.size());
        const auto begin = static_cast<std::size_t>(position);
        FUZZ_CHECK(text.substr(begin, match.size()) == match);
        FUZZ_CHECK(begin >= previous_end);
        FUZZ_CHECK(at_start(starts, begin));
        FUZZ_CHECK(at_start(starts, begin + match.size()));
        previous_end = begin + match.size();
        matched_bytes += match.size();
        for (int j = 1; j <= groups; ++j) {
            int at = -2;
            const Text group = re.submatch_text(i, j, &at);
            if (at == -1) {
                FUZZ_CHECK(group.empty());
                continue;
            }
            FUZZ_CHECK(at >= 0 && static_cast<std::size_t>(at) <= text.size());
            FUZZ_CHECK(text.substr(static_cast<std::size_t>(at), group.size()) == group);
            FUZZ_CHECK(at_start(starts, static_cast<std::size_t>(at)));
            FUZZ_CHECK(at_start(starts, static_cast<std::size_t>(at) + group.size()));
        }
        FUZZ_CHECK(re.submatch_text(i, 0).empty());
        FUZZ_CHECK(re.submatch_text(i, groups + 1).empty());
    }
    int position = 0;
    FUZZ_CHECK(re.match_text(count + 1, &position).empty() && position == -1);
    FUZZ_CHECK(re.match_text(0, &position).empty() && position == -1);

    FUZZ_CHECK(re.replace("$&") == text);
    FUZZ_CHECK(re.replace("").size() == text.size() - matched_bytes);
    // Each "$" of the replacement may stand for up to the whole text in every match: only
    // replacements whose result stays small are made.
    std::size_t dollars = 0;
    for (const char c : replacement) {
        dollars += c == '$' ? 1 : 0;
    }
    const std::size_t bound = text.size() + static_cast<std::size_t>(count) *
                                                (replacement.size() + dollars * text.size());
    if (bound <= 16 * 1024 * 1024) {
        FUZZ_CHECK(re.replace(replacement).size() <= bound);
    }
    return 0;
}
