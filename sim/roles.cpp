#include "sim/roles.h"

#include <httplib.h>

#include <atomic>
#include <memory>

#include "sim/service_text.h"
#include "sim/simulator.h"
#include "web/text.h"

namespace velkor::sim {
namespace {

// Besides letters and digits, what the answer leaves as it is; everything else,
// the blank and the bar among it, is written %XX. The md5str marker (":" and
// "'") thus reads the same before and after decoding.
constexpr std::string_view kKeptPlain = "-_.~:',{}()*!;/";

}  // namespace

const std::vector<SimRole>& sim_roles() {
    static const std::vector<SimRole> roles = {
        {"318", "广东电信一区", "火线小兵"},
        {"344", "江苏电信一区", "风之子"},
        {"360", "移动专区", "Ghost_7"},
    };
    return roles;
}

const SimRole* find_role(const std::string& area_code) {
    for (const SimRole& r : sim_roles()) {
        if (r.area_code == area_code) {
            return &r;
        }
    }
    return nullptr;
}

std::string role_md5str(const std::string& account, const std::string& area_code) {
    return md5_hex("cf|" + account + '|' + area_code + "|role");
}

std::string role_answer_text(const std::optional<std::string>& account,
                             const std::string& area_code, const std::string& callback) {
    std::string out = "query_role_cb" + callback + "({";
    if (!account) {
        return out + "retCode:-2,msg:'请先登录'});";
    }
    if (area_code.empty()) {
        return out + "retCode:-3,msg:'参数错误'});";
    }
    out += "area:'" + area_code + "',uin:'" + *account + "',";
    const SimRole* r = find_role(area_code);
    if (r == nullptr) {
        return out + "retCode:-1,msg:'该大区没有角色'});";
    }
    out += "retCode:0,msg:'ok',roles:'" + *account + ' ' + r->role + "|33|1|',";
    out += "checkparam:'cf|yes|" + *account + '|' + area_code + '|' + *account + "*',";
    out += "md5str:'" + role_md5str(*account, area_code) + "'});";
    return out;
}

void install_role_endpoints(Simulator& sim) {
    // Every answer sets a fresh tracking cookie, as the real service does, so a
    // client's cookie text changes with each query.
    auto served = std::make_shared<std::atomic<unsigned>>(0);
    sim.handle(
        "game_apps_host", "GET", "/comm-cgi-bin/content_admin/activity_center/query_role.cgi",
        [served](const httplib::Request& req, httplib::Response& res) {
            const std::optional<std::string> account = signed_in_account(req);
            const std::string area =
                req.get_param_value("game") == "cf" ? req.get_param_value("area") : "";
            const std::string text =
                role_answer_text(account, area, req.get_param_value("callback"));
            res.set_header("Set-Cookie",
                           "role_trace=r" + std::to_string(++*served) + "; Path=/; Max-Age=1800");
            res.set_content(percent_encoded(text, kKeptPlain), "text/javascript; charset=utf-8");
        });
}

}  // namespace velkor::sim
