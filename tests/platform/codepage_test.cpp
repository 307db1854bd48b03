#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/md5.h"

namespace velkor::platform {
namespace {

TEST(Codepage, GbkAndUtf16BothWays) {
    struct Case {
        std::string gbk;
        std::u16string utf16;
    } cases[] = {
        {"\xD6\xD0", u"中"},
        {"\xA1\xA1", u"\u3000"},
        {"\x80", u"\u20AC"},
        {"a\xD6\xD0z", u"a中z"},
        {"\xA3\xAC", u"\uFF0C"},
        {"\xA1\xAF", u"\u2019"},
        {"", u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gbk_to_utf16(c.gbk), c.utf16);
        EXPECT_EQ(utf16_to_gbk(c.utf16), c.gbk);
    }
}

TEST(Codepage, CharactersGbkLacksBecomeQuestionMarks) {
    EXPECT_EQ(utf16_to_gbk(u"a\u0E01b"), "a?b");
    EXPECT_EQ(utf16_to_gbk(u"\U0001F600"), "?");  // one mark for a surrogate pair
    EXPECT_EQ(utf16_to_gbk(std::u16string(1, u'\xD800') + u"x"), "?x");
    EXPECT_EQ(utf16_to_gbk(std::u16string(1, u'\xDC00')), "?");
    EXPECT_EQ(utf8_to_gbk("\xE0\xB8\x81"), "?");
}

TEST(Codepage, InvalidInputIsReplaced) {
    EXPECT_EQ(gbk_to_utf16("a\xFF"
                           "b"),
              u"a?b");
    EXPECT_EQ(gbk_to_utf16("a\xD6"), u"a?");    // lead byte at the end
    EXPECT_EQ(gbk_to_utf16("\xD6 x"), u"? x");  // lead byte without a second byte
    EXPECT_EQ(utf8_to_utf16("a\xE4\xB8"), u"a\uFFFD");
    EXPECT_EQ(utf8_to_utf16("a\xFF"
                            "b"),
              u"a\uFFFDb");
    EXPECT_EQ(utf8_to_gbk("a\xC3"), "a?");
    EXPECT_EQ(utf16_to_utf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
}

TEST(Codepage, Utf8Routes) {
    EXPECT_EQ(utf8_to_gbk("\xE4\xB8\xAD\xE6\x96\x87"), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(gbk_to_utf8("\xD6\xD0\xCE\xC4"), "\xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_EQ(utf16_to_utf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(utf8_to_utf16("\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(utf8_to_gbk(""), "");
    EXPECT_EQ(gbk_to_utf8(""), "");
}

// Every two-byte GBK code that decodes to a character encodes back to itself, also
// when the conversion tables are first used from several threads at once.
TEST(Codepage, DoubleByteCodesRoundTrip) {
    std::vector<std::thread> threads;
    std::vector<int> mismatches(4, 0);
    for (int k = 0; k < 4; ++k) {
        threads.emplace_back([k, &mismatches] {
            for (int lead = 0x81 + k; lead <= 0xFE; lead += 4) {
                for (int trail = 0x40; trail <= 0xFE; ++trail) {
                    if (trail == 0x7F) {
                        continue;
                    }
                    const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
                    const std::u16string u = gbk_to_utf16(code);
                    if (u.size() != 1 || (u != u"?" && utf16_to_gbk(u) != code)) {
                        ++mismatches[k];
                    }
                }
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

TEST(Md5Digest, SixteenBytes) {
    EXPECT_EQ(md5_digest("abc"),
              std::string("\x90\x01\x50\x98\x3c\xd2\x4f\xb0\xd6\x96\x3f\x7d\x28\xe1\x7f\x72", 16));
}

}  // namespace
}  // namespace velkor::platform
