// Percent-encoding, code-page conversion, MD5 and the request time stamp.
#include <string>

#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/md5.h"
#include "web/text.h"

namespace velkor {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Value of one hexadecimal digit of either case, -1 for any other character.
int hex_digit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool unreserved(unsigned char c) {
    return c == '-' || c == '.' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
           (c >= 'a' && c <= 'z');
}

// A text ends at its first NUL, as the platform conversions read it (and
// without a NUL in the input none can appear in the output).
std::string_view up_to_nul(std::string_view text) {
    const size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian calendar).
long long days_from_civil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

}  // namespace

Text url_encode(std::string_view text, bool keep_unreserved, bool utf8_first) {
    if (text.empty()) {
        return {};
    }
    const Text bytes = utf8_first ? ansi_to_utf8(text) : Text(text);
    Text out;
    out.reserve(bytes.size() * 3);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (keep_unreserved && unreserved(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHexDigits[c >> 4];
            out += kHexDigits[c & 0x0F];
        }
    }
    return out;
}

Text url_decode(std::string_view text, bool from_utf8) {
    Text out;
    out.reserve(text.size());
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        // Only a "%" with two hexadecimal digits is an escape; any other "%" stays.
        const int hi = i + 2 < n ? hex_digit(text[i + 1]) : -1;
        const int lo = hi >= 0 ? hex_digit(text[i + 2]) : -1;
        if (lo < 0) {
            out += '%';
            continue;
        }
        const int value = hi * 16 + lo;
        if (value != 0) {  // a NUL would end the text
            out += static_cast<char>(value);
        }
        i += 2;
    }
    return from_utf8 ? utf8_to_ansi(out) : out;
}

Text utf8_to_ansi(std::string_view utf8) {
    return platform::utf8_to_gbk(up_to_nul(utf8));
}

Text ansi_to_utf8(std::string_view ansi) {
    return platform::gbk_to_utf8(up_to_nul(ansi));
}

Text md5_hex(std::string_view data, bool upper_case, bool middle16) {
    const std::string digest = platform::md5_digest(data);
    if (digest.empty()) {
        return {};
    }
    const char* digits = upper_case ? "0123456789ABCDEF" : "0123456789abcdef";
    Text hex;
    hex.reserve(digest.size() * 2);
    for (const char ch : digest) {
        const auto c = static_cast<unsigned char>(ch);
        hex += digits[c >> 4];
        hex += digits[c & 0x0F];
    }
    return middle16 ? hex.substr(8, 16) : hex;
}

Text timestamp_text(bool seconds_only) {
    // Two readings one after the other: the stamp need not be exact at a second boundary.
    const int millisecond = platform::local_now().millisecond;
    const platform::LocalTime t = platform::local_now();
    // Seconds from 1970-01-01 08:00:00 local time, by the calendar, so that the
    // stamp is the Unix time on a clock that runs on UTC+8 whatever the host's zone.
    const long long days =
        days_from_civil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day));
    const long long seconds =
        days * 86400 + t.hour * 3600LL + t.minute * 60LL + t.second - 8 * 3600;
    Text ms = std::to_string(millisecond);
    if (ms.size() < 3) {
        ms.insert(0, 3 - ms.size(), '0');
    }
    Text stamp = std::to_string(seconds) + ms;
    return seconds_only ? stamp.substr(0, 10) : stamp;
}

}  // namespace velkor
