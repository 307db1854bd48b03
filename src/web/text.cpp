#include "web/text.h"

#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/codepage.h"

namespace velkor {
namespace {

inline unsigned char byte_at(std::string_view s, size_t i) {
    return static_cast<unsigned char>(s[i]);
}

inline unsigned char fold(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

bool equal_at(std::string_view text, size_t at, std::string_view sought, bool ignore_case) {
    if (!ignore_case) {
        return std::memcmp(text.data() + at, sought.data(), sought.size()) == 0;
    }
    for (size_t k = 0; k < sought.size(); ++k) {
        if (fold(byte_at(text, at + k)) != fold(byte_at(sought, k))) {
            return false;
        }
    }
    return true;
}

// 0-based offset of the first match at or after `from`, or npos.
size_t find0(std::string_view text, std::string_view sought, size_t from, bool ignore_case) {
    const size_t n = text.size();
    const size_t m = sought.size();
    if (m == 0) {
        return from < n ? from : std::string_view::npos;
    }
    if (m > n) {
        return std::string_view::npos;
    }
    const size_t last = n - m;
    size_t i = from;
    if (!ignore_case) {
        // Jump from one occurrence of the first byte to the next. A byte below 0x80
        // always ends a character (alone or as a second byte), so a candidate is a
        // character boundary when the bytes of 0x80 or more right before it, back
        // to the last byte below 0x80 or the last known boundary, pair up evenly.
        const unsigned char first = byte_at(sought, 0);
        size_t boundary = from;
        while (i <= last) {
            const void* hit = std::memchr(text.data() + i, first, last - i + 1);
            if (hit == nullptr) {
                return std::string_view::npos;
            }
            const size_t j = static_cast<size_t>(static_cast<const char*>(hit) - text.data());
            size_t k = j;
            while (k > boundary && byte_at(text, k - 1) >= 0x80) {
                --k;
            }
            if ((j - k) % 2 == 1) {
                boundary = i = j + 1;  // j is the second byte of a character
                continue;
            }
            if (std::memcmp(text.data() + j, sought.data(), m) == 0) {
                return j;
            }
            boundary = i = j + (first >= 0x80 ? 2 : 1);
        }
        return std::string_view::npos;
    }
    while (i <= last) {
        if (equal_at(text, i, sought, true)) {
            return i;
        }
        i += (byte_at(text, i) >= 0x80) ? 2 : 1;
    }
    return std::string_view::npos;
}

const Text& quote_placeholder() {
    static const Text k = gbk("#引号");
    return k;
}

const Text& full_width_space() {
    static const Text k("\xA1\xA1", 2);
    return k;
}

}  // namespace

Text gbk(std::string_view utf8) {
    return platform::utf8_to_gbk(utf8);
}

std::string to_utf8(std::string_view gbk_text) {
    return platform::gbk_to_utf8(gbk_text);
}

int find(std::string_view text, std::string_view sought, int start, bool ignore_case) {
    if (text.empty()) {
        return -1;
    }
    size_t from = start < 1 ? 0 : static_cast<size_t>(start) - 1;
    if (from >= text.size()) {
        return -1;
    }
    size_t at = find0(text, sought, from, ignore_case);
    return at == std::string_view::npos ? -1 : static_cast<int>(at) + 1;
}

Text left(std::string_view text, int n) {
    if (n <= 0) {
        return {};
    }
    return Text(text.substr(0, static_cast<size_t>(n)));
}

Text right(std::string_view text, int n) {
    if (n <= 0) {
        return {};
    }
    if (static_cast<size_t>(n) >= text.size()) {
        return Text(text);
    }
    return Text(text.substr(text.size() - static_cast<size_t>(n)));
}

Text middle(std::string_view text, int start, int count) {
    if (count <= 0 || start < 1 || static_cast<size_t>(start) > text.size()) {
        return {};
    }
    return Text(text.substr(static_cast<size_t>(start) - 1, static_cast<size_t>(count)));
}

Text replace(std::string_view text, std::string_view old_text, std::string_view new_text, int start,
             int count, bool case_sensitive) {
    if (old_text.empty() || text.empty() || count == 0) {
        return Text(text);
    }
    Text out;
    out.reserve(text.size());
    size_t from = start < 1 ? 0 : static_cast<size_t>(start) - 1;
    if (from >= text.size()) {
        return Text(text);
    }
    out.append(text.substr(0, from));
    size_t pos = from;
    int done = 0;
    while (count < 0 || done < count) {
        size_t at = find0(text, old_text, pos, !case_sensitive);
        if (at == std::string_view::npos) {
            break;
        }
        out.append(text.substr(pos, at - pos));
        out.append(new_text);
        pos = at + old_text.size();
        ++done;
    }
    out.append(text.substr(pos));
    return out;
}

TextList split(std::string_view text, std::string_view delimiter) {
    TextList pieces;
    if (text.empty()) {
        return pieces;
    }
    if (delimiter.empty()) {
        pieces.emplace_back(text);
        return pieces;
    }
    size_t pos = 0;
    while (true) {
        size_t at = find0(text, delimiter, pos, false);
        if (at == std::string_view::npos) {
            if (pos < text.size()) {
                pieces.emplace_back(text.substr(pos));
            }
            break;
        }
        pieces.emplace_back(text.substr(pos, at - pos));
        pos = at + delimiter.size();
        if (pos >= text.size()) {
            break;  // the trailing empty piece is dropped
        }
    }
    return pieces;
}

long long to_int(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr long long kMax = std::numeric_limits<long long>::max();
    long long value = 0;
    bool overflow = false;
    while (i < text.size()) {
        int digit = -1;
        unsigned char c = byte_at(text, i);
        if (c >= '0' && c <= '9') {
            digit = c - '0';
            i += 1;
        } else if (c == 0xA3 && i + 1 < text.size() && byte_at(text, i + 1) >= 0xB0 &&
                   byte_at(text, i + 1) <= 0xB9) {
            digit = byte_at(text, i + 1) - 0xB0;  // full-width digit
            i += 2;
        } else {
            break;
        }
        if (value > (kMax - digit) / 10) {
            overflow = true;
        } else {
            value = value * 10 + digit;
        }
    }
    if (overflow) {
        return negative ? std::numeric_limits<long long>::min() : kMax;
    }
    return negative ? -value : value;
}

Text number_text(long long value) {
    return std::to_string(value);
}

Text number_text(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.13g", value);
    return buf;
}

Text trim_blanks(std::string_view text) {
    size_t b = 0;
    while (true) {
        if (b < text.size() && text[b] == ' ') {
            ++b;
        } else if (b + 1 < text.size() && byte_at(text, b) == 0xA1 &&
                   byte_at(text, b + 1) == 0xA1) {
            b += 2;
        } else {
            break;
        }
    }
    // A trailing A1 A1 is a blank only when it starts on a character boundary, so
    // walk the characters once and keep the end of the last one that is not blank.
    size_t end = b;
    for (size_t i = b; i < text.size();) {
        const unsigned char c = byte_at(text, i);
        const size_t len = (c >= 0x80 && i + 1 < text.size()) ? 2 : 1;
        const bool blank = c == ' ' || (len == 2 && c == 0xA1 && byte_at(text, i + 1) == 0xA1);
        i += len;
        if (!blank) {
            end = i;
        }
    }
    return Text(text.substr(b, end - b));
}

Text remove_blanks(std::string_view text) {
    return replace(replace(text, " ", ""), full_width_space(), "");
}

bool ends_with(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

Text text_between(std::string_view text, std::string_view left_marker,
                  std::string_view right_marker, int start, bool ignore_case) {
    Text l = replace(left_marker, quote_placeholder(), "\"");
    Text r = replace(right_marker, quote_placeholder(), "\"");
    int at = find(text, l, start, ignore_case);
    if (at < 0) {
        return {};
    }
    int p = at + static_cast<int>(l.size());
    if (static_cast<size_t>(p) > text.size()) {
        return {};
    }
    int end = find(text, r, p, ignore_case);
    if (end < 0) {
        return {};
    }
    return middle(text, p, end - p);
}

}  // namespace velkor
