#include "script/csrf_token.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/codepage.h"

namespace velkor {
namespace {

// The same hash in 64-bit integers: exact as long as h stays far below 2^63.
Text reference_token(const Text& key) {
    std::int64_t h = 5381;
    for (char16_t c : platform::gbk_to_utf16(key)) {
        const auto low = static_cast<std::uint32_t>(static_cast<std::uint64_t>(h));
        const auto shifted = static_cast<std::int32_t>(low << 5);
        h += static_cast<std::int64_t>(shifted) + c;
    }
    return std::to_string(static_cast<std::uint32_t>(static_cast<std::uint64_t>(h)) & 0x7fffffffU);
}

TEST(CsrfToken, KnownValues) {
    struct Case {
        Text key, token;
    };
    const Case cases[] = {
        {"abc", "193485963"},
        {"abcd", "2090069583"},  // the shifted term wraps past 32 bits
        {"abcde", "252819604"},  // ... and to a negative value
        {"a", "177670"},
        {gbk("中"), "197586"},  // one UTF-16 unit, 0x4E2D, not two bytes
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(to_utf8(c.key));
        EXPECT_EQ(csrf_token(c.key), c.token);
    }
}

TEST(CsrfToken, MatchesExactIntegerArithmeticForLongKeys) {
    Text key;
    for (int i = 0; key.size() < 300000; ++i) {
        key += "@Zx9" + gbk("登录") + std::to_string(i * 7919);
    }
    for (std::size_t length : {10, 64, 1000, 300000}) {
        const Text part = key.substr(0, length);
        EXPECT_EQ(csrf_token(part), reference_token(part)) << length;
    }
}

}  // namespace
}  // namespace velkor
