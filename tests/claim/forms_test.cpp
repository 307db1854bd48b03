#include "claim/forms.h"

#include <gtest/gtest.h>

#include "web/endpoints.h"

namespace velkor {
namespace {

constexpr const char* kStamp = "1468900000123";
// md5 of "123456789"
constexpr const char* kMembershipToken = "25f9e794323b453885f5181f1b624d0b";

class Forms : public ::testing::Test {
  protected:
    void SetUp() override {
        endpoints::reset_to_defaults();
        endpoints::set("game_ams_host", "ams.test");
        endpoints::set("game_apps_host", "apps.test");
        endpoints::set("vip_act_host", "vip.test:8080");
        endpoints::set("static_cdn_host", "cdn.test");
        endpoints::set("game_site_host", "site.test");
        endpoints::set("gamevip_host", "gamevip.test");
        endpoints::set("premium_club_host", "club.test");
    }
    void TearDown() override { endpoints::reset_to_defaults(); }

    static ClaimSession session() {
        return {"123456789", "10001", "318", gbk("广东电信一区"), gbk("风之子")};
    }
};

TEST_F(Forms, EveryFormByteForByte) {
    struct Case {
        const char* form;
        HttpArgs args;
        HttpMethod method;
        bool merge;
        const char* url;
        const char* body;  // UTF-8; compared after conversion to GBK
    };
    const Case cases[] = {
        {"cf_flow_claim", cf_flow_claim("51234", "301234", "123456789", kStamp), HttpMethod::post,
         true,
         "http://ams.test/ams/ame/ame.php?ameVersion=0.3&sServiceType=cf&iActivityId=51234"
         "&sServiceDepartment=group_f&isXhrPost=true",
         "gameId=&sArea=&iSex=&sRoleId=&iGender=&sServiceType=cf&objCustomMsg=&areaname=&roleid="
         "&rolelevel=&rolename=&areaid=&iActivityId=51234&iFlowId=301234&g_tk=123456789"
         "&e_code=242216&g_code=0&eas_url=http%253A%252F%252Fsite.test%252Fcp%252Fa20160615fsxb"
         "%252F&eas_refer=&xhr=1&sServiceDepartment=group_f&xhrPostKey=xhr_1468900000123"},
        // The URL names 53309 whatever activity the body claims for.
        {"cf_listed_claim", cf_listed_claim("12345", "67890", "123456789", kStamp),
         HttpMethod::post, true,
         "http://ams.test/ams/ame/ame.php?ameVersion=0.3&sServiceType=cf&iActivityId=53309"
         "&sServiceDepartment=group_f&isXhrPost=true",
         "gameId=&sArea=&iSex=&sRoleId=&iGender=&sServiceType=cf&objCustomMsg=&areaname=&roleid="
         "&rolelevel=&rolename=&areaid=&iActivityId=12345&iFlowId=67890&g_tk=123456789"
         "&e_code=244858&g_code=0&eas_url=http%253A%252F%252Fsite.test%252Fcp%252Fa20160615summer"
         "%252F&eas_refer=%2520http%253A%252F%252Fsite.test%252Fweb201105%252Factions.shtml&xhr=1"
         "&sServiceDepartment=group_f&xhrPostKey=xhr_1468900000123"},
        {"cf_signup", cf_signup("51234", "301234", session(), "abcdef0123", kStamp),
         HttpMethod::post, true,
         "http://ams.test/ams/ame/ame.php?ameVersion=0.3&sServiceType=cf&iActivityId=53353"
         "&sServiceDepartment=group_f&isXhrPost=true",
         "sign_version=1.0&action_id=19147&user_area=318&user_roleId=10001&user_roleName=风之子"
         "&user_areaName=%25E5%25B9%25BF%25E4%25B8%259C%25E7%2594%25B5%25E4%25BF%25A1%25E4%25B8"
         "%2580%25E5%258C%25BA&user_roleLevel=33&user_checkparam=cf%257Cyes%257C10001%257C318"
         "%257C10001*&user_md5str=abcdef0123&user_sex=&iActivityId=51234&iFlowId=301234"
         "&g_tk=123456789&e_code=242360&g_code=0&eas_url=http%253A%252F%252Fsite.test%252Fcp"
         "%252Fa20160622yj%252F&eas_refer=&xhr=1&sServiceDepartment=group_f&sServiceType=cf"
         "&xhrPostKey=xhr_1468900000123"},
        {"diamond_claim", diamond_claim("300001", "123456789", kStamp), HttpMethod::post, true,
         "http://apps.test/ams/ame/ame.php?ameVersion=0.3&sServiceType=qqgame&iActivityId=43890"
         "&sServiceDepartment=group_h&set_info=group_h&isXhrPost=true",
         "gameId=&sArea=&iSex=&sRoleId=&iGender=&sServiceType=qqgame&objCustomMsg=&areaname="
         "&roleid=&rolelevel=&rolename=&areaid=&iActivityId=43890&iFlowId=300001&g_tk=123456789"
         "&e_code=0&g_code=0&eas_url=http%253A%252F%252Fgamevip.test%252Ffulishe%252Fcf-v2.html"
         "&eas_refer=&xhr=1&sServiceDepartment=group_h&xhrPostKey=xhr_1468900000123"},
        // The diamond form's URL, the club's body.
        {"club_claim", club_claim("248313", "123456789", kStamp), HttpMethod::post, true,
         "http://apps.test/ams/ame/ame.php?ameVersion=0.3&sServiceType=qqgame&iActivityId=43890"
         "&sServiceDepartment=group_h&set_info=group_h&isXhrPost=true",
         "gameId=&sArea=&iSex=&sRoleId=&iGender=&sServiceType=tgclub&objCustomMsg=&areaname="
         "&roleid=&rolelevel=&rolename=&areaid=&iActivityId=47415&iFlowId=248313&g_tk=123456789"
         "&e_code=0&g_code=0&eas_url=http%253A%252F%252Fclub.test%252Fact%252Fpc%252Fa20160414"
         "cfyxj%252F&eas_refer=http%253A%252F%252Fclub.test%252Fact%252Fpc%252Fa20160414cfyxj"
         "%252Fpage1.shtml&xhr=1&sServiceDepartment=xinyue&xhrPostKey=xhr_1468900000123"},
        {"vip_act_data", vip_act_data(), HttpMethod::get, true,
         "http://cdn.test/ACT/vip_act/act_data/67135.json.js", ""},
        {"vip_page_claim", vip_page_claim("112435", session(), "9988", kStamp), HttpMethod::get,
         true,
         "http://vip.test:8080/ams3.0.php?_c=page&actid=112435&roleid=10001&area=318&area_name="
         "%25E5%25B9%25BF%25E4%25B8%259C%25E7%2594%25B5%25E4%25BF%25A1%252D%25E5%25B9%25BF%25E4"
         "%25B8%259C%25E7%2594%25B5%25E4%25BF%25A1%25E4%25B8%2580%25E5%258C%25BA&role_name="
         "%25E9%25A3%258E%25E4%25B9%258B%25E5%25AD%2590&g_tk=25f9e794323b453885f5181f1b624d0b"
         "&pvsrc=undefined&ozid=&vipid=9988&callback=json14688978830866&_=1468900000123",
         ""},
        {"vip_final_claim", vip_final_claim("123456789", "9988", kStamp), HttpMethod::get, true,
         "http://vip.test:8080/ams3.0.php?_c=page&actid=95334&g_tk=25f9e794323b453885f5181f1b624d0b"
         "&pvsrc=undefined&ozid=&vipid=9988&callback=json14689012720925&_=1468900000123",
         ""},
        {"activity_page", activity_page("http://site.test/cp/a1/index.html"), HttpMethod::get,
         false, "http://site.test/cp/a1/index.html", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.form);
        EXPECT_EQ(c.args.url, c.url);
        EXPECT_EQ(c.args.method, c.method);
        EXPECT_EQ(c.args.body_text, gbk(c.body));
        EXPECT_EQ(c.args.merge, c.merge);
        EXPECT_EQ(c.args.cookies, nullptr);  // the sender attaches the session's store
        EXPECT_TRUE(c.args.header_text.empty());
        EXPECT_TRUE(c.args.follow_redirects);
        EXPECT_TRUE(c.args.body_bytes.empty());
        EXPECT_TRUE(c.args.proxy.empty());
    }
}

TEST_F(Forms, MembershipTokenIsTheDigestOfTheCurrentToken) {
    ClaimSession s = session();
    s.csrf_token = "987654321";
    const Text url = vip_page_claim("112435", s, "", kStamp).url;
    EXPECT_NE(url.find("&g_tk=" + md5_hex("987654321") + "&"), Text::npos) << url;
    EXPECT_EQ(url.find(kMembershipToken), Text::npos);
}

TEST_F(Forms, VipPageClaimAreaAndRoleFields) {
    struct Case {
        const char* area_name;
        const char* role_name;
        const char* expected_piece;
    } cases[] = {
        // An empty role leaves role_name empty, right before g_tk; 广 twice encoded leads.
        {"广东电信一区", "", "&area_name=%25E5%25B9%25BF"},
        {"广东电信一区", "", "%25E5%258C%25BA&role_name=&g_tk="},
        // Exactly 8 bytes: 移动专区-移动专区 before encoding.
        {"移动专区", "x",
         "&area_name=%25E7%25A7%25BB%25E5%258A%25A8%25E4%25B8%2593%25E5%258C%25BA%252D%25E7%25A7"
         "%25BB%25E5%258A%25A8%25E4%25B8%2593%25E5%258C%25BA&role_name=%2578&"},
    };
    for (const auto& c : cases) {
        ClaimSession s = session();
        s.area_name = gbk(c.area_name);
        s.role_name = gbk(c.role_name);
        const Text url = vip_page_claim("112435", s, "9988", kStamp).url;
        EXPECT_NE(url.find(c.expected_piece), Text::npos) << c.expected_piece << "\n" << url;
    }
}

TEST_F(Forms, TailsInsertTheHostsAsTheyStand) {
    endpoints::set("game_site_host", "site.test:81");
    endpoints::set("premium_club_host", "club.test:82");
    EXPECT_NE(ams_tail(AmsTail::listed_claim)
                  .find("%252F%252Fsite.test:81%252Fcp%252Fa20160615summer%252F&eas_refer=%2520"
                        "http%253A%252F%252Fsite.test:81%252Fweb201105"),
              Text::npos);
    EXPECT_NE(ams_tail(AmsTail::club)
                  .find("%252F%252Fclub.test:82%252Fact%252Fpc%252Fa20160414"
                        "cfyxj%252Fpage1.shtml"),
              Text::npos);
    for (AmsTail t : {AmsTail::flow_claim, AmsTail::listed_claim, AmsTail::signup, AmsTail::diamond,
                      AmsTail::club}) {
        EXPECT_TRUE(ends_with(ams_tail(t), "&xhrPostKey=xhr_"));
    }
}

TEST(TwiceEncoded, EveryByteOfTheUtf8ThenEveryPercent) {
    struct Case {
        const char* utf8;
        const char* expected;
    } cases[] = {
        {"", ""},       {"-", "%252D"}, {"aZ9.", "%2561%255A%2539%252E"}, {"中", "%25E4%25B8%25AD"},
        {"%", "%2525"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(twice_encoded(gbk(c.utf8)), c.expected) << c.utf8;
    }
}

TEST(AnswerReaders, AmsMessages) {
    struct Case {
        const char* answer;
        const char* msg;    // UTF-8
        const char* s_msg;  // UTF-8
    } cases[] = {
        {R"({"ret":"0","msg":"\u9886\u53d6\u6210\u529f","sMsg":"\u5df2\u9886\u53d6"})", "领取成功",
         "已领取"},
        // Cut at the first quote, also where the server escaped it.
        {R"({"msg":"say \"hi\"","sMsg":"x"})", "say ", "x"},
        {R"({"ret":"101","sMsg":"only"})", "", "only"},
        {R"({"msg":"unterminated)", "", ""},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        const AmsMessages m = ams_messages(c.answer);
        EXPECT_EQ(to_utf8(m.msg), c.msg) << c.answer;
        EXPECT_EQ(to_utf8(m.s_msg), c.s_msg) << c.answer;
    }
}

TEST(AnswerReaders, VipMessageIsTakenWithoutUnescaping) {
    struct Case {
        const char* answer;
        const char* msg;
    } cases[] = {
        {R"(json14688978830866({"ret":0,"msg":"\u9886\u53d6"}))", R"(\u9886\u53d6)"},
        {R"({"msg":"say \"hi\""})", R"(say \)"},
        {R"({"ret":-1})", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vip_message(c.answer), c.msg) << c.answer;
    }
}

TEST(AnswerReaders, IdsOfScriptsAndPages) {
    EXPECT_EQ(vip_id_of(R"(var act={name:"x",oid:"30021",level:1};)"), "30021");
    EXPECT_EQ(vip_id_of(R"(var act={oid:"30021"};)"), "");  // no `",` behind it
    EXPECT_EQ(vip_id_of(""), "");

    const std::string page =
        R"(<a href="javascript:amsInit(51234, 301234);">go</a> javascript:amsInit(9, 8);)";
    EXPECT_EQ(activity_id_of(page), "51234");
    EXPECT_EQ(init_flow_id_of(page, "51234"), "301234");
    EXPECT_EQ(init_flow_id_of(page, "9"), "8");
    EXPECT_EQ(init_flow_id_of(page, "777"), "");
    EXPECT_EQ(activity_id_of("<html>no call</html>"), "");
    EXPECT_EQ(init_flow_id_of("<html>no call</html>", ""), "");
}

TEST(AnswerReaders, SignupSucceeded) {
    struct Case {
        std::string answer;
        bool success;
    } cases[] = {
        {gbk(R"({"ret":"0","msg":"报名成功"})"), true},
        {R"({"ret":"0","msg":"\u62a5\u540d\u6210\u529f"})", true},
        {R"({"ret":"600","msg":"\u5df2\u7ecf\u62a5\u540d"})", false},
        {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(signup_succeeded(c.answer), c.success) << c.answer;
    }
}

TEST(PartnerIds, FixedListsInClaimOrder) {
    EXPECT_EQ(split(vip_activity_ids_text(), "\r\n"),
              (TextList{"112435", "112440", "112441", "112443", "69430", "69429", "95335"}));
    EXPECT_EQ(split(club_flow_ids_text(), "\r\n"),
              (TextList{"248313", "249159", "248629", "248633", "248634", "248635", "248637",
                        "248638", "248608", "248626", "248627", "248569"}));
}

}  // namespace
}  // namespace velkor
