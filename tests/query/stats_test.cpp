#include "query/stats.h"

#include <gtest/gtest.h>

#include "web/endpoints.h"

namespace velkor {
namespace {

TEST(StatsQuery, SessionGetOfThePlayerPage) {
    const Text saved = endpoints::get("game_apps_host");
    endpoints::set("game_apps_host", "apps.example");
    const HttpArgs args = stats_query();
    endpoints::set("game_apps_host", saved);

    EXPECT_EQ(args.url, "http://apps.example/cgi-bin/cf/userinfo/userinfo.cgi?ssn=341");
    EXPECT_EQ(args.method, HttpMethod::get);
    EXPECT_TRUE(args.merge);
    EXPECT_EQ(args.cookies, nullptr);
    EXPECT_TRUE(args.header_text.empty());
    EXPECT_TRUE(args.body_text.empty());
}

Text cells(std::initializer_list<const char*> values) {
    Text out = "<tr>";
    for (const char* v : values) {
        out += "<td>" + gbk(v) + "</td>";
    }
    return out + "</tr>";
}

const char* const kTwelve[] = {"100", "50%", "300/200", "1.5", "80", "26%",
                               "2",   "1",   "x",       "y",   "z",  "w"};

Text twelve_cells() {
    Text out;
    for (const char* v : kTwelve) {
        out += "<td>" + Text(v) + "</td>";
    }
    return out;
}

// Shows GBK lines readably when a comparison fails.
std::string readable(const TextList& lines) {
    std::string out;
    for (const Text& l : lines) {
        out += "[" + to_utf8(l) + "]";
    }
    return out;
}

TEST(StatsLines, TwelveCellsGiveTheOverallBlockThenTheDay) {
    const Text page = "<table>" + twelve_cells() + "</table>";
    const TextList expected = {
        gbk("\r\n总战绩：\r\n"),       gbk("战绩：100\r\n"),
        gbk("胜率：50%\r\n"),          gbk("杀敌/被杀：300/200\r\n"),
        gbk("杀敌/被杀比率：1.5\r\n"), gbk("爆头数：80\r\n"),
        gbk("爆头率：26%\r\n"),        gbk("杀死队友：2\r\n"),
        gbk("中途退出：1\r\n\r\n"),    gbk("今日战绩："),
        gbk("\r\n战绩\r\n"),
    };
    const TextList lines = stats_lines(page);
    EXPECT_EQ(lines, expected) << readable(lines);
}

TEST(StatsLines, ElevenCellsGiveNoOverallBlock) {
    Text page;
    for (int i = 0; i < 11; ++i) {
        page += "<td>" + std::string(kTwelve[i]) + "</td>";
    }
    const TextList lines = stats_lines(page);
    EXPECT_EQ(lines, (TextList{gbk("今日战绩："), gbk("\r\n战绩\r\n")})) << readable(lines);
}

// How the markup of the page's first cell decides what the first line shows; the
// other eleven cells are plain.
TEST(StatsLines, WhichCellsAreCollected) {
    const Text fw("\xA1\xA1", 2);  // full-width blank
    struct Case {
        std::string first;
        const char* shown;  // value of the 战绩 line
    } cases[] = {
        {"<td>  100  </td>", "100"},
        {"<td>" + fw + "100" + fw + "</td>", "100"},
        {"<TD>7</TD>", "7"},                              // tag letters' case ignored
        {"<td class=\"col_one\">9</td><td>7</td>", "7"},  // an attribute cell is no cell
        {"<td>  </td><td>7</td>", "7"},                   // a blank cell is no cell
        {"<td>1 / 2</td>", "1 / 2"},                      // inner blanks kept
    };
    for (const Case& c : cases) {
        Text page = c.first;
        for (int i = 1; i < 12; ++i) {
            page += "<td>" + std::string(kTwelve[i]) + "</td>";
        }
        const TextList lines = stats_lines(page);
        ASSERT_EQ(lines.size(), 11u) << c.first << readable(lines);
        EXPECT_EQ(lines[1], gbk("战绩：") + c.shown + "\r\n") << c.first;
        EXPECT_EQ(lines[2], gbk("胜率：50%\r\n")) << c.first;
    }
}

TEST(StatsLines, DayBlockFromTheStrippedPage) {
    // 罢郊ā in GBK is B0 D5 BD BC A8 A1: its middle four bytes spell 战绩 (D5 BD BC A8)
    // across character boundaries.
    const Text straddling = gbk("罢郊ā");
    ASSERT_EQ(straddling.substr(1, 4), gbk("战绩"));

    struct Case {
        const char* name;
        Text page;
        Text block;  // the last text appended
    } cases[] = {
        {"empty page", "", gbk("\r\n战绩\r\n")},
        {"labels start lines", gbk("获得经验值胜平负1/0/0爆头数5获得游戏币300</table>"),
         gbk("\r\n战绩\r\n胜平负1/0/0\r\n爆头数5\r\n获得游戏币300\r\n")},
        {"tags and blanks stripped",
         "<table>" + cells({"获得经验值", "胜平负", " 1 / 0 / 0 "}) +
             gbk("<tr><td class=\"col_one\">杀敌/被杀</td><td>3/4</td></tr></table>"),
         gbk("\r\n战绩\r\n胜平负1/0/0\r\n杀敌/被杀3/4\r\n")},
        {"stripping respects letter case", gbk("获得经验值<TD>爆头率26%</TD></table>"),
         gbk("\r\n战绩<TD>\r\n爆头率26%</TD>\r\n")},
        {"first label up to the next table end", gbk("获得经验值</table>获得经验值爆头数5</table>"),
         gbk("\r\n战绩\r\n")},
        {"no table end", gbk("获得经验值爆头数5"), gbk("\r\n战绩\r\n")},
        {"今日 removed", gbk("获得经验值今日胜平负1今日</table>"), gbk("\r\n战绩\r\n胜平负1\r\n")},
        {"战绩 across characters is no label", gbk("获得经验值") + straddling + "</table>",
         gbk("\r\n战绩") + straddling + "\r\n"},
        {"a NUL ends the page", gbk("获得经验值爆头数5") + std::string(1, '\0') + "</table>",
         gbk("\r\n战绩\r\n")},
    };
    for (const Case& c : cases) {
        const TextList lines = stats_lines(c.page);
        ASSERT_EQ(lines.size(), 2u) << c.name << readable(lines);
        EXPECT_EQ(lines[0], gbk("今日战绩：")) << c.name;
        EXPECT_EQ(lines[1], c.block) << c.name << readable(lines);
    }
}

}  // namespace
}  // namespace velkor
