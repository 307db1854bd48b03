#include "query/stats.h"

#include <array>

#include "claim/collect_between.h"
#include "web/endpoints.h"

namespace velkor {
namespace {

// The page is read as text: a NUL byte ends it.
std::string_view as_text(std::string_view bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

// Labels of the first eight plain cells, in page order.
const std::array<Text, 8>& overall_labels() {
    static const std::array<Text, 8> k = {
        gbk("战绩："),   gbk("胜率："),   gbk("杀敌/被杀："), gbk("杀敌/被杀比率："),
        gbk("爆头数："), gbk("爆头率："), gbk("杀死队友："),  gbk("中途退出："),
    };
    return k;
}

// Tags and blanks taken out of the page before the day's figures are cut, in this
// order: once the blanks are gone the attribute cell's tag reads <tdclass="col_one">.
Text stripped(std::string_view page) {
    Text text(page);
    for (const char* tag : {" ", "</td>", "<td>", "</tr>", "<tr>", "<tdclass=\"col_one\">"}) {
        text = replace(text, tag, "");
    }
    return text;
}

// The day's figures with each label starting a line of its own.
Text day_block(const Text& stripped_page) {
    Text u = gbk("今日战绩") + text_between(stripped_page, gbk("获得经验值"), "</table>");
    u = replace(u, gbk("今日"), "");
    for (const char* label : {"战绩", "胜平负", "杀敌/被杀", "爆头数", "爆头率", "获得游戏币"}) {
        const Text l = gbk(label);
        u = replace(u, l, "\r\n" + l);
    }
    return u;
}

}  // namespace

HttpArgs stats_query() {
    HttpArgs args;
    args.url =
        "http://" + endpoints::get("game_apps_host") + "/cgi-bin/cf/userinfo/userinfo.cgi?ssn=341";
    args.method = HttpMethod::get;
    args.merge = true;
    return args;
}

TextList stats_lines(std::string_view page_bytes) {
    const std::string_view page = as_text(page_bytes);
    TextList cells;
    collect_between(page, "<td>", "</td>", cells);

    TextList lines;
    if (cells.size() >= 12) {
        lines.push_back(gbk("\r\n总战绩：\r\n"));
        const auto& labels = overall_labels();
        for (size_t i = 0; i < labels.size(); ++i) {
            lines.push_back(labels[i] + cells[i] + (i + 1 < labels.size() ? "\r\n" : "\r\n\r\n"));
        }
    }
    lines.push_back(gbk("今日战绩："));
    lines.push_back(day_block(stripped(page)) + "\r\n");
    return lines;
}

}  // namespace velkor
