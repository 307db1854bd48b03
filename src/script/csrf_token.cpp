#include "script/csrf_token.h"

#include <cmath>
#include <cstdint>

#include "platform/codepage.h"

namespace velkor {
namespace {

// The script engine's ToInt32: the integer part modulo 2^32, read as two's complement.
// fmod is exact for doubles, so this holds for any magnitude.
std::int32_t to_int32(double v) {
    if (!std::isfinite(v)) {
        return 0;
    }
    double m = std::fmod(std::trunc(v), 4294967296.0);
    if (m < 0) {
        m += 4294967296.0;
    }
    if (m >= 2147483648.0) {
        m -= 4294967296.0;
    }
    return static_cast<std::int32_t>(m);
}

}  // namespace

Text csrf_token(const Text& skey) {
    if (skey.empty()) {
        return {};
    }
    // h is a double as in the script. Each step adds less than 2^31 + 2^16 in magnitude, so
    // h stays an exact integer (below 2^53) for keys of up to about four million code units;
    // beyond that the additions round exactly as the script's would.
    double h = 5381;
    for (char16_t c : platform::gbk_to_utf16(skey)) {
        const auto shifted =
            static_cast<std::int32_t>(static_cast<std::uint32_t>(to_int32(h)) << 5);
        h = h + (static_cast<double>(shifted) + static_cast<double>(c));
    }
    return number_text(static_cast<long long>(to_int32(h) & 0x7fffffff));
}

}  // namespace velkor
