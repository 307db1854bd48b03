#include "script/regex_object.h"

#include <gtest/gtest.h>

#include <string>

namespace velkor {
namespace {

TEST(RegexObject, DefaultOptionsIgnoreCaseAndFindEveryMatch) {
    regex_object re;
    ASSERT_TRUE(re.create("a([\\s\\S]*?)b", "a1b A2B"));
    EXPECT_EQ(re.match_count(), 2);
    EXPECT_EQ(re.submatch_text(2, 1), "2");
    EXPECT_EQ(re.submatch_text(1, 1), "1");
    int position = 0;
    EXPECT_EQ(re.match_text(2, &position), "A2B");
    EXPECT_EQ(position, 4);
    EXPECT_EQ(re.submatch_text(2, 1, &position), "2");
    EXPECT_EQ(position, 5);
    EXPECT_EQ(re.submatch_count(), 1);
    EXPECT_EQ(re.pattern(), "a([\\s\\S]*?)b");
}

TEST(RegexObject, MissingMatchesAndGroupsGiveEmptyResults) {
    regex_object re;
    EXPECT_EQ(re.pattern(), "");
    EXPECT_EQ(re.match_count(), 0);
    EXPECT_EQ(re.replace("x"), "");

    ASSERT_TRUE(re.create("a(x)?(b)", "ab"));
    int position = 7;
    EXPECT_EQ(re.submatch_text(1, 1, &position), "");  // group that took no part
    EXPECT_EQ(position, -1);
    EXPECT_EQ(re.submatch_text(1, 2), "b");
    EXPECT_EQ(re.submatch_text(1, 3), "");
    EXPECT_EQ(re.submatch_text(1, 0), "");
    EXPECT_EQ(re.submatch_text(2, 1), "");
    EXPECT_EQ(re.match_text(0), "");
    position = 7;
    EXPECT_EQ(re.match_text(2, &position), "");
    EXPECT_EQ(position, -1);

    ASSERT_TRUE(re.create("a([\\s\\S]*?)b", ""));
    EXPECT_EQ(re.match_count(), 0);
    EXPECT_EQ(re.submatch_count(), 0);
    EXPECT_EQ(re.submatch_text(1, 1), "");
}

TEST(RegexObject, SecondCreateReplacesEverything) {
    regex_object re;
    ASSERT_TRUE(re.create("(\\d)(\\d)", "12 34 56"));
    ASSERT_EQ(re.match_count(), 3);
    ASSERT_TRUE(re.create("x(y)", "xy"));
    EXPECT_EQ(re.match_count(), 1);
    EXPECT_EQ(re.submatch_count(), 1);
    EXPECT_EQ(re.submatch_text(1, 2), "");
    EXPECT_EQ(re.match_text(2), "");
    EXPECT_EQ(re.pattern(), "x(y)");
}

TEST(RegexObject, FailedCompileHoldsNothing) {
    regex_object re;
    ASSERT_TRUE(re.create("(a)", "a a"));
    for (const char* bad : {"a([", "(?<", "a)(b", "*a", "a\\"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(re.create(bad, "a)(b a"));
        EXPECT_EQ(re.match_count(), 0);
        EXPECT_EQ(re.match_text(1), "");
        EXPECT_EQ(re.submatch_text(1, 1), "");
        EXPECT_EQ(re.submatch_count(), 0);
        EXPECT_EQ(re.replace("x"), "");
        EXPECT_EQ(re.pattern(), bad);  // the pattern was set before the search failed
    }
    // Also when the subject holds double-byte characters (the boundary-checked form).
    EXPECT_FALSE(re.create("a)(b", gbk("中a)(b")));
}

TEST(RegexObject, OptionsAndLineRules) {
    struct Case {
        const char* pattern;
        const char* target;
        bool case_sensitive, multiline, global;
        int count;
    };
    const Case cases[] = {
        {"a([\\s\\S]*?)b", "a1b A2B", true, true, true, 1},
        {"a([\\s\\S]*?)b", "a1b A2B", false, true, false, 1},
        {"a[\\s\\S]b", "a\r\nb a\nb", false, true, true, 1},  // [\s\S] takes one line break
        {"a[\\s\\S]*?b", "a\r\nb", false, true, true, 1},
        {"a.b", "a\nb a\rb", false, true, true, 0},  // "." never crosses a line break
        {"a.b", "a b", false, true, true, 1},
        {"^b", "a\r\nb\nb", false, true, true, 2},
        {"^b", "a\r\nb", false, false, true, 0},
        {"a$", "a\r\na\na", false, true, true, 3},
        {"a$", "a\n", false, false, true, 0},  // "$" at the very end only
        {"^", "a\n", false, true, true, 2},    // also behind a final line break
        {"[^]", "ab", false, true, true, 2},
        {"x[]", "x", false, true, true, 0},
        {"(a)|\\1b", "b", false, true, true, 1},  // an unset group matches the empty text
        {"\\u0041", "A", true, true, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " on " + c.target);
        regex_object re;
        ASSERT_TRUE(re.create(c.pattern, c.target, c.case_sensitive, c.multiline, c.global));
        EXPECT_EQ(re.match_count(), c.count);
    }
}

TEST(RegexObject, EmptyMatchesStepOneCharacter) {
    regex_object re;
    const Text target = "a" + gbk("中") + "b";  // four bytes, three characters
    ASSERT_TRUE(re.create("x*", target));
    ASSERT_EQ(re.match_count(), 4);  // before a, before 中, before b, at the end
    int expected[] = {0, 1, 3, 4};
    for (int i = 1; i <= 4; ++i) {
        int position = -2;
        EXPECT_EQ(re.match_text(i, &position), "");
        EXPECT_EQ(position, expected[i - 1]);
    }
    ASSERT_TRUE(re.create("a*?", "aa"));  // lazy: empty at 0, 1 and 2
    EXPECT_EQ(re.match_count(), 3);
}

TEST(RegexObject, QuotePlaceholder) {
    regex_object re;
    const Text pattern = gbk("value=#引号([\\s\\S]*?)#引号");
    ASSERT_TRUE(re.create(pattern, "value=\"42\"", false, true, true, true));
    EXPECT_EQ(re.submatch_text(1, 1), "42");
    EXPECT_EQ(re.pattern(), "value=\"([\\s\\S]*?)\"");
    ASSERT_TRUE(re.create(pattern, "value=\"42\""));  // off: the placeholder is literal
    EXPECT_EQ(re.match_count(), 0);
}

TEST(RegexObject, ReplaceWithGroupsAndSpecials) {
    regex_object re;
    ASSERT_TRUE(re.create("(\\w)(\\d)", "a1-b2-c"));
    EXPECT_EQ(re.replace("<$2$1>"), "<1a>-<2b>-c");
    EXPECT_EQ(re.replace("[$&|$$|$3|$0]"), "[a1|$|$3|$0]-[b2|$|$3|$0]-c");
    EXPECT_EQ(re.replace("$`"), "-a1--c");
    EXPECT_EQ(re.replace("$'"), "-b2-c--c-c");
    EXPECT_EQ(re.replace("$12"), "a2-b2-c");  // $1 followed by the digit 2
    ASSERT_TRUE(re.create("(\\w)(\\d)", "a1-b2-c", false, true, false));
    EXPECT_EQ(re.replace("#"), "#-b2-c");  // not global: the first match only
    ASSERT_TRUE(re.create("z", "abc"));
    EXPECT_EQ(re.replace("#"), "abc");
}

// The subject is searched as bytes; the results must be those of a search over characters.
TEST(RegexObject, DoubleByteCharactersStayWhole) {
    const Text cheng = gbk("誠");  // D5 5C: second byte is a backslash
    const Text song = gbk("誦");   // D5 62: second byte is 'b'
    const Text yi = gbk("亅");     // 81 7C: second byte is '|'
    const Text zhong = gbk("中");
    ASSERT_EQ(song, "\xD5\x62");
    struct Case {
        Text pattern, target;
        int count;
        Text first_match;
    };
    const Case cases[] = {
        // A match may not begin on a second byte.
        {"b(\\d)", song + "1", 0, ""},
        {"b(\\d)", song + "1 b2", 1, "b2"},
        {"javascript:x\\(", "\xD5javascript:x(", 0, ""},  // D5 6A is one character
        // The lazy group runs past a second byte that looks like the right marker.
        {"a([\\s\\S]*?)b", "a" + song + "xb", 1, "a" + song + "xb"},
        {"a[\\s\\S]*?b", "a" + song + "xb", 1, "a" + song + "xb"},
        {"[" + yi + "x]+", "x" + yi + "x", 1, "x" + yi + "x"},  // 7C stays inside the class
        {"[[:digit:]]+", zhong + "12", 1, "12"},
        // A double-byte character of the pattern is one literal, also under a quantifier.
        {yi + "+", yi + yi + "x", 1, yi + yi},
        {"x" + cheng + "y", "x" + cheng + "y", 1, "x" + cheng + "y"},
        {"(" + zhong + ")\\1", zhong + zhong, 1, zhong + zhong},
        // Letter case of a second byte is not folded: D5 62 and D5 42 are two characters.
        {song, "\xD5\x42", 0, ""},
        // Two one-byte atoms cannot take the two halves of one character.
        {"a(\\S)(\\S)b", "a" + zhong + "b", 0, ""},
        {"a(\\S+)b", "a" + zhong + "b", 1, "a" + zhong + "b"},
        {gbk("活动(\\d+)号"), gbk("第一活动12号"), 1, gbk("活动12号")},
        // Patterns that keep the closing check from running: an unclosed \Q, a comment
        // of the extended syntax and (*ACCEPT) still never stop inside a character.
        {"a\\Q\x81", Text("a\x81") + "@a\x81", 1, "a\x81"},  // 81 40 is one character
        {"(?x)a.#", "a" + zhong + "a1", 1, "a1"},
        {"a\xD6(*ACCEPT)", "a" + zhong + "a\xD6", 1, "a\xD6"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(to_utf8(c.pattern) + " on " + to_utf8(c.target));
        regex_object re;
        ASSERT_TRUE(re.create(c.pattern, c.target));
        EXPECT_EQ(re.match_count(), c.count);
        EXPECT_EQ(re.match_text(1), c.first_match);
    }
    regex_object re;
    ASSERT_TRUE(re.create("a([\\s\\S]*?)b", "a" + song + "xb"));
    EXPECT_EQ(re.submatch_text(1, 1), song + "x");
}

// A 5 MB page with many lazy groups, and one whose group never closes.
TEST(RegexObject, LargePageWithLazyGroups) {
    const Text filler = gbk("<div class=\"x\">活动内容说明</div>\r\n");
    Text page;
    page.reserve(5u << 20);
    int calls = 0;
    while (page.size() < (5u << 20)) {
        page += filler;
        if (page.size() % 3 == 0) {
            page += "javascript:amsSubmit(7," + std::to_string(calls++) + ")";
        }
    }
    regex_object re;
    ASSERT_TRUE(re.create("javascript:amsSubmit\\(7,([\\s\\S]*?)\\)", page));
    ASSERT_EQ(re.match_count(), calls);
    EXPECT_EQ(re.submatch_text(1, 1), "0");
    EXPECT_EQ(re.submatch_text(calls, 1), std::to_string(calls - 1));

    // One group over the whole page: a single match of 5 MB.
    const Text whole = "<" + page + ">";
    ASSERT_TRUE(re.create("<([\\s\\S]*?)>$", whole, false, false));
    ASSERT_EQ(re.match_count(), 1);
    EXPECT_EQ(re.submatch_text(1, 1).size(), page.size());

    // A left marker that is never closed.
    const Text open = "javascript:amsSubmit(7," + Text(5u << 20, 'x');
    ASSERT_TRUE(re.create("javascript:amsSubmit\\(7,([\\s\\S]*?)\\)", open));
    EXPECT_EQ(re.match_count(), 0);
}

TEST(RegexObject, RunawaySearchKeepsWhatWasFound) {
    regex_object re;
    // The second attempt backtracks exponentially until the engine's limit stops it.
    const Text target = "xxy " + Text(40, 'x');
    ASSERT_TRUE(re.create("(x+x+)+[yz]", target));
    EXPECT_EQ(re.match_count(), 1);
    EXPECT_EQ(re.match_text(1), "xxy");
}

TEST(RegexObject, CopiesAreIndependent) {
    regex_object a;
    ASSERT_TRUE(a.create("(\\d)", "1 2"));
    regex_object b = a;
    ASSERT_TRUE(a.create("(\\d)", "3"));
    EXPECT_EQ(b.match_count(), 2);
    EXPECT_EQ(b.submatch_text(2, 1), "2");
    EXPECT_EQ(a.match_count(), 1);
}

}  // namespace
}  // namespace velkor
