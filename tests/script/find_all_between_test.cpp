#include "script/find_all_between.h"

#include <gtest/gtest.h>

namespace velkor {
namespace {

TEST(RegexEscape, EscapesTheListedCharactersOnly) {
    struct Case {
        Text marker, escaped;
    };
    const Case cases[] = {
        {"javascript:amsSubmit(12345,", "javascript:amsSubmit\\(12345,"},
        {")", "\\)"},
        {"a?b*c+d", "a\\?b\\*c\\+d"},
        {"[x]{2}(y)", "\\[x\\]\\{2\\}\\(y\\)"},
        {gbk("id=#引号"), "id=\""},
        {"a\r\nb", "a\\nb"},
        {"a\nb\rc", "a\nb\rc"},  // only the pair is rewritten
        {". \\ ^ $ |", ". \\ ^ $ |"},
        {"", ""},
        // The second byte of 乕 (81 5B) is not a bracket to be escaped.
        {gbk("乕("), gbk("乕") + "\\("},
        // 80 (the euro sign) and a lead byte without its trail stand alone in a pattern.
        {"\x80(", "\\x80\\("},
        {"\x81?\x81", "\\x81\\?\\x81"},
        {"\xFF\r\n", "\\xFF\\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(to_utf8(c.marker));
        EXPECT_EQ(regex_escape(c.marker), c.escaped);
    }
}

const char* const kLeft = "javascript:amsSubmit(12345,";

TEST(FindAllBetween, FlowIdsOfOneActivityInPageOrder) {
    const Text page =
        "<a href=\"javascript:amsSubmit(12345,111);\">get</a>\r\n"
        "<a href=\"javascript:amsSubmit(99999,555);\">other</a>\r\n"
        "<a href=\"JavaScript:AMSsubmit(12345,222);\">get</a>\r\n"
        "<a href=\"javascript:amsSubmit(12345,111);\">again</a>\r\n"
        "<a href=\"javascript:amsSubmit(12345,);\">empty</a>\r\n"
        "<a href=\"javascript:amsSubmit(123456,777);\">longer id</a>\r\n";
    TextList out{"stale"};
    EXPECT_EQ(find_all_between(page, kLeft, ")", 0, "", "", false, false, out), 4);
    EXPECT_EQ(out, (TextList{"111", "222", "111", ""}));
}

TEST(FindAllBetween, MarkersWithSingleHighBytesAreFoundAsWritten) {
    // The euro sign (80) before "(" and a lead byte without its second byte before "?".
    TextList out;
    EXPECT_EQ(find_all_between("x\x80(1)y \x81?2\x81?", "\x80(", ")", 0, "", "", false, false, out),
              1);
    EXPECT_EQ(out, (TextList{"1"}));
    EXPECT_EQ(
        find_all_between("x\x80(1)y \x81?2\x81?", "\x81?", "\x81?", 0, "", "", false, false, out),
        1);
    EXPECT_EQ(out, (TextList{"2"}));
}

TEST(FindAllBetween, NothingFoundEmptiesTheList) {
    TextList out{"stale"};
    EXPECT_EQ(find_all_between("no calls here", kLeft, ")", 0, "", "", false, false, out), 0);
    EXPECT_TRUE(out.empty());
    out = {"stale"};
    EXPECT_EQ(find_all_between("", kLeft, ")", 0, "", "", false, false, out), 0);
    EXPECT_TRUE(out.empty());
    // A left marker that no right marker follows.
    EXPECT_EQ(find_all_between("javascript:amsSubmit(12345,111", kLeft, ")", 0, "", "", false,
                               false, out),
              0);
}

TEST(FindAllBetween, GroupSpansLinesAndTakesTheNearestRightMarker) {
    TextList out;
    EXPECT_EQ(find_all_between("<b>one\r\ntwo</b><b>three</b>", "<b>", "</b>", 0, "", "", false,
                               false, out),
              2);
    EXPECT_EQ(out, (TextList{"one\r\ntwo", "three"}));
}

TEST(FindAllBetween, LengthLimitAffixesAndMarkers) {
    const Text text = "[ab][abcd][][abc]";
    TextList out;
    EXPECT_EQ(find_all_between(text, "[", "]", 3, "", "", false, false, out), 3);
    EXPECT_EQ(out, (TextList{"ab", "", "abc"}));  // longer than 3 bytes: skipped
    EXPECT_EQ(find_all_between(text, "[", "]", 0, "<", ">", true, false, out), 4);
    EXPECT_EQ(out, (TextList{"[<ab>", "[<abcd>", "[<>", "[<abc>"}));
    EXPECT_EQ(find_all_between(text, "[", "]", 2, "", "", true, true, out), 2);
    EXPECT_EQ(out, (TextList{"[ab]", "[]"}));
    // A quote placeholder is understood, and a marker's CR LF stands for the LF of the page.
    EXPECT_EQ(find_all_between("k=\"v\"\nk=\"w\"\r\n", gbk("k=#引号"), gbk("#引号\r\n"), 0, "", "",
                               false, false, out),
              1);
    EXPECT_EQ(out, (TextList{"v"}));
}

TEST(FindAllBetween, ChineseTextAroundTheCalls) {
    // 誦 is D5 62; 乯 is 81 6A, whose second byte is the 'j' of the marker.
    const Text page = gbk("活动说明乯") + "avascript:amsSubmit(12345,1)" + gbk("领取誦") +
                      "javascript:amsSubmit(12345,2" + gbk("誦") + ")";
    TextList out;
    EXPECT_EQ(find_all_between(page, kLeft, ")", 0, "", "", false, false, out), 1);
    EXPECT_EQ(out, (TextList{"2" + gbk("誦")}));
    EXPECT_EQ(find_all_between(page, gbk("领取"), gbk("誦"), 0, "", "", false, false, out), 1);
    EXPECT_EQ(out, (TextList{""}));
}

}  // namespace
}  // namespace velkor
