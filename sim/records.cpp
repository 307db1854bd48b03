#include "sim/records.h"

#include <httplib.h>

#include "sim/roles.h"
#include "sim/service_text.h"
#include "sim/simulator.h"

namespace velkor::sim {

std::string records_answer_text(const std::optional<std::string>& account, const std::string& rand,
                                const std::string& command) {
    if (!account) {
        return "-1#请先登录";
    }
    const auto fields = form_fields(command);
    const auto value = [&](std::string_view name) {
        auto it = fields.find(name);
        return it == fields.end() ? std::string() : it->second;
    };
    const std::string area = value("area");
    std::string area_name = value("area_name");
    while (!area_name.empty() && (area_name.back() == '\n' || area_name.back() == '\r')) {
        area_name.pop_back();
    }
    if (rand.empty() || value("command") != "C00006" || value("type") != "getCFSpend" ||
        area.empty() || value("area_id") != area || value("server_id").empty()) {
        return "-2#参数错误";
    }
    if (area == "318") {
        return "0|1#屠龙刀#0#2016-07-01 12:00:00|2#短|3#金币#100#2016-07-02 08:30:00|end";
    }
    if (find_role(area) == nullptr) {
        return "0|end";
    }
    // A fifth field, which a reader leaves out.
    return "0|1#" + area_name +
           "纪念礼包#10#2016-07-03 09:00:00|2#AK47-火麒麟#888#2016-07-04 20:15:30|"
           "3#双倍经验卡#5#2016-07-05 10:00:00#extra|end";
}

void install_record_endpoints(Simulator& sim) {
    sim.handle("support_host", "GET", "/cgi-bin/common",
               [](const httplib::Request& req, httplib::Response& res) {
                   const std::string text =
                       records_answer_text(signed_in_account(req), req.get_param_value("rand"),
                                           req.get_param_value("command"));
                   // Bars, "#" and blanks too are escaped: only a decoded answer shows them.
                   res.set_content(percent_encoded(text, "-_.~"), "text/plain; charset=utf-8");
               });
}

}  // namespace velkor::sim
