#include "sim/ams.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>

#include "sim/activities.h"
#include "sim/roles.h"
#include "sim/service_text.h"
#include "sim/simulator.h"

namespace velkor::sim {
namespace {

using Fields = std::map<std::string, std::string, std::less<>>;

// A message is either written with \u escapes or, as some services do, left
// plain (then it is ASCII).
struct Message {
    std::string utf8;
    bool escaped = true;
};

Message escaped(std::string utf8) {
    return {std::move(utf8), true};
}
Message plain(std::string ascii) {
    return {std::move(ascii), false};
}

struct Answer {
    std::string ret = "0";
    Message msg;
    Message s_msg;
    bool s_msg_first = false;  // the club service writes sMsg ahead of msg
};

std::string text_of(const Message& m) {
    return m.escaped ? json_escaped(m.utf8) : m.utf8;
}

std::string json_of(const Answer& a, unsigned serial) {
    const std::string msg = "\"msg\":\"" + text_of(a.msg) + '"';
    const std::string s_msg = "\"sMsg\":\"" + text_of(a.s_msg) + '"';
    return "{\"ret\":\"" + a.ret + "\",\"iRet\":\"" + a.ret + "\"," +
           (a.s_msg_first ? s_msg + ',' + msg : msg + ',' + s_msg) + ",\"sAmsSerial\":\"AMS-SIM-" +
           std::to_string(serial) + "\"}";
}

Answer failure(std::string ret, std::string message) {
    Answer a;
    a.ret = std::move(ret);
    a.msg = escaped(std::move(message));
    return a;
}

std::string field(const Fields& fields, std::string_view name) {
    auto it = fields.find(name);
    return it == fields.end() ? std::string() : it->second;
}

std::string query_of(const std::string& target) {
    const size_t q = target.find('?');
    return q == std::string::npos ? std::string() : target.substr(q + 1);
}

class AmsService {
  public:
    explicit AmsService(std::vector<SimActivity> activities) : activities_(std::move(activities)) {}

    std::string answer(const std::string& host, const httplib::Request& req) {
        return json_of(decide(host, req), ++serial_);
    }

  private:
    const SimActivity* activity(const std::string& id) const {
        for (const SimActivity& a : activities_) {
            if (a.activity_id > 0 && std::to_string(a.activity_id) == id) {
                return &a;
            }
        }
        return nullptr;
    }

    bool is_page_flow(const SimActivity& a, const std::string& flow) const {
        return std::any_of(a.submit_flows.begin(), a.submit_flows.end(),
                           [&](int f) { return std::to_string(f) == flow; });
    }

    Answer decide(const std::string& host, const httplib::Request& req) const {
        const std::optional<std::string> account = signed_in_account(req);
        if (!account) {
            return failure("101", "请先登录");
        }
        const Fields url = form_fields(query_of(req.target));
        const Fields body = form_fields(req.body);
        if (field(body, "g_tk").empty()) {
            return failure("102", "登录态失效，请重新登录");
        }
        if (req.body.rfind("sign_version=1.0&action_id=19147", 0) == 0) {
            if (host != "game_ams_host" || field(url, "iActivityId") != kSignupUrlActivity) {
                return failure("201", "非法请求");
            }
            return signup(*account, body);
        }
        const std::string service = field(body, "sServiceType");
        if (service == "cf" && host == "game_ams_host") {
            return cf_claim(field(url, "iActivityId"), body);
        }
        if (service == "tgclub" && host == "game_apps_host") {
            return club_claim(url, body);
        }
        if (service == "qqgame" && host == "game_apps_host") {
            return diamond_claim(url, body);
        }
        return failure("201", "非法请求");
    }

    Answer signup(const std::string& account, const Fields& body) const {
        const std::string id = field(body, "iActivityId");
        const std::string flow = field(body, "iFlowId");
        if (id.empty() || flow.empty()) {
            return failure("202", "活动参数不完整");
        }
        const SimActivity* a = activity(id);
        if (a == nullptr || std::to_string(a->init_flow) != flow) {
            return failure("203", "活动不存在或流程错误");
        }
        const std::string md5 = field(body, "user_md5str");
        if (md5.empty()) {
            return failure("204", "角色信息为空，请先选择大区");
        }
        const std::string area = field(body, "user_area");
        if (field(body, "user_roleId") != account || md5 != role_md5str(account, area)) {
            return failure("205", "角色信息校验失败");
        }
        Answer ok;
        ok.msg = escaped("报名成功");
        ok.s_msg = escaped("已绑定大区" + area + "，活动" + id + "流程" + flow);
        return ok;
    }

    // A listed claim names 53309 in its URL; a timed claim names the activity of
    // its body there.
    Answer cf_claim(const std::string& url_activity, const Fields& body) const {
        const std::string id = field(body, "iActivityId");
        const std::string flow = field(body, "iFlowId");
        const bool timed = !id.empty() && url_activity == id;
        if (!timed && url_activity != kListedClaimUrlActivity) {
            return failure("201", "非法请求");
        }
        const SimActivity* a = activity(id);
        if (a == nullptr) {
            return failure("301", timed ? "对不起，您不满足领取条件" : "活动不存在");
        }
        if (!is_page_flow(*a, flow)) {
            return failure("302", timed ? "对不起，您不满足领取条件" : "该流程不存在");
        }
        Answer ok;
        ok.msg = escaped("领取成功");
        ok.s_msg = timed ? plain("flow " + flow + " claimed")
                         : escaped("恭喜您获得" + gift_of_flow(flow) + "（流程" + flow + "）");
        return ok;
    }

    // The club claim goes to the diamond URL while its body names the club.
    Answer club_claim(const Fields& url, const Fields& body) const {
        if (field(url, "iActivityId") != "43890" || field(body, "iActivityId") != "47415") {
            return failure("201", "非法请求");
        }
        const std::string flow = field(body, "iFlowId");
        if (std::none_of(std::begin(kClubFlows), std::end(kClubFlows),
                         [&](const char* f) { return flow == f; })) {
            return failure("401", "礼包不存在");
        }
        Answer a;
        a.s_msg_first = true;
        if (flow == kClubClaimedFlow) {
            a.ret = "402";
            a.msg = escaped("您已经领取过该礼包了");
            return a;
        }
        a.msg = escaped("领取成功");
        a.s_msg = plain("tgclub gift " + flow);
        return a;
    }

    Answer diamond_claim(const Fields& url, const Fields& body) const {
        if (field(url, "iActivityId") != "43890" || field(body, "iActivityId") != "43890") {
            return failure("201", "非法请求");
        }
        const std::string flow = field(body, "iFlowId");
        if (flow.empty()) {
            return failure("401", "礼包不存在");
        }
        Answer a;
        a.msg = plain("ok");
        a.s_msg = plain("diamond gift " + flow);
        return a;
    }

    std::vector<SimActivity> activities_;
    std::atomic<unsigned> serial_{0};
};

}  // namespace

std::string gift_of_flow(const std::string& flow) {
    static const char* const gifts[] = {"AK47-火麒麟(7天)", "屠龙刀(3天)", "金币x100",
                                        "双倍经验卡(1天)"};
    unsigned sum = 0;
    for (char c : flow) {
        sum += static_cast<unsigned char>(c);
    }
    return gifts[sum % 4];
}

void install_ams_endpoints(Simulator& sim) {
    // Only the ids matter here, and they do not depend on the ports.
    auto service = std::make_shared<AmsService>(listed_activities(sim));
    for (const char* host : {"game_ams_host", "game_apps_host"}) {
        const std::string name = host;
        sim.handle(name, "POST", "/ams/ame/ame.php",
                   [service, name](const httplib::Request& req, httplib::Response& res) {
                       res.set_content(service->answer(name, req),
                                       "application/json; charset=utf-8");
                   });
    }
}

}  // namespace velkor::sim
