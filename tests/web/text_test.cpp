#include "web/text.h"

#include <gtest/gtest.h>

#include <string>

namespace velkor {
namespace {

// 啊 is B0 A1; B0 61 is a double-byte character whose second byte is "a"; 95 5C one
// whose second byte is a backslash. UTF-8 中 is E4 B8 AD.
const std::string kTrailA = "\xB0\x61";
const std::string kTrailBackslash = "\x95\x5C";
const std::string kUtf8Zhong = "\xE4\xB8\xAD";

TEST(Find, PositionsAndStart) {
    struct Case {
        std::string text, sought;
        int start;
        bool ignore_case;
        int want;
    } cases[] = {
        {"abc", "c", 1, false, 3},     {"abc", "x", 1, false, -1},
        {"abab", "b", 0, false, 2},  // a start below 1 means the beginning
        {"abab", "b", -7, false, 2},   {"abab", "b", 3, false, 4},
        {"abab", "b", 5, false, -1},   {"abc", "", 1, false, 1},
        {"", "", 1, false, -1},        {"", "a", 1, false, -1},
        {"abc", "abcd", 1, false, -1}, {"ABC", "b", 1, false, -1},
        {"ABC", "b", 1, true, 2},      {"xAbC", "aBc", 1, true, 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(find(c.text, c.sought, c.start, c.ignore_case), c.want)
            << c.text << " / " << c.sought << " from " << c.start;
    }
}

TEST(Find, NeverStartsOnTheSecondByteOfADoubleByteCharacter) {
    EXPECT_EQ(find(kTrailA, "a"), -1);
    EXPECT_EQ(find(kTrailA + "a", "a"), 3);
    EXPECT_EQ(find(kTrailBackslash + "n", "\\n"), -1);
    EXPECT_EQ(find(kTrailBackslash + "\\n", "\\n"), 3);
    // The same stepping applies to UTF-8 text: E4 B8 pairs up, then AD takes the "a".
    EXPECT_EQ(find(kUtf8Zhong + "a", "a"), -1);
    EXPECT_EQ(find(kUtf8Zhong + "ab", "b"), 5);
    // Whether a candidate is a second byte depends on the run of high bytes before it.
    EXPECT_EQ(find("\xB0\xA1\xB0\xA1"
                   "a",
                   "a"),
              5);
    EXPECT_EQ(find("\xB0\xA1\xB0"
                   "a",
                   "a"),
              -1);
    EXPECT_EQ(find("\xB0\xA1\xB0"
                   "aa",
                   "a"),
              5);
    EXPECT_EQ(find("a\xB0"
                   "a"
                   "\xB0"
                   "a",
                   "a", 2),
              -1);
    EXPECT_EQ(find("\xB0\xA1\xB0\xA1", "\xA1\xB0"), -1);
    // A double-byte character itself is found.
    EXPECT_EQ(find("x" + gbk("中文"), gbk("文")), 4);
}

TEST(Slicing, LeftRightMiddle) {
    EXPECT_EQ(left("abc", 2), "ab");
    EXPECT_EQ(left("abc", 5), "abc");
    EXPECT_EQ(left("abc", 0), "");
    EXPECT_EQ(left("abc", -1), "");
    EXPECT_EQ(right("abc", 2), "bc");
    EXPECT_EQ(right("abc", 3), "abc");
    EXPECT_EQ(right("abc", 9), "abc");
    EXPECT_EQ(right("abc", 0), "");
    EXPECT_EQ(middle("abcdef", 2, 3), "bcd");
    EXPECT_EQ(middle("abc", 2, 10), "bc");  // cut short at the end
    EXPECT_EQ(middle("abc", 3, 1), "c");
    EXPECT_EQ(middle("abc", 4, 1), "");
    EXPECT_EQ(middle("abc", 0, 2), "");
    EXPECT_EQ(middle("abc", 1, 0), "");
    EXPECT_EQ(middle("abc", 1, -2), "");
}

TEST(Replace, OccurrencesStartCountAndCase) {
    EXPECT_EQ(replace("a.b.c", ".", "-"), "a-b-c");
    EXPECT_EQ(replace("aaa", "a", "bb"), "bbbbbb");
    EXPECT_EQ(replace("aaa", "a", "b", 1, 2), "bba");
    EXPECT_EQ(replace("aaa", "a", "b", 2), "abb");
    EXPECT_EQ(replace("aaa", "a", "b", 1, 0), "aaa");
    EXPECT_EQ(replace("aAa", "a", "x"), "xAx");
    EXPECT_EQ(replace("aAa", "a", "x", 1, -1, false), "xxx");
    EXPECT_EQ(replace("abc", "", "x"), "abc");
    EXPECT_EQ(replace("", "a", "x"), "");
    EXPECT_EQ(replace("abab", "ab", ""), "");
    // Non-overlapping, left to right.
    EXPECT_EQ(replace("aaaa", "aa", "b"), "bb");
}

TEST(Replace, StepsOverDoubleByteCharacters) {
    EXPECT_EQ(replace(kTrailA + "a", "a", "x"), kTrailA + "x");
    EXPECT_EQ(replace(kTrailBackslash + "\\u", "\\u", "%u"), kTrailBackslash + "%u");
    EXPECT_EQ(replace(gbk("中a中"), gbk("中"), "z"), "zaz");
}

TEST(Split, PiecesAndEmptyPieceRules) {
    struct Case {
        std::string text, delimiter;
        TextList want;
    } cases[] = {
        {"a,b", ",", {"a", "b"}},
        {"a", ",", {"a"}},
        {",a", ",", {"", "a"}},
        {"a,,b", ",", {"a", "", "b"}},
        {"a,", ",", {"a"}},       // the trailing empty piece is dropped
        {"a,,", ",", {"a", ""}},  // only the last one
        {",", ",", {""}},
        {"", ",", {}},
        {"1\r\n2\r\n3\r\n", "\r\n", {"1", "2", "3"}},
        {kTrailA + "ab", "a", {kTrailA, "b"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(split(c.text, c.delimiter), c.want) << c.text;
    }
}

TEST(ToInt, LeadingDecimalNumber) {
    struct Case {
        std::string text;
        long long want;
    } cases[] = {
        {"123abc", 123},
        {"abc", 0},
        {"", 0},
        {"-5", -5},
        {"007", 7},
        {"4E2D", 4},
        {"FF0C", 0},
        {gbk("１２３"), 123},  // full-width digits
        {"1" + gbk("２") + "3", 123},
        {"99999999999999999999", 9223372036854775807LL},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(to_int(c.text), c.want) << c.text;
    }
}

TEST(NumberText, IntegersAndThirteenSignificantDigits) {
    EXPECT_EQ(number_text(42LL), "42");
    EXPECT_EQ(number_text(-7LL), "-7");
    EXPECT_EQ(number_text(1.5), "1.5");
    EXPECT_EQ(number_text(1234567890123.0), "1234567890123");
    EXPECT_EQ(number_text(0.1 + 0.2), "0.3");
}

TEST(Blanks, TrimAndRemoveHalfAndFullWidth) {
    const std::string fw = "\xA1\xA1";  // full-width space
    EXPECT_EQ(trim_blanks("  a b  "), "a b");
    EXPECT_EQ(trim_blanks(fw + " a" + fw + "b " + fw + fw), "a" + fw + "b");
    EXPECT_EQ(trim_blanks(fw + fw), "");
    EXPECT_EQ(trim_blanks(""), "");
    // B0 A1 is a character; the A1 A1 that follows it straddles two characters.
    EXPECT_EQ(trim_blanks("\xB0\xA1\xA1"), "\xB0\xA1\xA1");
    EXPECT_EQ(trim_blanks("\xB0\xA1" + fw), "\xB0\xA1");
    EXPECT_EQ(remove_blanks(" a" + fw + "b c "), "abc");
}

TEST(TextBetween, MarkersFromTheStart) {
    struct Case {
        std::string text, left, right, want;
    } cases[] = {
        {"a=1; b=2;", "b=", ";", "2"},
        {"a=1", "b=", ";", ""},
        {"x=;", "x=", ";", ""},    // right marker directly behind the left one
        {"; b=2", "b=", ";", ""},  // only a right marker before the left one
        {"b=1;b=2;", "b=", ";", "1"},
        {"k=\"v\";", gbk("k=#引号"), gbk("#引号"), "v"},
        {"{\"a\":\"x\"}", gbk("#引号a#引号:#引号"), gbk("#引号"), "x"},
        {"<" + gbk("名") + ">" + gbk("中文") + "</", "<" + gbk("名") + ">", "</", gbk("中文")},
        {"", "a", "b", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text_between(c.text, c.left, c.right), c.want) << c.text;
    }
}

TEST(TextBetween, StartPositionAndIgnoreCase) {
    EXPECT_EQ(text_between("a=1;a=2;", "a=", ";", 2), "2");
    EXPECT_EQ(text_between("A=1;", "a=", ";"), "");
    EXPECT_EQ(text_between("A=1;", "a=", ";", 1, true), "1");
    EXPECT_EQ(text_between("ab", "ab", "x"), "");  // left marker at the very end
}

}  // namespace
}  // namespace velkor
