#include "sim/statistics.h"

#include <httplib.h>

#include "platform/codepage.h"
#include "sim/service_text.h"
#include "sim/simulator.h"

namespace velkor::sim {
namespace {

std::string notice_page(const std::string& notice) {
    return "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">"
           "</head><body><p class=\"tips\">" +
           notice + "</p></body></html>\r\n";
}

}  // namespace

std::string statistics_page(const std::optional<std::string>& account, const std::string& ssn) {
    if (!account) {
        return notice_page("请先登录");
    }
    if (ssn != "341") {
        return notice_page("参数错误");
    }
    // Labels sit in cells with attributes, values in plain cells: the values are
    // the page's plain cells in order. One value is padded with blanks, one
    // written in capitals, one cell is blank.
    std::string page =
        "<!DOCTYPE html>\r\n<html><head><meta http-equiv=\"Content-Type\" "
        "content=\"text/html; charset=gbk\"><title>个人信息</title></head>\r\n<body>\r\n"
        "<div class=\"player\">玩家 " +
        *account +
        " 的战绩</div>\r\n"
        "<table class=\"total\" width=\"100%\">\r\n"
        "<tr><td class=\"col_one\">战绩</td><td>  100  </td>"
        "<td class=\"col_one\">胜率</td><td>50%</td></tr>\r\n"
        "<tr><td class=\"col_one\">杀敌/被杀</td><td>300/200</td>"
        "<td class=\"col_one\">杀敌/被杀比率</td><td>1.5</td></tr>\r\n"
        "<tr><td class=\"col_one\">爆头数</td><td>80</td>"
        "<td class=\"col_one\">爆头率</td><td>26%</td></tr>\r\n"
        "<tr><td class=\"col_one\">杀死队友</td><td>2</td>"
        "<td class=\"col_one\">中途退出</td><TD>1</TD></tr>\r\n"
        "<tr><td class=\"col_one\">军衔</td><td>上士 三级</td>"
        "<td class=\"col_one\">在线时长</td><td>320小时</td></tr>\r\n"
        "<tr><td class=\"col_one\">游戏币</td><td>12000</td>"
        "<td class=\"col_one\">经验值</td><td>45000</td></tr>\r\n"
        "<tr><td class=\"col_one\">备注</td><td>   </td></tr>\r\n"
        "</table>\r\n"
        "<h3>今日战绩</h3>\r\n";
    // The day's table stands on one line: a reader strips tags and blanks, not line breaks.
    page +=
        "<table class=\"today\"><tr><td class=\"col_one\">获得经验值</td><td>1200</td></tr>"
        "<tr><td>胜平负</td><td>1/0/0</td><td>杀敌/被杀</td><td>12 / 3</td></tr>"
        "<tr><td>爆头数</td><td>5</td><td>爆头率</td><td>41%</td>"
        "<td>获得游戏币</td><td>300</td></tr></table>\r\n"
        "</body></html>\r\n";
    return page;
}

void install_statistics_endpoints(Simulator& sim) {
    sim.handle("game_apps_host", "GET", "/cgi-bin/cf/userinfo/userinfo.cgi",
               [](const httplib::Request& req, httplib::Response& res) {
                   res.set_content(platform::utf8_to_gbk(statistics_page(
                                       signed_in_account(req), req.get_param_value("ssn"))),
                                   "text/html; charset=gbk");
               });
}

}  // namespace velkor::sim
