// Arbitrary bytes as a server answer: unescaping, percent-decoding and marker
// cutting must neither crash nor break their basic promises.
#include <cstdint>
#include <string>
#include <string_view>

#include "web/text.h"

namespace {

void check(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view in(reinterpret_cast<const char*>(data), size);

    const velkor::Text unescaped = velkor::unicode_unescape(in);
    check(unescaped.find('\0') == std::string::npos);
    velkor::unescape_fallback(in);

    const velkor::Text decoded = velkor::url_decode(in, false);
    check(decoded.size() <= in.size());
    velkor::url_decode(in, true);

    // The first two bytes give the lengths of the two markers cut from the end.
    if (size >= 2) {
        const size_t left_len = data[0] % 8;
        const size_t right_len = data[1] % 8;
        std::string_view rest = in.substr(2);
        if (left_len + right_len <= rest.size()) {
            const std::string_view left = rest.substr(rest.size() - left_len - right_len, left_len);
            const std::string_view right = rest.substr(rest.size() - right_len);
            rest = rest.substr(0, rest.size() - left_len - right_len);
            const velkor::Text between = velkor::text_between(rest, left, right);
            check(between.empty() || rest.find(between) != std::string_view::npos);
        }
    }
    return 0;
}
