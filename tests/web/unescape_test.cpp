#include <gtest/gtest.h>

#include <string>

#include "web/text.h"

namespace velkor {
namespace {

struct Case {
    std::string answer;
    std::string want;
};

void expect_all(const Case* begin, const Case* end) {
    for (const Case* c = begin; c != end; ++c) {
        EXPECT_EQ(unicode_unescape(c->answer), c->want) << to_utf8(c->answer);
    }
}

TEST(UnicodeUnescape, JsonEscapesBecomeGbk) {
    const Case cases[] = {
        {R"({"ret":0,"msg":"\u9886\u53d6\u6210\u529f"})", gbk(R"({"ret":0,"msg":"领取成功"})")},
        {R"(cb({"msg":"\u4E2D\uff0c"}))", gbk(R"(cb({"msg":"中，"}))")},
        {R"({"url":"http:\/\/x\/a"})", R"({"url":"http://x/a"})"},
        {R"({"q":"say \"hi\""})", R"({"q":"say "hi""})"},
        {R"({"p":"C:\\dir"})", R"({"p":"C:\dir"})"},
        {R"(a\tb\nc\x41\q)", "a\tb\ncAq"},
        {R"(\b\f\v)", "\b\f\v"},
        {R"(\x4)", "x4"},  // \x without two digits is the letter
        {"%u4E2D%41", gbk("中A")},
        {"100%", "100%"},
        {"%uFF0C", gbk("，")},
        {R"(\ud83d\ude00 \u0e01)", "? ?"},               // GBK lacks both
        {gbk("提示：") + R"(\u4e2d)", gbk("提示：中")},  // GBK text passes through
        {"", ""},
    };
    expect_all(std::begin(cases), std::end(cases));
}

TEST(UnicodeUnescape, ApostrophesAndLineBreaksComeBack) {
    const Case cases[] = {
        {R"({"msg":"it's"})", R"({"msg":"it's"})"},
        {"a\r\nb\\u4e2d\r\n", "a\r\nb" + gbk("中") + "\r\n"},
        {"{$}", "\r\n"},  // the line marker is not told apart from a real one
        {"\r\n"
         R"(\u4e2d)",
         "\r\n" + gbk("中")},
        {"\rabc", "abc"},    // one leading carriage return is dropped
        {R"(\u2019)", "'"},  // a real right quotation mark turns into an apostrophe
    };
    expect_all(std::begin(cases), std::end(cases));
}

TEST(UnicodeUnescape, SecondByteBackslashIsNoEscape) {
    // 95 5C is one GBK character; its second byte must not start an escape.
    const std::string c = "\x95\x5C";
    EXPECT_EQ(unicode_unescape(c + "n"), c + "n");
    EXPECT_EQ(unicode_unescape(c + "u4e2d"), c + "u4e2d");
    EXPECT_EQ(unicode_unescape(c + "\\u4e2d"), c + gbk("中"));
}

TEST(UnicodeUnescape, TextsALiteralCannotHoldTakeTheFallback) {
    const Case cases[] = {
        // A lone line feed or carriage return: %uXXXX only when its digits begin
        // with a nonzero decimal number, the literal's escapes stay as they are.
        {"\\u4e2d\n\\uff0c", gbk("中") + "\n%uff0c"},
        {"\\u4e2d\r\\u00a0", gbk("中") + "\r%u00a0"},
        {"it's\n", "it's\n"},
        {"a\\/b\n", "a\\/b\n"},
        // One trailing backslash would escape the closing apostrophe.
        {"\\u4e2d\\", gbk("中") + "\\"},
        {"%41\\", "A\\"},
    };
    expect_all(std::begin(cases), std::end(cases));
    // Two trailing backslashes are one escaped backslash: the literal holds them.
    EXPECT_EQ(unicode_unescape("\\u4e2d\\\\"), gbk("中") + "\\");
    EXPECT_EQ(unicode_unescape("\\uff0c\\\\"), gbk("，") + "\\");
}

TEST(UnicodeUnescape, ServerTextIsNeverCode) {
    // 80 is a character of its own in GBK (the euro sign), so the apostrophe behind
    // it survives the quote replacement and would close the literal.
    const std::string answer = "\x80';x='\\u4e2d";
    EXPECT_EQ(unicode_unescape(answer), "\x80';x='" + gbk("中"));
}

TEST(UnicodeUnescape, NulUnitsAreDroppedAndInputEndsAtNul) {
    EXPECT_EQ(unicode_unescape(R"(a\u0000b)"), "ab");
    EXPECT_EQ(unicode_unescape(R"(a\x00b%00c)"), "abc");
    EXPECT_EQ(unicode_unescape(std::string("a\\u4e2d\0b", 9)), "a" + gbk("中"));
    EXPECT_EQ(unicode_unescape(R"(\u0000)"), "%u0000");  // nothing left: the fallback
}

TEST(UnicodeUnescape, PumpsDuringLongInputs) {
    std::string answer;
    while (answer.size() < 300 * 1024) {
        answer += R"({"msg":"\u9886\u53d6"},)";
    }
    int calls = 0;
    const Text out = unicode_unescape(answer, [&] { ++calls; });
    EXPECT_GE(calls, 4);
    const Text first = gbk(R"({"msg":"领取"},)");
    EXPECT_EQ(out.substr(0, first.size()), first);

    calls = 0;
    unescape_fallback(answer, [&] { ++calls; });
    EXPECT_GE(calls, 4);
}

// Handling window events may run another unescape on the same thread.
TEST(UnicodeUnescape, NestedCallFromThePumpLeavesTheOuterCallIntact) {
    std::string answer;
    while (answer.size() < 200 * 1024) {
        answer += R"({"msg":"\u9886\u53d6"},)";
    }
    const Text want = unicode_unescape(answer);
    int nested = 0;
    const Text got = unicode_unescape(answer, [&] {
        ++nested;
        EXPECT_EQ(unicode_unescape(R"(\u4e2d\n)"), gbk("中") + "\n");
        EXPECT_EQ(unicode_unescape("\\u4e2d\n"), gbk("中") + "\n");  // the fallback
    });
    EXPECT_GT(nested, 0);
    EXPECT_EQ(got, want);

    const Text fallback_input = answer + "\n";
    const Text want_fallback = unicode_unescape(fallback_input);
    EXPECT_EQ(unicode_unescape(fallback_input, [] { unicode_unescape(R"(\u4e2d)"); }),
              want_fallback);
}

TEST(UnescapeFallback, EscapesByteByByte) {
    const Case cases[] = {
        {"%u4E2D", gbk("中")},
        {"%u4e2d!", gbk("中!")},
        {"%uFF0C", "%uFF0C"},  // 4 digits that read as decimal 0 stay
        {"%u00A0", "%u00A0"},
        {"%u0041", "A"},  // "0041" reads as decimal 41
        {"%u1F00", "?"},  // a unit GBK lacks
        {"%41%42", "AB"},
        {"%b7", "\xA1\xA4"},  // U+00B7 in GBK
        {"%00x", "x"},
        {"%u12", "%u12"},      // too short for %uXXXX, and "u1" is no hex pair
        {"%u12G4", "%u12G4"},  // not all hexadecimal digits
        {"%u-123", "%u-123"},
        {"%zz", "%zz"},
        {"%4", "%4"},
        {"%", "%"},
        {"\\n%41", "\\nA"},
        {gbk("中%41"), gbk("中A")},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(unescape_fallback(c.answer), c.want) << c.answer;
    }
}

TEST(HexValue, DigitsOfEitherCase) {
    EXPECT_EQ(hex_value("4e2d"), 0x4E2Du);
    EXPECT_EQ(hex_value("FF0C"), 0xFF0Cu);
    EXPECT_EQ(hex_value("0"), 0u);
    EXPECT_EQ(hex_value(""), 0u);
    EXPECT_EQ(hex_value("1G2"), 1u);  // reading stops at a non-digit
}

}  // namespace
}  // namespace velkor
