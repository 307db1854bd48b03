#pragma once
// Regular-expression searches with the matching of the ECMAScript-style engine the system's
// patterns were written for: lazy groups, [\s\S] across line breaks, "^"/"$" at line breaks
// when multi-line, "." never crossing a line break, ASCII-only case folding.
//
// Subjects and patterns are GBK bytes. Matches never start, end or split a group inside a
// double-byte character, and a double-byte character in the pattern is one literal character
// (outside a character class), so results agree with a search over the characters.
//
// Every operation gives the empty result (empty text, 0, false, position -1) when nothing
// is held or the asked match or group does not exist. Not thread-safe: one thread per object.
#include <cstddef>
#include <string_view>
#include <vector>

#include "web/text.h"

namespace velkor {

class regex_object {
  public:
    // Compiles `pattern`, searches `target` and keeps the matches (only the first one unless
    // `global`). "#引号" in the pattern stands for '"' when `quote_placeholder` is set.
    // True when a match collection is held, also with no match; false when the pattern does
    // not compile. A search that hits the engine's limits keeps the matches found before.
    bool create(std::string_view pattern, std::string_view target, bool case_sensitive = false,
                bool multiline = true, bool global = true, bool quote_placeholder = false);

    int match_count() const;
    // Match i (1-based); `position` receives its 0-based byte offset in the target.
    Text match_text(int i, int* position = nullptr) const;
    // Group j (1-based) of match i; an unset group gives "" and position -1.
    Text submatch_text(int i, int j, int* position = nullptr) const;
    // Number of groups of the first match; 0 without a match.
    int submatch_count() const;
    // The pattern of the last create (placeholder resolved), "" before any.
    Text pattern() const;
    // The target with the held matches replaced; the replacement understands $1..$99, $&,
    // $`, $' and $$.
    Text replace(std::string_view replacement) const;

  private:
    static constexpr std::size_t kUnset = static_cast<std::size_t>(-1);

    std::size_t group_begin(int i, int j) const;
    std::size_t group_end(int i, int j) const;
    Text expand(std::string_view replacement, std::size_t match) const;

    bool created_ = false;  // create was called at least once
    bool held_ = false;     // the last create produced a match collection
    Text pattern_;
    Text target_;
    int groups_ = 0;
    // Per match, (groups_ + 1) begin/end pairs; pair 0 is the whole match.
    std::vector<std::size_t> spans_;
};

}  // namespace velkor
