#include "claim/collect_between.h"

#include <gtest/gtest.h>

namespace velkor {
namespace {

struct Case {
    const char* name;
    std::string text;
    std::string left;
    std::string right;
    CollectOptions options;
    TextList expected;
};

TEST(CollectBetween, TableOfCases) {
    const Text fw("\xA1\xA1", 2);  // full-width space
    CollectOptions upper;
    upper.respect_case = true;
    CollectOptions flags;
    flags.add_left = true;
    flags.add_right = true;
    CollectOptions limited;
    limited.max_length = 3;
    CollectOptions wrapped;
    wrapped.prefix = "<";
    wrapped.suffix = ">";
    CollectOptions from_middle;
    from_middle.start = 3;

    const std::vector<Case> cases = {
        {"bars", "|a|b||c|", "|", "|", {}, {"a", "b", "c"}},
        {"blank pieces are skipped", "| a |  |" + fw + "b" + fw + "|", "|", "|", {}, {"a", "b"}},
        {"text outside the bars is no piece", "0|x|end", "|", "|", {}, {"x"}},
        {"no right marker", "<td>1</td><td>2", "<td>", "</td>", {}, {"1"}},
        {"no left marker", "abc", "<td>", "</td>", {}, {}},
        {"empty text", "", "|", "|", {}, {}},
        {"letters folded by default", "<TD>1</td><td>2</TD>", "<td>", "</td>", {}, {"1", "2"}},
        {"respect case", "<TD>1</td><td>2</td>", "<td>", "</td>", upper, {"2"}},
        // The empty piece between "fid=" and its right marker restarts the search just
        // behind the left marker, so the next "fid=" still opens a piece.
        {"empty piece restarts behind the left marker", "fid=;fid=a;", "fid=", ";", {}, {"a"}},
        {"add markers", "[x][y]", "[", "]", flags, {"[x]", "[y]"}},
        {"maximum length skips long pieces", "|ab|abc|a|", "|", "|", limited, {"ab", "a"}},
        {"prefix and suffix", "|a|", "|", "|", wrapped, {"<a>"}},
        {"start position", "|a|b|c|", "|", "|", from_middle, {"b", "c"}},
    };
    for (const auto& c : cases) {
        TextList out = {"stale"};
        const int n = collect_between(c.text, c.left, c.right, out, c.options);
        EXPECT_EQ(out, c.expected) << c.name;
        EXPECT_EQ(n, static_cast<int>(c.expected.size())) << c.name;
    }
}

TEST(CollectBetween, DoubleByteCharactersAreSteppedOver) {
    // 0xB1 0x7C is one GBK character whose second byte is "|": it must not open a piece.
    const std::string text = "\xB1|a|b|";
    TextList out;
    collect_between(text, "|", "|", out);
    EXPECT_EQ(out, (TextList{"b"}));  // a byte-wise search would also give "a"
}

TEST(CollectBetween, EmptyLeftMarkerEndsAtOnce) {
    TextList out;
    EXPECT_EQ(collect_between("abc", "", "c", out), 0);
}

TEST(CollectBetween, PumpRunsEachPass) {
    int calls = 0;
    CollectOptions o;
    o.pump = [&] { ++calls; };
    TextList out;
    collect_between("|a|b|c|", "|", "|", out, o);
    EXPECT_EQ(calls, 3);
}

}  // namespace
}  // namespace velkor
