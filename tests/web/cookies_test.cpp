#include "web/cookies.h"

#include <gtest/gtest.h>

#include "web/cookie_store.h"

namespace velkor {
namespace {

struct MergeCase {
    const char* what;
    Text cookies;
    Text answer;
    Text merged;
    Text answer_after;  // the answer cookies as rewritten by the merge
};

TEST(MergeCookies, FollowsTheMergeRules) {
    const MergeCase cases[] = {
        {"answer replaces and deletes", "a=1; b=2; c=3", "c=4; b=deleted", "c=4; a=1",
         "c=4;b=deleted"},
        {"empty answer normalises", "a=1;b=2", "", "a=1; b=2", ""},
        {"empty cookie text", "", "x=1; y=deleted; x=1", "x=1", "x=1;y=deleted;x=1"},
        {"both empty", "", "", "", ""},
        {"new items are not compared by name", "", "a=1;a=2", "a=1; a=2", "a=1;a=2"},
        {"exact repetitions drop", "", "a=1;a=1", "a=1", "a=1;a=1"},
        {"first old item of a name wins", "a=1;a=2", "", "a=1", ""},
        {"blanks inside values go", "x=a b", "", "x=ab", ""},
        {"full-width blanks go",
         "x=a\xA1\xA1"
         "b",
         "y= 2", "y=2; x=ab", "y=2"},
        {"answer deletes an item", "k=1;m=2", "k=deleted", "m=2", "k=deleted"},
        {"kept deleted item drops", "k=deleted;m=2", "", "m=2", ""},
        {"only the exact tail =deleted deletes", "x=undeleted;y=deleted2", "",
         "x=undeleted; y=deleted2", ""},
        {"item without = is its own name", "a=1;flag;b=2", "", "a=1; flag; b=2", ""},
        {"item without = replaced by name", "flag;a=1", "flag=on", "flag=on; a=1", "flag=on"},
        {"empty old items: the first survives", "a=1;;b=2;;c=3", "", "a=1; ; b=2; c=3", ""},
        {"trailing ; adds nothing", "a=1;", "", "a=1", ""},
        {"names are case-sensitive", "A=1", "a=2", "a=2; A=1", "a=2"},
        {"name ends at the first =", "t=a=b", "t=c", "t=c", "t=c"},
        {"repetition of an old item in the answer", "a=1;b=2", "b=2", "b=2; a=1", "b=2"},
        {"tabs are not blanks", "a=1;\tb=2", "", "a=1; \tb=2", ""},
        {"double-byte values kept", "n=\xD6\xD0\xCE\xC4", "m=\xB0\xA1",
         "m=\xB0\xA1; n=\xD6\xD0\xCE\xC4", "m=\xB0\xA1"},
        {"a trailing empty item vanishes", "a=1;;", "", "a=1", ""},
        {"an empty answer item leads", "a=1", ";", "; a=1", ";"},
        // UTF-8 中 ends in a byte that would open a double-byte character.
        {"a value ending in a high byte ends at its ;", "t=\xE4\xB8\xAD; b=1", "b=2 ",
         "b=2; t=\xE4\xB8\xAD", "b=2"},
    };
    for (const MergeCase& c : cases) {
        Text cookies = c.cookies;
        Text answer = c.answer;
        const Text returned = merge_cookies(cookies, answer);
        EXPECT_EQ(returned, c.merged) << c.what;
        EXPECT_EQ(cookies, c.merged) << c.what;
        EXPECT_EQ(answer, c.answer_after) << c.what;
    }
}

TEST(LocalCookies, MergesIntoItsCurrentText) {
    LocalCookies store("a=1;b=2");
    Text answer = "b=3; c = 4";
    EXPECT_EQ(store.merge_answer_cookies(answer), "b=3; c=4; a=1");
    EXPECT_EQ(answer, "b=3;c=4");
    EXPECT_EQ(store.cookie_text(), "b=3; c=4; a=1");
    store.set("z=9");
    EXPECT_EQ(store.cookie_text(), "z=9");
}

}  // namespace
}  // namespace velkor
