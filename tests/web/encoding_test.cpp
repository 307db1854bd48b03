#include <gtest/gtest.h>

#include <string>

#include "platform/clock.h"
#include "web/text.h"

namespace velkor {
namespace {

TEST(UrlEncode, EveryByteOrUnreservedKept) {
    struct Case {
        std::string text;
        bool keep_unreserved, utf8_first;
        std::string want;
    } cases[] = {
        {"a-b.c/d", true, false, "a-b.c%2Fd"},
        {"a-b.c/d", false, false, "%61%2D%62%2E%63%2F%64"},
        {"AZaz09-.", true, false, "AZaz09-."},
        {"_~* +", true, false, "%5F%7E%2A%20%2B"},
        {"\n\xFF", true, false, "%0A%FF"},
        {"", true, true, ""},
        {"", false, false, ""},
        {gbk("中"), true, true, "%E4%B8%AD"},
        {gbk("中"), false, true, "%E4%B8%AD"},
        {gbk("中"), false, false, "%D6%D0"},
        {gbk("a中b"), true, true, "a%E4%B8%ADb"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(url_encode(c.text, c.keep_unreserved, c.utf8_first), c.want) << c.text;
    }
}

TEST(UrlDecode, EscapesOfEitherCaseAndPlusKept) {
    struct Case {
        std::string text;
        bool from_utf8;
        std::string want;
    } cases[] = {
        {"%E4%B8%AD", true, gbk("中")},
        {"%e4%b8%ad", true, gbk("中")},
        {"%D6%D0", false, "\xD6\xD0"},
        {"a+b", true, "a+b"},
        {"%4a", false, "J"},
        {"%4A%4b", false, "JK"},
        {"a%20b", false, "a b"},
        {"%00x", false, "x"},  // a NUL byte appends nothing
        {"", true, ""},
        {gbk("提示%3A"), false, gbk("提示:")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(url_decode(c.text, c.from_utf8), c.want) << c.text;
    }
}

TEST(UrlDecode, PercentWithoutTwoHexDigitsStays) {
    EXPECT_EQ(url_decode("100%", false), "100%");
    EXPECT_EQ(url_decode("%4", false), "%4");
    EXPECT_EQ(url_decode("%zz1", false), "%zz1");
    EXPECT_EQ(url_decode("%4g", false), "%4g");
    EXPECT_EQ(url_decode("%%41", false), "%A");
    EXPECT_EQ(url_decode("50%+", true), "50%+");
}

TEST(CodePageText, ConversionsStopAtTheFirstNul) {
    EXPECT_EQ(ansi_to_utf8(gbk("中")), "\xE4\xB8\xAD");
    EXPECT_EQ(utf8_to_ansi("\xE4\xB8\xAD"), gbk("中"));
    EXPECT_EQ(utf8_to_ansi(std::string("a\0b", 3)), "a");
    EXPECT_EQ(ansi_to_utf8(std::string("\xD6\xD0\0\xD0", 4)), "\xE4\xB8\xAD");
    EXPECT_EQ(utf8_to_ansi(""), "");
    EXPECT_EQ(utf8_to_ansi("\xF0\x9F\x98\x80"), "?");  // GBK has no emoji
}

TEST(Md5Hex, StandardDigests) {
    EXPECT_EQ(md5_hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5_hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5_hex("The quick brown fox jumps over the lazy dog"),
              "9e107d9d372bb6826bd81d3542a419d6");
    EXPECT_EQ(md5_hex(std::string("\0", 1)), "93b885adfe0da089cdf634904fd59f71");
    EXPECT_EQ(md5_hex("abc", true), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(md5_hex("abc", false, true), "3cd24fb0d6963f7d");
    EXPECT_EQ(md5_hex("abc", true, true), "3CD24FB0D6963F7D");
}

class TimestampText : public ::testing::Test {
  protected:
    void TearDown() override { platform::Clock::set_instance({}); }
    static void at(platform::LocalTime t) {
        platform::Clock::set_instance(std::make_shared<platform::TestClock>(t));
    }
};

TEST_F(TimestampText, SecondsFromEightOClockOnNewYear1970AndPaddedMilliseconds) {
    struct Case {
        platform::LocalTime t;
        std::string want;
    } cases[] = {
        {{2024, 1, 2, 3, 4, 5, 7}, "1704135845007"},
        {{2024, 1, 2, 3, 4, 5, 50}, "1704135845050"},
        {{2024, 1, 2, 3, 4, 5, 999}, "1704135845999"},
        {{2024, 1, 2, 3, 4, 5, 0}, "1704135845000"},
        {{2000, 2, 29, 23, 59, 59, 123}, "951839999123"},
        {{2038, 1, 19, 11, 14, 8, 1}, "2147483648001"},
        {{2100, 3, 1, 0, 0, 0, 5}, "4107513600005"},
    };
    for (const auto& c : cases) {
        at(c.t);
        EXPECT_EQ(timestamp_text(), c.want);
    }
}

TEST_F(TimestampText, SecondsOnlyIsTheFirstTenDigits) {
    at({2024, 1, 2, 3, 4, 5, 7});
    EXPECT_EQ(timestamp_text(true), "1704135845");
}

TEST_F(TimestampText, OneReadingGivesSecondsAndMillisecondsOfTheSameMoment) {
    // Read twice, a moment of 59.999 s followed by a reading of the next second
    // would give a stamp almost a whole second off.
    EXPECT_EQ(timestamp_text({2024, 1, 2, 3, 4, 59, 999}), "1704135899999");
    EXPECT_EQ(timestamp_text({2024, 1, 2, 3, 5, 0, 0}), "1704135900000");
}

TEST_F(TimestampText, RealClockGivesThirteenDigits) {
    const std::string stamp = timestamp_text();
    ASSERT_EQ(stamp.size(), 13u);
    EXPECT_EQ(stamp.find_first_not_of("0123456789"), std::string::npos);
}

}  // namespace
}  // namespace velkor
