// The simulated publisher services answer in the shapes the system's readers
// take apart, and only to requests that carry the login's cookies.
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "region/tables.h"
#include "sim/activities.h"
#include "sim/ams.h"
#include "sim/login_page.h"
#include "sim/membership.h"
#include "sim/roles.h"
#include "tests/support/sim_fixture.h"
#include "web/cookie_store.h"
#include "web/http.h"
#include "web/text.h"

namespace velkor {
namespace {

const std::string kAccount = sim::kSimAccount;
const std::string kLoginCookies =
    "pt2gguin=o0" + kAccount + "; uin=o0" + kAccount + "; skey=" + sim::kSimSessionKey;

bool is_ascii(std::string_view bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

class SimEndpoints : public ::testing::Test {
  protected:
    HttpResult get(std::string_view host, std::string_view path,
                   const std::string& cookies = kLoginCookies) {
        LocalCookies store(cookies);
        return http_request({.url = fixture.url(host, path), .cookies = &store});
    }
    HttpResult post(std::string_view host, std::string_view path, const std::string& body,
                    const std::string& cookies = kLoginCookies) {
        LocalCookies store(cookies);
        return http_request({.url = fixture.url(host, path),
                             .method = HttpMethod::post,
                             .body_text = body,
                             .cookies = &store});
    }
    test::SimFixture fixture;
};

// --- role query ------------------------------------------------------------------

std::string role_path(std::string_view area) {
    return "/comm-cgi-bin/content_admin/activity_center/query_role.cgi?game=cf&area=" +
           std::string(area) + "&callback=14687456405913981&sServiceDepartment=group_f";
}

TEST_F(SimEndpoints, RoleQueryNamesTheRoleOnItsAreasOnly) {
    const TextList codes = split(region::area_codes_text(), "\r\n");
    ASSERT_EQ(codes.size(), 40u);
    size_t with_role = 0;
    for (const Text& code : codes) {
        SCOPED_TRACE(code);
        const HttpResult r = get("game_apps_host", role_path(code));
        // Only the decoded answer shows the marker: the blank and the bar are escaped too.
        EXPECT_TRUE(is_ascii(r.body));
        EXPECT_EQ(r.body.find(kAccount + ' '), std::string::npos);
        const Text decoded = url_decode(r.body, true);
        const Text role = text_between(decoded, kAccount + ' ', "|");
        const Text md5 = text_between(r.body, "md5str:'", "'");
        EXPECT_EQ(text_between(decoded, "md5str:'", "'"), md5);
        if (const sim::SimRole* expected = sim::find_role(code)) {
            ++with_role;
            EXPECT_EQ(role, gbk(expected->role));
            EXPECT_EQ(md5, sim::role_md5str(kAccount, code));
            EXPECT_EQ(md5.size(), 32u);
            EXPECT_EQ(md5.find_first_not_of("0123456789abcdef"), std::string::npos);
        } else {
            EXPECT_EQ(role, "");
            EXPECT_EQ(md5, "");
            EXPECT_EQ(decoded.find(kAccount + ' '), std::string::npos);
        }
    }
    EXPECT_EQ(with_role, sim::sim_roles().size());
    // Each role area has its own signature.
    EXPECT_NE(sim::role_md5str(kAccount, "318"), sim::role_md5str(kAccount, "344"));
}

TEST_F(SimEndpoints, RoleQueryTakesTheAccountFromTheUinCookie) {
    const struct {
        std::string uin;
        std::string account;
    } cases[] = {
        {"o012345678", "12345678"},
        {"o98765", "98765"},
        {"o0012", "012"},  // one "o" and then one "0" only
        {"777", "777"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.uin);
        const HttpResult r =
            get("game_apps_host", role_path("318"), "uin=" + c.uin + "; skey=@abc");
        const Text decoded = url_decode(r.body, true);
        EXPECT_EQ(text_between(decoded, c.account + ' ', "|"), gbk("火线小兵"));
        EXPECT_EQ(text_between(decoded, "md5str:'", "'"), sim::role_md5str(c.account, "318"));
    }
}

TEST_F(SimEndpoints, RoleQuerySetsAFreshCookieThatMerges) {
    LocalCookies cookies(kLoginCookies);
    const HttpArgs args{
        .url = fixture.url("game_apps_host", role_path("318")), .cookies = &cookies, .merge = true};
    const HttpResult first = http_request(args);
    EXPECT_NE(first.answer_headers.find("Set-Cookie: role_trace="), std::string::npos);
    const Text after_first = cookies.cookie_text();
    http_request(args);
    const Text after_second = cookies.cookie_text();
    const Text trace1 = text_between(after_first + ";", "role_trace=", ";");
    const Text trace2 = text_between(after_second + ";", "role_trace=", ";");
    EXPECT_NE(trace1, "");
    EXPECT_NE(trace2, "");
    EXPECT_NE(trace1, trace2);
    EXPECT_NE(after_second.find("skey=" + std::string(sim::kSimSessionKey)), std::string::npos);
    // The merged cookie text still signs the account in.
    EXPECT_EQ(text_between(url_decode(http_request(args).body, true), kAccount + ' ', "|"),
              gbk("火线小兵"));
}

// --- ame.php: sign-up ------------------------------------------------------------

const std::string kAmePath =
    "/ams/ame/ame.php?ameVersion=0.3&sServiceType=cf&iActivityId=53353&sServiceDepartment=group_f&"
    "isXhrPost=true";

struct SignupForm {
    std::string area = "318";
    std::string role_id = kAccount;
    std::string md5str;
    std::string activity;
    std::string flow;
    std::string g_tk = "1234567890";

    std::string body() const {
        return "sign_version=1.0&action_id=19147&user_area=" + area + "&user_roleId=" + role_id +
               "&user_roleName=" + gbk("火线小兵") +
               "&user_areaName=%25E5%25B9%25BF%25E4%25B8%259C&user_roleLevel=33"
               "&user_checkparam=cf%257Cyes%257C" +
               role_id + "%257C" + area + "%257C" + role_id + "*&user_md5str=" + md5str +
               "&user_sex=&iActivityId=" + activity + "&iFlowId=" + flow + "&g_tk=" + g_tk +
               "&e_code=242360&g_code=0&eas_url=http%253A%252F%252Fsite%252Fcp%252Fa20160622yj%252F"
               "&eas_refer=&xhr=1&sServiceDepartment=group_f&sServiceType=cf&xhrPostKey=xhr_" +
               "1468855796354";
    }
};

struct AmsReading {
    Text msg;
    Text s_msg;
};

AmsReading read_ams(const std::string& answer) {
    const Text text = unicode_unescape(answer);
    return {text_between(text, "\"msg\":\"", "\""), text_between(text, "\"sMsg\":\"", "\"")};
}

TEST_F(SimEndpoints, SignupAnswersInEscapesWhetherWellFormedOrNot) {
    const sim::SimActivity a = sim::listed_activities(fixture.sim()).front();
    const std::string id = std::to_string(a.activity_id);
    const std::string init = std::to_string(a.init_flow);
    const std::string md5 =
        text_between(get("game_apps_host", role_path("318")).body, "md5str:'", "'");
    ASSERT_FALSE(md5.empty());

    const SignupForm good{.md5str = md5, .activity = id, .flow = init};
    const std::string claim_flow = std::to_string(a.submit_flows[0]);
    const struct {
        const char* what;
        std::function<void(SignupForm&)> change;
        std::string msg;  // UTF-8
    } cases[] = {
        {"well formed", [](SignupForm&) {}, "报名成功"},
        {"empty activity", [](SignupForm& f) { f.activity = ""; }, "活动参数不完整"},
        {"empty flow", [](SignupForm& f) { f.flow = ""; }, "活动参数不完整"},
        {"unknown activity", [](SignupForm& f) { f.activity = "99999"; }, "活动不存在或流程错误"},
        {"a claim flow, not the sign-up's", [&](SignupForm& f) { f.flow = claim_flow; },
         "活动不存在或流程错误"},
        {"empty md5str", [](SignupForm& f) { f.md5str = ""; }, "角色信息为空，请先选择大区"},
        {"md5str of another area", [](SignupForm& f) { f.area = "344"; }, "角色信息校验失败"},
        {"another account", [](SignupForm& f) { f.role_id = "4242"; }, "角色信息校验失败"},
        {"empty g_tk", [](SignupForm& f) { f.g_tk = ""; }, "登录态失效，请重新登录"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SignupForm form = good;
        c.change(form);
        const HttpResult r = post("game_ams_host", kAmePath, form.body());
        EXPECT_TRUE(is_ascii(r.body)) << r.body;
        EXPECT_EQ(read_ams(r.body).msg, gbk(c.msg)) << r.body;
    }
    const HttpResult ok = post("game_ams_host", kAmePath, good.body());
    EXPECT_NE(ok.body.find(R"("msg":"\u62a5\u540d\u6210\u529f")"), std::string::npos) << ok.body;
    EXPECT_NE(to_utf8(read_ams(ok.body).s_msg).find(id), std::string::npos);
}

TEST_F(SimEndpoints, SignupGoesOnlyToItsOwnHostAndUrl) {
    const sim::SimActivity a = sim::listed_activities(fixture.sim()).front();
    const SignupForm form{.md5str = sim::role_md5str(kAccount, "318"),
                          .activity = std::to_string(a.activity_id),
                          .flow = std::to_string(a.init_flow)};
    EXPECT_EQ(read_ams(post("game_ams_host", kAmePath, form.body()).body).msg, gbk("报名成功"));
    EXPECT_EQ(read_ams(post("game_apps_host", kAmePath, form.body()).body).msg, gbk("非法请求"));
    std::string listed_url = kAmePath;
    listed_url.replace(listed_url.find("53353"), 5, "53309");
    EXPECT_EQ(read_ams(post("game_ams_host", listed_url, form.body()).body).msg, gbk("非法请求"));
}

// --- ame.php: claims -------------------------------------------------------------

std::string ame_path(std::string_view service, std::string_view activity) {
    if (service == "cf") {
        return "/ams/ame/ame.php?ameVersion=0.3&sServiceType=cf&iActivityId=" +
               std::string(activity) + "&sServiceDepartment=group_f&isXhrPost=true";
    }
    return "/ams/ame/ame.php?ameVersion=0.3&sServiceType=qqgame&iActivityId=" +
           std::string(activity) + "&sServiceDepartment=group_h&set_info=group_h&isXhrPost=true";
}

std::string claim_body(std::string_view service, std::string_view activity, std::string_view flow) {
    return "gameId=&sArea=&iSex=&sRoleId=&iGender=&sServiceType=" + std::string(service) +
           "&objCustomMsg=&areaname=&roleid=&rolelevel=&rolename=&areaid=&iActivityId=" +
           std::string(activity) + "&iFlowId=" + std::string(flow) +
           "&g_tk=1234567890&e_code=0&g_code=0&eas_url=x&eas_refer=&xhr=1&xhrPostKey=xhr_" +
           "1468855796354";
}

TEST_F(SimEndpoints, ClaimsAnswerPerFormAndFlow) {
    const sim::SimActivity a = sim::listed_activities(fixture.sim()).front();
    ASSERT_GE(a.submit_flows.size(), 2u);
    const std::string id = std::to_string(a.activity_id);
    const std::string flow1 = std::to_string(a.submit_flows[0]);
    const std::string flow2 = std::to_string(a.submit_flows[1]);
    const std::string init = std::to_string(a.init_flow);
    const struct {
        const char* what;
        std::string host, url_service, url_activity, service, activity, flow;
        std::string msg, s_msg;  // UTF-8
    } cases[] = {
        {"listed", "game_ams_host", "cf", "53309", "cf", id, flow1, "领取成功",
         "恭喜您获得" + sim::gift_of_flow(flow1) + "（流程" + flow1 + "）"},
        {"listed, second flow", "game_ams_host", "cf", "53309", "cf", id, flow2, "领取成功",
         "恭喜您获得" + sim::gift_of_flow(flow2) + "（流程" + flow2 + "）"},
        {"listed, the sign-up flow", "game_ams_host", "cf", "53309", "cf", id, init, "该流程不存在",
         ""},
        {"listed, unknown activity", "game_ams_host", "cf", "53309", "cf", "12345", flow1,
         "活动不存在", ""},
        {"listed, activity in the URL", "game_ams_host", "cf", "51001", "cf", id, flow1, "非法请求",
         ""},
        {"timed", "game_ams_host", "cf", id, "cf", id, flow1, "领取成功",
         "flow " + flow1 + " claimed"},
        {"timed, unknown flow", "game_ams_host", "cf", id, "cf", id, "7",
         "对不起，您不满足领取条件", ""},
        {"cf on the apps host", "game_apps_host", "cf", "53309", "cf", id, flow1, "非法请求", ""},
        {"club", "game_apps_host", "qqgame", "43890", "tgclub", "47415", "248313", "领取成功",
         "tgclub gift 248313"},
        {"club, last flow", "game_apps_host", "qqgame", "43890", "tgclub", "47415", "248569",
         "领取成功", "tgclub gift 248569"},
        {"club, claimed before", "game_apps_host", "qqgame", "43890", "tgclub", "47415",
         sim::kClubClaimedFlow, "您已经领取过该礼包了", ""},
        {"club, unknown flow", "game_apps_host", "qqgame", "43890", "tgclub", "47415", "111",
         "礼包不存在", ""},
        {"club on the ams host", "game_ams_host", "qqgame", "43890", "tgclub", "47415", "248313",
         "非法请求", ""},
        {"diamond", "game_apps_host", "qqgame", "43890", "qqgame", "43890", "250001", "ok",
         "diamond gift 250001"},
        {"diamond, empty flow", "game_apps_host", "qqgame", "43890", "qqgame", "43890", "",
         "礼包不存在", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const HttpResult r = post(c.host, ame_path(c.url_service, c.url_activity),
                                  claim_body(c.service, c.activity, c.flow));
        EXPECT_TRUE(is_ascii(r.body)) << r.body;
        const AmsReading got = read_ams(r.body);
        EXPECT_EQ(to_utf8(got.msg), c.msg) << r.body;
        EXPECT_EQ(to_utf8(got.s_msg), c.s_msg) << r.body;
    }
}

TEST_F(SimEndpoints, ClaimMessagesAreEscapedOrPlainAsTheirServicesWriteThem) {
    const sim::SimActivity a = sim::listed_activities(fixture.sim()).front();
    const std::string id = std::to_string(a.activity_id);
    const std::string flow = std::to_string(a.submit_flows[0]);
    const HttpResult listed =
        post("game_ams_host", ame_path("cf", "53309"), claim_body("cf", id, flow));
    EXPECT_NE(listed.body.find(R"("msg":"\u9886\u53d6\u6210\u529f")"), std::string::npos);
    const HttpResult timed = post("game_ams_host", ame_path("cf", id), claim_body("cf", id, flow));
    EXPECT_NE(timed.body.find("\"sMsg\":\"flow " + flow + " claimed\""), std::string::npos);
    // The club writes sMsg ahead of msg.
    const HttpResult club = post("game_apps_host", ame_path("qqgame", "43890"),
                                 claim_body("tgclub", "47415", "248313"));
    EXPECT_LT(club.body.find("\"sMsg\":"), club.body.find("\"msg\":"));
}

// --- membership ------------------------------------------------------------------

const std::string kVipToken = md5_hex("1234567890");

std::string vip_path(std::string_view actid, std::string_view roleid, std::string_view vipid,
                     std::string_view token = kVipToken) {
    std::string path = "/ams3.0.php?_c=page&actid=" + std::string(actid);
    if (!roleid.empty()) {
        path += "&roleid=" + std::string(roleid) + "&area=318&area_name=%25E5%25B9%25BF&role_name=";
    }
    return path + "&g_tk=" + std::string(token) +
           "&pvsrc=undefined&ozid=&vipid=" + std::string(vipid) +
           "&callback=json14688978830866&_=1468897883086";
}

TEST_F(SimEndpoints, MembershipDataScriptNamesTheOid) {
    const HttpResult r = get("static_cdn_host", "/ACT/vip_act/act_data/67135.json.js", "");
    EXPECT_EQ(text_between(r.body, "oid:\"", "\","), sim::kVipOid);
}

TEST_F(SimEndpoints, MembershipClaimsAnswerAPlainGbkMessage) {
    const std::string oid = sim::kVipOid;
    const struct {
        const char* what;
        std::string path;
        std::optional<std::string> msg;  // UTF-8; nothing: the answer has none
    } cases[] = {
        {"page claim", vip_path("112435", kAccount, oid), "礼包112435领取成功，请到游戏中查收"},
        {"another page claim", vip_path("69430", kAccount, oid),
         "礼包69430领取成功，请到游戏中查收"},
        {"claimed before", vip_path(sim::kVipClaimedActivity, kAccount, oid),
         "您已经领取过礼包112443了"},
        {"final claim", vip_path(sim::kVipFinalActivity, "", oid), "恭喜您获得QQ会员专属礼包"},
        {"no message", vip_path(sim::kVipSilentActivity, kAccount, oid), std::nullopt},
        {"unknown activity", vip_path("1", kAccount, oid), "活动已结束"},
        {"empty vipid", vip_path("112435", kAccount, ""), "活动配置已更新，请刷新页面"},
        {"another account's role", vip_path("112435", "4242", oid), "角色信息不匹配"},
        {"token not an md5", vip_path("112435", kAccount, oid, "1234567890"),
         "登录态校验失败，请重新登录"},
        {"not a page call", "/ams3.0.php?_c=list&actid=112435", "参数错误"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const HttpResult r = get("vip_act_host", c.path);
        EXPECT_NE(r.answer_headers.find("charset=gbk"), std::string::npos);
        EXPECT_EQ(r.body.find("\\u"), std::string::npos) << r.body;
        if (c.msg) {
            EXPECT_EQ(text_between(r.body, "\"msg\":\"", "\""), gbk(*c.msg)) << to_utf8(r.body);
        } else {
            EXPECT_EQ(r.body.find("msg"), std::string::npos) << r.body;
            EXPECT_EQ(r.body.rfind("json14688978830866({", 0), 0u) << r.body;
        }
    }
}

// --- consumption records ---------------------------------------------------------

// The query as the claim-record query builds it, for one area.
std::string records_path(std::string_view code, std::string_view region, std::string_view name,
                         std::string_view rand = "0.123456789012345") {
    const Text name_gbk = gbk(name);
    return "/cgi-bin/common?rand=" + std::string(rand) +
           "&command=command%3DC00006%26fromtype%3Dkfweb%26fromtoolid%3Dkfweb514%26type%"
           "3DgetCFSpend%26area" +
           url_encode("=" + std::string(code) + "&", true, true) + "server_id" +
           url_encode("=" + std::string(region) + "&", true, true) + "server_name" +
           url_encode("=" + left(name_gbk, 8) + "&", false, true) + "area_id" +
           url_encode("=" + std::string(code) + "&", true, true) + "area_name" +
           url_encode("=" + name_gbk, false, true) + "%0D%0A";
}

TEST_F(SimEndpoints, RecordsStandBetweenBarsOnceDecoded) {
    const struct {
        std::string path;
        std::string decoded;  // UTF-8
    } cases[] = {
        {records_path("318", "82", "广东电信一区"),
         "0|1#屠龙刀#0#2016-07-01 12:00:00|2#短|3#金币#100#2016-07-02 08:30:00|end"},
        {records_path("344", "94", "江苏电信一区"),
         "0|1#江苏电信一区纪念礼包#10#2016-07-03 09:00:00|2#AK47-火麒麟#888#2016-07-04 "
         "20:15:30|3#双倍经验卡#5#2016-07-05 10:00:00#extra|end"},
        {records_path("327", "82", "广东电信二区"), "0|end"},
        {"/cgi-bin/common?rand=0.1&command=command%3DC00006%26area%3D318", "-2#参数错误"},
        {records_path("318", "82", "广东电信一区", ""), "-2#参数错误"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const HttpResult r = get("support_host", c.path);
        EXPECT_EQ(r.body.find_first_of("|# "), std::string::npos) << r.body;
        EXPECT_TRUE(is_ascii(r.body));
        EXPECT_EQ(to_utf8(url_decode(r.body, true)), c.decoded);
    }
}

// --- player statistics -----------------------------------------------------------

const std::string kStatsPath = "/cgi-bin/cf/userinfo/userinfo.cgi?ssn=341";

// Plain cells as the statistics query cuts them: "<td>" to "</td>" in any case,
// blanks trimmed, blank cells left out.
std::vector<std::string> plain_cells(const std::string& page) {
    std::string lower = page;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    std::vector<std::string> cells;
    for (size_t at = lower.find("<td>"); at != std::string::npos; at = lower.find("<td>", at)) {
        const size_t end = lower.find("</td>", at + 4);
        if (end == std::string::npos) {
            break;
        }
        const std::string cell = trim_blanks(page.substr(at + 4, end - at - 4));
        if (!cell.empty()) {
            cells.push_back(cell);
        }
        at = end;
    }
    return cells;
}

TEST_F(SimEndpoints, StatisticsPageIsGbkWithPlainCellsAndTheDaysTable) {
    const HttpResult r = get("game_apps_host", kStatsPath);
    EXPECT_NE(r.answer_headers.find("Content-Type: text/html; charset=gbk"), std::string::npos);
    // 获得经验值 in GBK, with its value in the next cell.
    const std::string day_label = "\xBB\xF1\xB5\xC3\xBE\xAD\xD1\xE9\xD6\xB5";
    EXPECT_NE(r.body.find(day_label + "</td><td>1200</td>"), std::string::npos);
    EXPECT_EQ(r.body.find("获得经验值"), std::string::npos);  // no UTF-8

    const std::vector<std::string> cells = plain_cells(r.body);
    ASSERT_GE(cells.size(), 12u);
    const std::vector<std::string> first8(cells.begin(), cells.begin() + 8);
    EXPECT_EQ(first8,
              (std::vector<std::string>{"100", "50%", "300/200", "1.5", "80", "26%", "2", "1"}));
    // The first cell is padded, the eighth in capitals: the reader must handle both.
    EXPECT_NE(r.body.find("<td>  100  </td>"), std::string::npos);
    EXPECT_NE(r.body.find("<TD>1</TD>"), std::string::npos);

    // The day's table, stripped of tags and blanks as the reader does.
    Text stripped = r.body;
    for (const char* piece : {" ", "</td>", "<td>", "</tr>", "<tr>", "<tdclass=\"col_one\">"}) {
        stripped = replace(stripped, piece, "");
    }
    EXPECT_EQ(to_utf8(text_between(stripped, gbk("获得经验值"), "</table>")),
              "1200胜平负1/0/0杀敌/被杀12/3爆头数5爆头率41%获得游戏币300");
}

TEST_F(SimEndpoints, StatisticsOfAnotherSeasonHaveNoCells) {
    const HttpResult r = get("game_apps_host", "/cgi-bin/cf/userinfo/userinfo.cgi?ssn=340");
    EXPECT_TRUE(plain_cells(r.body).empty());
    EXPECT_NE(r.body.find(gbk("参数错误")), std::string::npos);
}

// --- the login's cookies -----------------------------------------------------------

TEST_F(SimEndpoints, SignedInEndpointsAskForTheLoginWithoutItsCookies) {
    const sim::SimActivity a = sim::listed_activities(fixture.sim()).front();
    const std::string id = std::to_string(a.activity_id);
    const SignupForm signup{.md5str = sim::role_md5str(kAccount, "318"),
                            .activity = id,
                            .flow = std::to_string(a.init_flow)};
    const Text reminder = gbk("请先登录");
    struct Endpoint {
        const char* what;
        std::function<HttpResult(const std::string& cookies)> send;
        std::function<Text(const HttpResult&)> read;  // the answer's words, GBK
    };
    const Endpoint endpoints[] = {
        {"role query",
         [&](const std::string& c) { return get("game_apps_host", role_path("318"), c); },
         [](const HttpResult& r) { return url_decode(r.body, true); }},
        {"sign-up",
         [&](const std::string& c) { return post("game_ams_host", kAmePath, signup.body(), c); },
         [](const HttpResult& r) { return read_ams(r.body).msg; }},
        {"listed claim",
         [&](const std::string& c) {
             return post("game_ams_host", ame_path("cf", "53309"),
                         claim_body("cf", id, std::to_string(a.submit_flows[0])), c);
         },
         [](const HttpResult& r) { return read_ams(r.body).msg; }},
        {"club claim",
         [&](const std::string& c) {
             return post("game_apps_host", ame_path("qqgame", "43890"),
                         claim_body("tgclub", "47415", "248313"), c);
         },
         [](const HttpResult& r) { return read_ams(r.body).msg; }},
        {"membership claim",
         [&](const std::string& c) {
             return get("vip_act_host", vip_path("112435", kAccount, sim::kVipOid), c);
         },
         [](const HttpResult& r) { return text_between(r.body, "\"msg\":\"", "\""); }},
        {"records",
         [&](const std::string& c) {
             return get("support_host", records_path("318", "82", "广东电信一区"), c);
         },
         [](const HttpResult& r) { return url_decode(r.body, true); }},
        {"statistics", [&](const std::string& c) { return get("game_apps_host", kStatsPath, c); },
         [](const HttpResult& r) { return r.body; }},
    };
    const std::string skey = std::string("skey=") + sim::kSimSessionKey;
    const std::string uin = "uin=o0" + kAccount;
    for (const std::string& cookies :
         {std::string(), uin, skey, "pt2gguin=o0" + kAccount + "; " + skey, "uin=; " + skey,
          "uin=o; " + skey, uin + "; skey="}) {
        for (const Endpoint& e : endpoints) {
            SCOPED_TRACE(std::string(e.what) + " with cookies \"" + cookies + "\"");
            const HttpResult r = e.send(cookies);
            const Text words = e.read(r);
            EXPECT_NE(words.find(reminder), std::string::npos) << to_utf8(words);
            EXPECT_EQ(words.find(kAccount + ' '), std::string::npos);
            EXPECT_EQ(words.find('|'), std::string::npos);
            EXPECT_TRUE(plain_cells(r.body).empty());
        }
    }
    // With them, none of these asks.
    for (const Endpoint& e : endpoints) {
        SCOPED_TRACE(e.what);
        EXPECT_EQ(e.read(e.send(kLoginCookies)).find(reminder), std::string::npos);
    }
}

TEST_F(SimEndpoints, PagesAndPicturesNeedNoCookies) {
    const sim::SimActivity a = sim::listed_activities(fixture.sim()).front();
    const std::string page_path = a.link.substr(a.link.find("/cp/"));
    EXPECT_EQ(text_between(get("game_site_host", page_path, "").body, "javascript:amsInit(", ", "),
              std::to_string(a.activity_id));
    EXPECT_EQ(get("avatar_host", "/headimg_dl?dst_uin=" + kAccount, "").body.substr(0, 2), "BM");
}

}  // namespace
}  // namespace velkor
