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

Text timestamp_text(const platform::LocalTime& time, bool seconds_only) {
    // Whole seconds from 08:00 on 1970-01-01 by the calendar, so that the stamp is
    // the Unix time of a clock running on UTC+8 whatever the host's zone.
    const long long ms = platform::local_ms(time) - 8 * 3600 * 1000LL;
    const long long seconds = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
    Text millis = std::to_string(ms - seconds * 1000);
    millis.insert(0, 3 - millis.size(), '0');
    Text stamp = std::to_string(seconds) + millis;
    return seconds_only ? stamp.substr(0, 10) : stamp;
}

Text timestamp_text(bool seconds_only) {
    return timestamp_text(platform::local_now(), seconds_only);
}

}  // namespace velkor
