// Addresses and percent-encoded texts of any form: the pieces of an address keep their
// shapes, and decoding undoes encoding.
//
// Input: the address (or text).
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "web/http.h"
#include "web/text.h"

namespace {

using velkor::Text;
using velkor::fuzz::contains;

const std::string_view kNul("\0", 1);

bool is_hex_upper(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

bool is_unreserved(char c) {
    return c == '-' || c == '.' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
           (c >= 'a' && c <= 'z');
}

// Only %XX with upper-case digits, and, when kept, the unreserved bytes.
bool encoded_form(std::string_view s, bool keep_unreserved) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%') {
            if (i + 2 >= s.size()) {
                return false;
            }
            if (!is_hex_upper(s[i + 1]) || !is_hex_upper(s[i + 2])) {
                return false;
            }
            i += 2;
        } else if (!keep_unreserved || !is_unreserved(s[i])) {
            return false;
        }
    }
    return true;
}

Text without_nul(std::string_view s) {
    Text out;
    for (const char c : s) {
        if (c != '\0') {
            out += c;
        }
    }
    return out;
}

void check_address(std::string_view url) {
    const Text host = velkor::url_host(url);
    FUZZ_CHECK(velkor::find(host, "/") < 0);
    FUZZ_CHECK(velkor::find(host, ":") < 0);
    for (const char c : host) {
        FUZZ_CHECK(!(c >= 'A' && c <= 'Z'));
    }
    const Text path = velkor::url_path(url);
    FUZZ_CHECK(!path.empty() && path.front() == '/');
    FUZZ_CHECK(path == "/" || velkor::ends_with(url, path));
    const int port = velkor::url_port(url);
    if (!contains(url, ":")) {
        FUZZ_CHECK(port == 80);
    }
}

void check_encoding(std::string_view text) {
    const Text decoded = velkor::url_decode(text, false);
    FUZZ_CHECK(decoded.size() <= text.size());
    FUZZ_CHECK(contains(text, kNul) || !contains(decoded, kNul));
    FUZZ_CHECK(!contains(velkor::url_decode(text, true), kNul));
    for (const bool keep : {false, true}) {
        const Text encoded = velkor::url_encode(text, keep, false);
        FUZZ_CHECK(encoded_form(encoded, keep));
        FUZZ_CHECK(encoded.size() <= 3 * text.size());
        // %00 decodes to nothing.
        FUZZ_CHECK(velkor::url_decode(encoded, false) == without_nul(text));
        const Text from_utf8 = velkor::url_encode(text, keep, true);
        FUZZ_CHECK(encoded_form(from_utf8, keep));
        FUZZ_CHECK(!contains(velkor::url_decode(from_utf8, true), kNul));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    check_address(in);
    check_encoding(in);
    return 0;
}
