#include "sim/activities.h"

#include <httplib.h>

#include <cctype>
#include <cstdio>

#include "sim/service_text.h"
#include "sim/simulator.h"
#include "web/endpoints.h"

namespace velkor::sim {
namespace {

const char* const kNames[] = {
    "夏日狂欢",     "签到有礼",       "新春红包雨",   "周末双倍经验",  "王者归来",
    "幸运转盘",     "充值回馈",       "老兵召回",     "新手成长礼包",  "战队集结号",
    "火线英雄榜",   "每日登录奖励",   "限时神器试用", "爆破大师挑战",  "生化狂潮",
    "巅峰对决",     "枪王之王",       "节日礼盒",     "黄金周特惠",    "冬季暖心礼",
    "荣耀勋章兑换", "排位赛季奖励",   "好友组队有礼", "挑战模式通关",  "幽灵模式嘉年华",
    "团队竞技周",   "狙击精英赛",     "武器强化狂欢", "CF's Birthday", "雪地行动",
    "开学季礼包",   "国庆七天乐",     "周年庆典",     "积分商城上新",  "回归老玩家专享",
    "全民竞猜",     "端午粽子大作战", "中秋团圆礼",   "跨年倒计时",    "元宵灯谜会",
};

}  // namespace

namespace {

std::vector<SimActivity> activities_on(const std::string& site_address) {
    const std::string site = "http://" + site_address;
    std::vector<SimActivity> list;
    int index = 0;
    for (const char* name : kNames) {
        SimActivity a;
        a.name = name;
        char day[64];
        std::snprintf(day, sizeof day, "2026-12-%02d 00:00:00", 1 + index % 28);
        a.start = day;
        std::snprintf(day, sizeof day, "2027-01-%02d 23:59:59", 1 + index % 28);
        a.end = day;
        a.activity_id = 51000 + index;
        a.init_flow = 300000 + index * 10;
        a.submit_flows = {a.init_flow + 1};
        if (index % 3 == 0) {
            a.submit_flows.push_back(a.init_flow + 2);
        }
        char path[64];
        std::snprintf(path, sizeof path, "/cp/a2026%04d/index.htm", index);
        a.link = site + path;
        list.push_back(a);
        ++index;
    }
    // Partner-hosted activities: listed, never cached. One writes its host in capitals.
    const char* const partners[] = {"membership_domain", "microblog_domain", "space_domain",
                                    "premium_club_host", "item_mall_domain", "web_games_domain"};
    int p = 0;
    for (const char* fragment : partners) {
        SimActivity a;
        a.name = std::string("合作专区活动") + static_cast<char>('A' + p);
        a.start = "2026-12-01 10:00:00";
        a.end = "2026-12-31 10:00:00";
        std::string host = endpoints::get(fragment);
        if (p == 0) {
            for (char& c : host) {
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            }
        }
        a.link = "http://" + host + "/act/partner" + std::to_string(p) + "/index.html";
        a.partner = true;
        list.push_back(a);
        ++p;
    }
    // A link of 24 bytes or less gives no row; one of 25 to 29 bytes gives a row with
    // an empty address column.
    SimActivity short_link;
    short_link.name = "短链接活动";
    short_link.link = "http://127.0.0.1/a.htm";  // 22 bytes
    list.insert(list.begin() + 5, short_link);
    SimActivity mid_link;
    mid_link.name = "中等链接活动";
    mid_link.start = "2026-12-05 00:00:00";
    mid_link.end = "2026-12-06 00:00:00";
    mid_link.link = "http://127.0.0.1/cp/x/y.htm";  // 27 bytes
    list.insert(list.begin() + 9, mid_link);
    // A second activity of an earlier one's name: the two share one cache section,
    // and the link listed last is the one kept.
    SimActivity twin = list[1];
    twin.activity_id = 51999;
    twin.init_flow = 309990;
    twin.submit_flows = {309991};
    twin.link = site + "/cp/a2026twin/index.htm";
    list.push_back(twin);
    // The last entry of the answer, which no "},{" follows: never read.
    SimActivity last;
    last.name = "最后一条活动";
    last.start = "2026-12-01 00:00:00";
    last.end = "2026-12-31 00:00:00";
    last.link = site + "/cp/a2026last/index.htm";
    list.push_back(last);
    return list;
}

}  // namespace

std::vector<SimActivity> listed_activities(const Simulator& sim) {
    return activities_on(sim.address("game_site_host"));
}

std::string activity_list_answer(const std::vector<SimActivity>& entries) {
    std::string out = "{\"ret\":\"0\",\"msg\":\"\",\"data\":{\"total\":\"" +
                      std::to_string(entries.size()) + "\",\"list\":[";
    int fid = 1200;
    for (size_t i = 0; i < entries.size(); ++i) {
        const SimActivity& a = entries[i];
        if (i > 0) {
            out += ",";
        }
        out += "{\"sDetail\":\"act.htm?fid=" + std::to_string(fid++) + "\",\"name\":\"" +
               json_escaped(a.name) + "\",\"once\":\"1\",\"starttime\":\"" + a.start +
               "\",\"szHoldName\":\"" + json_escaped("穿越火线") + "\",\"endtime\":\"" + a.end +
               "\",\"eventtime\":\"" + a.start + "\",\"url\":\"" + json_escaped(a.link) + "\"}";
    }
    out += "]}}";
    return out;
}

std::string activity_page(const SimActivity& a) {
    std::string page =
        "<!DOCTYPE html>\n<html><head><meta charset=\"gbk\"><title>activity</title></head>\n"
        "<body>\n<div class=\"act\">\n";
    page += "<a href=\"javascript:amsInit(" + std::to_string(a.activity_id) + ", " +
            std::to_string(a.init_flow) + ");\">sign up</a>\n";
    for (int flow : a.submit_flows) {
        page += "<a href=\"javascript:amsSubmit(" + std::to_string(a.activity_id) + "," +
                std::to_string(flow) + ");\">claim</a>\n";
    }
    // A call for another activity, which a reader of this page must ignore.
    page += "<a href=\"javascript:amsSubmit(99999,1);\">other</a>\n";
    page += "</div>\n</body></html>\n";
    return page;
}

void install_activity_endpoints(Simulator& sim) {
    sim.handle("activity_center_host", "POST", "/actcenter/queryActList",
               [&sim](const httplib::Request&, httplib::Response& res) {
                   res.set_content(activity_list_answer(listed_activities(sim)),
                                   "application/json");
               });
    // Every activity page lies on the game site under /cp/<code>/index.htm; the paths do
    // not depend on the port, which is known only once the simulator runs.
    const std::string placeholder = "site.invalid";
    for (const SimActivity& a : activities_on(placeholder)) {
        const std::string prefix = "http://" + placeholder;
        if (a.partner || a.link.rfind(prefix, 0) != 0) {
            continue;
        }
        const std::string path = a.link.substr(prefix.size());
        const std::string page = activity_page(a);
        sim.handle("game_site_host", "GET", path,
                   [page](const httplib::Request&, httplib::Response& res) {
                       res.set_content(page, "text/html");
                   });
    }
}

}  // namespace velkor::sim
