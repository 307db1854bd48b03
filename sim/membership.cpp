#include "sim/membership.h"

#include <httplib.h>

#include <algorithm>
#include <optional>

#include "platform/codepage.h"
#include "sim/service_text.h"
#include "sim/simulator.h"

namespace velkor::sim {
namespace {

constexpr const char* kPageActivities[] = {"112435", "112440", "112441", "112443",
                                           "69430",  "69429",  "95335"};

bool is_md5_hex(const std::string& s) {
    return s.size() == 32 && std::all_of(s.begin(), s.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

struct VipAnswer {
    int ret = 0;
    std::optional<std::string> msg;  // UTF-8; nothing for an answer that carries none
};

VipAnswer refused(std::string msg) {
    return {-1, std::move(msg)};
}

VipAnswer answer_for(const httplib::Request& req) {
    const std::optional<std::string> account = signed_in_account(req);
    if (!account) {
        return refused("请先登录");
    }
    const std::string actid = req.get_param_value("actid");
    if (req.get_param_value("_c") != "page" || actid.empty()) {
        return refused("参数错误");
    }
    if (!is_md5_hex(req.get_param_value("g_tk"))) {
        return refused("登录态校验失败，请重新登录");
    }
    if (req.get_param_value("vipid") != kVipOid) {
        return refused("活动配置已更新，请刷新页面");
    }
    if (actid == kVipSilentActivity) {
        return {10002, std::nullopt};
    }
    const bool page_claim = std::any_of(std::begin(kPageActivities), std::end(kPageActivities),
                                        [&](const char* id) { return actid == id; });
    if (page_claim && req.get_param_value("roleid") != *account) {
        return refused("角色信息不匹配");
    }
    if (!page_claim && actid != kVipFinalActivity) {
        return refused("活动已结束");
    }
    return {actid == kVipClaimedActivity ? 600 : 0, vip_claim_message(actid)};
}

}  // namespace

std::string vip_claim_message(const std::string& actid) {
    if (actid == kVipFinalActivity) {
        return "恭喜您获得QQ会员专属礼包";
    }
    if (actid == kVipClaimedActivity) {
        return "您已经领取过礼包" + actid + "了";
    }
    return "礼包" + actid + "领取成功，请到游戏中查收";
}

void install_membership_endpoints(Simulator& sim) {
    // The membership pages are GBK, and their msg is written as it stands.
    sim.handle("vip_act_host", "GET", "/ams3.0.php",
               [](const httplib::Request& req, httplib::Response& res) {
                   std::string callback = req.get_param_value("callback");
                   if (callback.empty()) {
                       callback = "callback";
                   }
                   const VipAnswer a = answer_for(req);
                   std::string body = callback + "({\"ret\":" + std::to_string(a.ret);
                   if (a.msg) {
                       body += ",\"msg\":\"" + platform::utf8_to_gbk(*a.msg) + "\"";
                   } else {
                       body += ",\"data\":{}";
                   }
                   body += ",\"actid\":\"" + req.get_param_value("actid") + "\"});";
                   res.set_content(body, "text/javascript; charset=gbk");
               });
    sim.handle("static_cdn_host", "GET", "/ACT/vip_act/act_data/67135.json.js",
               [](const httplib::Request&, httplib::Response& res) {
                   res.set_content(std::string("var act_data_67135 = {id:\"67135\",oid:\"") +
                                       kVipOid +
                                       "\",name:\"CF member zone\",start:\"2016-07-01\","
                                       "end:\"2016-07-31\"};\n",
                                   "application/javascript");
               });
}

}  // namespace velkor::sim
