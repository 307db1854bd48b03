#include "script/regex_object.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cstdint>
#include <memory>

namespace velkor {
namespace {

// Searches that would run away (a pathological pattern on a large page) stop here; the
// matches found until then are kept. Far above what a lazy group over 5 MB needs.
constexpr std::uint32_t kMatchLimit = 100'000'000;
constexpr std::uint32_t kDepthLimit = 1'000'000;
constexpr std::uint32_t kHeapLimitKiB = 256 * 1024;
constexpr PCRE2_SIZE kJitStackStart = 32 * 1024;
constexpr PCRE2_SIZE kJitStackMax = 1024 * 1024;

inline bool is_lead(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}
inline bool is_trail(unsigned char c) {
    return c >= 0x40 && c <= 0xFE && c != 0x7F;
}
inline unsigned char at(std::string_view s, std::size_t i) {
    return static_cast<unsigned char>(s[i]);
}

// Length in bytes of the character starting at i.
inline std::size_t char_length(std::string_view s, std::size_t i) {
    return (is_lead(at(s, i)) && i + 1 < s.size() && is_trail(at(s, i + 1))) ? 2 : 1;
}

bool is_ascii_alnum(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Pattern text for the byte engine.
//
// A double-byte character of the pattern must stay one literal character: its second byte may
// be one of  @ [ \ ] ^ _ ` { | } ~  (pattern syntax to the byte engine), a quantifier would
// apply to that byte alone, and a letter as second byte would be folded. Outside a class the
// character becomes "(?-i:" lead, escaped trail, ")"; inside a class only the escaping is
// possible, and the class holds the two bytes.
//
// With `checks`, a boundary callout (?C2) follows every atom that can take one byte of a
// double-byte character (".", a class, \S \W \D and the like) with its quantifier, so that no
// path goes on from the middle of a character. Classes in POSIX syntax ("[[:alpha:]]") are not
// taken apart; the pattern then goes without these callouts.
struct translation {
    std::string text;
    bool posix_class = false;
};

translation translate_pattern(std::string_view p, bool checks) {
    translation t;
    std::string& out = t.text;
    out.reserve(p.size() + 16);
    const std::size_t n = p.size();
    std::size_t i = 0;
    auto emit_dbcs = [&](std::size_t k, bool in_class) {
        const unsigned char trail = at(p, k + 1);
        if (!in_class) {
            out += "(?-i:";
        }
        out += p[k];
        if (!is_ascii_alnum(trail) && trail < 0x80) {
            out += '\\';
        }
        out += static_cast<char>(trail);
        if (!in_class) {
            out += ')';
        }
    };
    auto digits = [&](std::size_t k) {
        while (k < n && p[k] >= '0' && p[k] <= '9') {
            ++k;
        }
        return k;
    };
    // Copies the quantifier at i, if any, then the callout.
    auto close_byte_atom = [&] {
        std::size_t q = i;
        if (q < n && (p[q] == '*' || p[q] == '+' || p[q] == '?')) {
            ++q;
        } else if (q < n && p[q] == '{') {
            std::size_t r = digits(q + 1);
            if (r > q + 1) {
                if (r < n && p[r] == ',') {
                    r = digits(r + 1);
                }
                if (r < n && p[r] == '}') {
                    q = r + 1;
                }
            }
        }
        if (q > i && q < n && (p[q] == '?' || p[q] == '+')) {
            ++q;
        }
        out.append(p.substr(i, q - i));
        i = q;
        if (checks) {
            out += "(?C2)";
        }
    };
    while (i < n) {
        const unsigned char c = at(p, i);
        if (c == '\\') {
            if (i + 1 >= n) {
                out += '\\';
                ++i;
            } else if (char_length(p, i + 1) == 2) {
                emit_dbcs(i + 1, false);  // identity escape of a character
                i += 3;
            } else {
                const char d = p[i + 1];
                out += '\\';
                out += d;
                i += 2;
                if (d == 'S' || d == 'W' || d == 'D' || d == 'N' || d == 'H' || d == 'V' ||
                    d == 'C' || d == 'X' || d == 'R') {
                    close_byte_atom();
                }
            }
        } else if (char_length(p, i) == 2) {
            emit_dbcs(i, false);
            i += 2;
        } else if (c == '[') {
            out += '[';
            ++i;
            if (i < n && p[i] == '^') {
                out += '^';
                ++i;
            }
            // The first "]" closes, also right behind "[" or "[^" (the empty class).
            bool closed = false;
            while (i < n && !closed) {
                if (p[i] == ']') {
                    out += ']';
                    ++i;
                    closed = true;
                } else if (p[i] == '\\' && i + 1 < n && char_length(p, i + 1) == 2) {
                    emit_dbcs(i + 1, true);
                    i += 3;
                } else if (p[i] == '\\') {
                    out.append(p.substr(i, 2));
                    i += 2;
                } else if (char_length(p, i) == 2) {
                    emit_dbcs(i, true);
                    i += 2;
                } else {
                    if (p[i] == '[' && i + 1 < n &&
                        (p[i + 1] == ':' || p[i + 1] == '.' || p[i + 1] == '=')) {
                        t.posix_class = true;
                    }
                    out += p[i];
                    ++i;
                }
            }
            if (closed) {
                close_byte_atom();
            }
        } else if (c == '.') {
            out += '.';
            ++i;
            close_byte_atom();
        } else {
            out += static_cast<char>(c);
            ++i;
        }
    }
    return t;
}

// Character starts of a subject holding double-byte characters (bit i set: a character
// starts at byte i; the end of the subject counts as a start).
struct boundaries {
    std::vector<std::uint64_t> bits;

    explicit boundaries(std::string_view s) : bits(s.size() / 64 + 1, 0) {
        std::size_t i = 0;
        while (i < s.size()) {
            set(i);
            i += char_length(s, i);
        }
        set(s.size());
    }
    void set(std::size_t i) { bits[i / 64] |= std::uint64_t{1} << (i % 64); }
    bool at(std::size_t i) const { return (bits[i / 64] >> (i % 64)) & 1U; }
};

bool has_double_byte(std::string_view s) {
    for (char c : s) {
        if (is_lead(static_cast<unsigned char>(c))) {
            return true;
        }
    }
    return false;
}

// Called by the engine behind each one-byte atom (number 2) and where the pattern has matched
// completely (number 1): a path standing inside a double-byte character, a match ending
// there or a group beginning or ending there is refused, and the engine goes on
// backtracking as for any other failure.
int boundary_callout(pcre2_callout_block* block, void* data) {
    const auto* b = static_cast<const boundaries*>(data);
    if (!b->at(block->current_position)) {
        return 1;
    }
    if (block->callout_number == 2) {
        return 0;  // behind a one-byte atom: the position is all that matters
    }
    for (std::uint32_t g = 1; g < block->capture_top; ++g) {
        const PCRE2_SIZE begin = block->offset_vector[2 * g];
        const PCRE2_SIZE end = block->offset_vector[2 * g + 1];
        if ((begin != PCRE2_UNSET && !b->at(begin)) || (end != PCRE2_UNSET && !b->at(end))) {
            return 1;
        }
    }
    return 0;
}

struct code_deleter {
    void operator()(pcre2_code* p) const { pcre2_code_free(p); }
};
struct compile_context_deleter {
    void operator()(pcre2_compile_context* p) const { pcre2_compile_context_free(p); }
};
struct match_context_deleter {
    void operator()(pcre2_match_context* p) const { pcre2_match_context_free(p); }
};
struct match_data_deleter {
    void operator()(pcre2_match_data* p) const { pcre2_match_data_free(p); }
};
struct jit_stack_deleter {
    void operator()(pcre2_jit_stack* p) const { pcre2_jit_stack_free(p); }
};

const Text& quote_placeholder_text() {
    static const Text k = gbk("#引号");
    return k;
}

}  // namespace

bool regex_object::create(std::string_view pattern, std::string_view target, bool case_sensitive,
                          bool multiline, bool global, bool quote_placeholder) {
    created_ = true;
    held_ = false;
    groups_ = 0;
    spans_.clear();
    pattern_ = quote_placeholder ? velkor::replace(pattern, quote_placeholder_text(), "\"")
                                 : Text(pattern);
    target_.assign(target);

    std::unique_ptr<pcre2_compile_context, compile_context_deleter> cctx(
        pcre2_compile_context_create(nullptr));
    if (!cctx) {
        return false;
    }
    // ANYCRLF: "." stops at CR and LF, and "^"/"$" see both as line ends, as the script
    // dialect does. The other options bring the dialect's edge rules: "$" only at the very
    // end when not multi-line, "^" after a final line break, [] and [^], \uXXXX, and a
    // reference to an unset group matching the empty text.
    pcre2_set_newline(cctx.get(), PCRE2_NEWLINE_ANYCRLF);
    std::uint32_t options = PCRE2_ALT_BSUX | PCRE2_ALLOW_EMPTY_CLASS | PCRE2_MATCH_UNSET_BACKREF |
                            PCRE2_DOLLAR_ENDONLY | PCRE2_ALT_CIRCUMFLEX;
    if (!case_sensitive) {
        options |= PCRE2_CASELESS;
    }
    if (multiline) {
        options |= PCRE2_MULTILINE;
    }
    const std::string translated = translate_pattern(pattern_, false).text;
    auto compile = [&](const std::string& text) {
        int error = 0;
        PCRE2_SIZE error_offset = 0;
        return std::unique_ptr<pcre2_code, code_deleter>(
            pcre2_compile(reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), options, &error,
                          &error_offset, cctx.get()));
    };
    std::unique_ptr<pcre2_code, code_deleter> code = compile(translated);
    if (!code) {
        return false;
    }
    // Over a subject with double-byte characters every complete match passes the boundary
    // check. The bare pattern was compiled first so that the wrapping cannot make a broken
    // pattern (such as "a)(b") valid.
    const bool double_byte = has_double_byte(target_);
    bool checked = false;
    if (double_byte) {
        translation checked_form = translate_pattern(pattern_, true);
        if (checked_form.posix_class) {
            checked_form.text = translated;
        }
        if (auto wrapped = compile("(?:" + checked_form.text + ")(?C1)")) {
            code = std::move(wrapped);
            checked = true;
        }
    }
    // Without JIT the interpreter serves, only slower.
    pcre2_jit_compile(code.get(), PCRE2_JIT_COMPLETE);

    std::uint32_t capture_count = 0;
    pcre2_pattern_info(code.get(), PCRE2_INFO_CAPTURECOUNT, &capture_count);
    groups_ = static_cast<int>(capture_count);

    std::unique_ptr<pcre2_match_data, match_data_deleter> md(
        pcre2_match_data_create_from_pattern(code.get(), nullptr));
    std::unique_ptr<pcre2_match_context, match_context_deleter> mctx(
        pcre2_match_context_create(nullptr));
    if (!md || !mctx) {
        return false;
    }
    pcre2_set_match_limit(mctx.get(), kMatchLimit);
    pcre2_set_depth_limit(mctx.get(), kDepthLimit);
    pcre2_set_heap_limit(mctx.get(), kHeapLimitKiB);
    std::unique_ptr<pcre2_jit_stack, jit_stack_deleter> stack(
        pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr));
    if (stack) {
        pcre2_jit_stack_assign(mctx.get(), nullptr, stack.get());
    }
    std::unique_ptr<boundaries> starts;
    if (double_byte) {
        starts = std::make_unique<boundaries>(target_);
        if (checked) {
            pcre2_set_callout(mctx.get(), boundary_callout, starts.get());
        }
    }

    held_ = true;
    const auto subject = reinterpret_cast<PCRE2_SPTR>(target_.data());
    const std::size_t n = target_.size();
    const std::size_t pairs = static_cast<std::size_t>(groups_) + 1;
    std::size_t pos = 0;
    while (pos <= n) {
        const int rc = pcre2_match(code.get(), subject, n, pos, 0, md.get(), mctx.get());
        if (rc < 0) {
            break;  // no further match, or a limit was hit: keep what was found
        }
        const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md.get());
        const std::size_t begin = ov[0];
        const std::size_t end = ov[1] < begin ? begin : ov[1];
        if (starts && !starts->at(begin)) {
            pos = begin + 1;  // began on a second byte: the next character starts behind it
            continue;
        }
        const std::uint32_t set_pairs = pcre2_get_ovector_count(md.get());
        // The pattern's own syntax can keep the boundary check from running: an unclosed
        // \Q or an extended-mode comment swallows the wrapping, and (*ACCEPT) ends the match
        // before it. A match that then ends, or has a group begin or end, inside a character
        // is refused here as the check would have refused it; the search goes on at the next
        // character.
        if (starts) {
            bool whole = starts->at(end);
            for (std::size_t g = 1; whole && g < pairs && g < set_pairs && static_cast<int>(g) < rc;
                 ++g) {
                whole = ov[2 * g] == PCRE2_UNSET ||
                        (starts->at(ov[2 * g]) && starts->at(ov[2 * g + 1]));
            }
            if (!whole) {
                if (begin >= n) {
                    break;
                }
                pos = begin + char_length(target_, begin);
                continue;
            }
        }
        for (std::size_t g = 0; g < pairs; ++g) {
            const bool set = g < set_pairs && static_cast<int>(g) < rc && ov[2 * g] != PCRE2_UNSET;
            spans_.push_back(set ? ov[2 * g] : kUnset);
            spans_.push_back(set ? ov[2 * g + 1] : kUnset);
        }
        if (!global) {
            break;
        }
        if (end > begin) {
            pos = end;
        } else if (begin >= n) {
            break;
        } else {
            pos = begin + char_length(target_, begin);  // an empty match steps one character
        }
    }
    return true;
}

int regex_object::match_count() const {
    if (!held_) {
        return 0;
    }
    return static_cast<int>(spans_.size() / (2 * (static_cast<std::size_t>(groups_) + 1)));
}

std::size_t regex_object::group_begin(int i, int j) const {
    if (i < 1 || i > match_count() || j < 0 || j > groups_) {
        return kUnset;
    }
    return spans_[(static_cast<std::size_t>(i - 1) * (groups_ + 1) + j) * 2];
}

std::size_t regex_object::group_end(int i, int j) const {
    if (i < 1 || i > match_count() || j < 0 || j > groups_) {
        return kUnset;
    }
    return spans_[(static_cast<std::size_t>(i - 1) * (groups_ + 1) + j) * 2 + 1];
}

Text regex_object::match_text(int i, int* position) const {
    const std::size_t b = group_begin(i, 0);
    if (position) {
        *position = b == kUnset ? -1 : static_cast<int>(b);
    }
    if (b == kUnset) {
        return {};
    }
    return target_.substr(b, group_end(i, 0) - b);
}

Text regex_object::submatch_text(int i, int j, int* position) const {
    const std::size_t b = j >= 1 ? group_begin(i, j) : kUnset;
    if (position) {
        *position = b == kUnset ? -1 : static_cast<int>(b);
    }
    if (b == kUnset) {
        return {};
    }
    return target_.substr(b, group_end(i, j) - b);
}

int regex_object::submatch_count() const {
    return match_count() > 0 ? groups_ : 0;
}

Text regex_object::pattern() const {
    return created_ ? pattern_ : Text();
}

Text regex_object::expand(std::string_view r, std::size_t match) const {
    const int i = static_cast<int>(match) + 1;
    const std::size_t mb = group_begin(i, 0);
    const std::size_t me = group_end(i, 0);
    auto group_text = [&](int j) {
        const std::size_t b = group_begin(i, j);
        return b == kUnset ? Text() : target_.substr(b, group_end(i, j) - b);
    };
    auto digit = [&](std::size_t k) { return k < r.size() && r[k] >= '0' && r[k] <= '9'; };
    Text out;
    std::size_t k = 0;
    while (k < r.size()) {
        if (r[k] != '$' || k + 1 >= r.size()) {
            out += r[k++];
            continue;
        }
        const char c = r[k + 1];
        if (c == '$') {
            out += '$';
            k += 2;
        } else if (c == '&') {
            out += target_.substr(mb, me - mb);
            k += 2;
        } else if (c == '`') {
            out += target_.substr(0, mb);
            k += 2;
        } else if (c == '\'') {
            out += target_.substr(me);
            k += 2;
        } else if (digit(k + 1)) {
            const int one = c - '0';
            const int two = digit(k + 2) ? one * 10 + (r[k + 2] - '0') : -1;
            if (two >= 1 && two <= groups_) {
                out += group_text(two);
                k += 3;
            } else if (one >= 1 && one <= groups_) {
                out += group_text(one);
                k += 2;
            } else {
                out += '$';
                k += 1;
            }
        } else {
            out += '$';
            k += 1;
        }
    }
    return out;
}

Text regex_object::replace(std::string_view replacement) const {
    if (!held_) {
        return {};
    }
    Text out;
    std::size_t tail = 0;
    const int count = match_count();
    for (int m = 0; m < count; ++m) {
        const std::size_t b = group_begin(m + 1, 0);
        out.append(target_, tail, b - tail);
        out += expand(replacement, static_cast<std::size_t>(m));
        tail = group_end(m + 1, 0);
    }
    out.append(target_, tail, Text::npos);
    return out;
}

}  // namespace velkor
