// Resolving the escapes of a server answer into GBK text.
//
// Answers are JSON or JSONP written with \u escapes. They are read as if the
// answer stood between apostrophes in a JScript string literal that is handed to
// the global unescape(): first the literal's backslash escapes, then unescape's
// %uXXXX and %XX. This is done here directly; server text is never executed.
// A text that such a literal cannot hold (a line break, an apostrophe of its own,
// a final backslash), or one that leaves nothing, takes the byte-wise fallback.
#include <string>

#include "platform/codepage.h"
#include "web/text.h"

namespace velkor {
namespace {

// Markers that keep "\r\n" and apostrophes out of the literal.
constexpr std::string_view kLineMarker = "{$}";
constexpr std::string_view kRightQuote = "\xA1\xAF";  // U+2019 in GBK

constexpr size_t kPumpEvery = 64 * 1024;

int hex_digit(char32_t c) {
    if (c >= '0' && c <= '9') {
        return static_cast<int>(c - '0');
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<int>(c - 'A' + 10);
    }
    if (c >= 'a' && c <= 'f') {
        return static_cast<int>(c - 'a' + 10);
    }
    return -1;
}

// Value of count hexadecimal digits at s[at], or -1 when they are not all digits.
long hex_run(std::u16string_view s, size_t at, size_t count) {
    if (at + count > s.size()) {
        return -1;
    }
    long value = 0;
    for (size_t k = 0; k < count; ++k) {
        const int d = hex_digit(s[at + k]);
        if (d < 0) {
            return -1;
        }
        value = value * 16 + d;
    }
    return value;
}

bool all_hex(std::string_view s) {
    for (const char c : s) {
        if (hex_digit(static_cast<unsigned char>(c)) < 0) {
            return false;
        }
    }
    return true;
}

class Pump {
  public:
    explicit Pump(const std::function<void()>& fn)
        : fn_(fn), next_(fn ? kPumpEvery : static_cast<size_t>(-1)) {}
    void at(size_t position) {
        if (position >= next_) {
            next_ = position + kPumpEvery;
            fn_();
        }
    }

  private:
    const std::function<void()>& fn_;
    size_t next_;
};

// Buffers of this thread kept from call to call: a megabyte answer then costs no
// fresh pages for its intermediate forms. An unusually large one is let go after
// use. The pump may run a handler that unescapes too: a nested call on the same
// thread gets a buffer of its own instead of the one in use.
template <typename String>
class Scratch {
  public:
    Scratch() {
        if (!state().busy) {
            state().busy = true;
            owner_ = true;
            s_ = &state().buffer;
            s_->clear();
        }
    }
    ~Scratch() {
        if (owner_) {
            if (s_->capacity() > kKeepAtMost) {
                String().swap(*s_);
            }
            state().busy = false;
        }
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    String& operator*() { return *s_; }

  private:
    struct State {
        String buffer;
        bool busy = false;
    };
    static State& state() {
        thread_local State st;
        return st;
    }
    static constexpr size_t kKeepAtMost = 4 * 1024 * 1024;
    String local_;
    String* s_ = &local_;
    bool owner_ = false;
};

// The backslash escapes of a string literal, in place. False when the text
// cannot stand between apostrophes: a line break or an apostrophe of its own
// would end the literal, and a final backslash would escape the closing one.
bool resolve_literal(std::u16string& s, Pump& pump) {
    const size_t n = s.size();
    size_t o = 0;
    for (size_t i = 0; i < n;) {
        pump.at(i);
        const char16_t c = s[i];
        if (c == u'\n' || c == u'\r' || c == u'\'') {
            return false;
        }
        if (c != u'\\') {
            s[o++] = c;
            ++i;
            continue;
        }
        if (i + 1 == n) {
            return false;
        }
        const char16_t d = s[i + 1];
        i += 2;
        switch (d) {
            case u'n':
                s[o++] = u'\n';
                break;
            case u'r':
                s[o++] = u'\r';
                break;
            case u't':
                s[o++] = u'\t';
                break;
            case u'b':
                s[o++] = u'\b';
                break;
            case u'f':
                s[o++] = u'\f';
                break;
            case u'v':
                s[o++] = u'\v';
                break;
            case u'x':
            case u'u': {
                // Without its full set of digits the escape is just the letter.
                const size_t digits = d == u'x' ? 2 : 4;
                const long value = hex_run(s, i, digits);
                if (value < 0) {
                    s[o++] = d;
                } else {
                    s[o++] = static_cast<char16_t>(value);
                    i += digits;
                }
                break;
            }
            case u'\n':
            case u'\r':
                return false;
            default:
                s[o++] = d;
                break;
        }
    }
    s.resize(o);
    return true;
}

// unescape(): %uXXXX and %XX, in place; any other "%" stays. A NUL unit is
// dropped rather than ending the text.
void resolve_percent(std::u16string& s, Pump& pump) {
    const size_t n = s.size();
    size_t o = 0;
    for (size_t i = 0; i < n;) {
        pump.at(i);
        char16_t c = s[i];
        size_t used = 1;
        if (c == u'%') {
            long value = -1;
            if (i + 5 < n && s[i + 1] == u'u') {
                value = hex_run(s, i + 2, 4);
                used = 6;
            }
            if (value < 0 && i + 2 < n) {
                value = hex_run(s, i + 1, 2);
                used = 3;
            }
            if (value < 0) {
                used = 1;
            } else {
                c = static_cast<char16_t>(value);
            }
        }
        if (c != 0) {
            s[o++] = c;
        }
        i += used;
    }
    s.resize(o);
}

// The literal route: empty when the literal cannot hold the text (or nothing is left).
Text literal_route(std::string_view text, Pump& pump) {
    Scratch<std::u16string> scratch;
    std::u16string& s = *scratch;
    platform::gbk_to_utf16(text, s);
    if (s.empty() || !resolve_literal(s, pump)) {
        return {};
    }
    resolve_percent(s, pump);
    return platform::utf16_to_gbk(s);
}

void append_unit(Text& out, std::uint32_t unit) {
    const char16_t u = static_cast<char16_t>(unit);
    if (u == 0) {
        return;  // a NUL would end the text
    }
    out += platform::utf16_to_gbk(std::u16string_view(&u, 1));
}

// One pass doing what these replacements do in turn, each scanning by characters
// as replace() does: "\r\n" becomes the line marker, then one leading carriage
// return is dropped, "\u" becomes "%u" and every apostrophe becomes U+2019. The
// patterns begin with different ASCII bytes and are replaced by whole characters,
// so the character boundaries, and with them the matches, are the same as in
// separate passes.
void prepare(std::string_view answer, Text& out) {
    out.reserve(answer.size() + answer.size() / 16 + 16);
    const size_t n = answer.size();
    size_t i = 0;
    if (n > 0 && answer[0] == '\r' && !(n > 1 && answer[1] == '\n')) {
        i = 1;
    }
    size_t run = i;  // start of the bytes not yet copied
    while (i < n) {
        const char c = answer[i];
        if (static_cast<unsigned char>(c) >= 0x80) {
            i += 2;
            continue;
        }
        std::string_view with;
        size_t used = 1;
        if (c == '\r' && i + 1 < n && answer[i + 1] == '\n') {
            with = kLineMarker;
            used = 2;
        } else if (c == '\\' && i + 1 < n && answer[i + 1] == 'u') {
            with = "%u";
            used = 2;
        } else if (c == '\'') {
            with = kRightQuote;
        } else {
            ++i;
            continue;
        }
        out.append(answer.substr(run, i - run));
        out.append(with);
        i += used;
        run = i;
    }
    if (run < n) {
        out.append(answer.substr(run));
    }
}

// The way back, in one pass likewise and in place (both replacements are shorter):
// U+2019 becomes an apostrophe again, then every line marker becomes "\r\n".
void restore(Text& text) {
    const size_t n = text.size();
    size_t o = 0;
    for (size_t i = 0; i < n;) {
        const char c = text[i];
        if (static_cast<unsigned char>(c) >= 0x80) {
            if (i + 1 < n && std::string_view(text).substr(i, 2) == kRightQuote) {
                text[o++] = '\'';
            } else {
                text[o++] = c;
                if (i + 1 < n) {
                    text[o++] = text[i + 1];
                }
            }
            i += 2;
        } else if (c == '{' && std::string_view(text).substr(i, 3) == kLineMarker) {
            text[o++] = '\r';
            text[o++] = '\n';
            i += 3;
        } else {
            text[o++] = c;
            ++i;
        }
    }
    text.resize(o);
}

}  // namespace

std::uint32_t hex_value(std::string_view text) {
    std::uint32_t value = 0;
    for (const char c : text) {
        const int d = hex_digit(static_cast<unsigned char>(c));
        if (d < 0) {
            break;
        }
        value = value * 16 + static_cast<std::uint32_t>(d);
    }
    return value;
}

Text unescape_fallback(std::string_view text, const std::function<void()>& pump_fn) {
    Pump pump(pump_fn);
    Text out;
    out.reserve(text.size());
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        pump.at(i);
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const size_t after = n - i - 1;
        if (after >= 5 && text[i + 1] == 'u') {
            // The digits must read as a nonzero decimal number first (so "%u00A0"
            // stays as it is); the "u" is then walked like any byte.
            const std::string_view four = text.substr(i + 2, 4);
            if (to_int(four) != 0 && all_hex(four)) {
                append_unit(out, hex_value(four));
                i += 5;
            } else {
                out += '%';
            }
            continue;
        }
        if (after >= 2 && all_hex(text.substr(i + 1, 2))) {
            append_unit(out, hex_value(text.substr(i + 1, 2)));
            i += 2;
            continue;
        }
        out += '%';
    }
    return out;
}

Text unicode_unescape(std::string_view answer, const std::function<void()>& pump_fn) {
    // The answer is a text: it ends at its first NUL.
    const size_t nul = answer.find('\0');
    if (nul != std::string_view::npos) {
        answer = answer.substr(0, nul);
    }
    Scratch<Text> text;
    prepare(answer, *text);
    Pump pump(pump_fn);
    Text result = literal_route(*text, pump);
    if (result.empty()) {
        result = unescape_fallback(*text, pump_fn);
    }
    restore(result);
    return result;
}

}  // namespace velkor
