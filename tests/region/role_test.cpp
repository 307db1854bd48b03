#include "region/role.h"

#include <gtest/gtest.h>

#include "region/tables.h"
#include "web/endpoints.h"

namespace velkor::region {
namespace {

TEST(RegionCode, DigitsEndingTheFirstLineWithTheFirstFourCharacters) {
    const TextList regions = split(region_text(), "\r\n");
    struct Case {
        const char* display_name;
        const char* code;
    } cases[] = {
        {"广东电信一区", "82"},
        {"广东电信四区", "82"},
        {"北方网通大区", "93"},
        {"移动专区", "540"},
        // The key covers only part of the five-character region name.
        {"黑龙江网通一区", "99"},
        {"河南网通一区", "170"},
        {"台湾电信一区", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(region_code(gbk(c.display_name), regions), c.code) << c.display_name;
    }
    EXPECT_EQ(region_code(gbk("广东电信一区"), {gbk("广东电信")}), "");
    EXPECT_EQ(region_code(gbk("广东电信一区"), {}), "");
}

TEST(RegionCode, EveryAreaOfTheListHasItsRegion) {
    const TextList names = split(area_names_text(), "\r\n");
    const TextList regions = split(region_text(), "\r\n");
    for (const Text& name : names) {
        EXPECT_FALSE(region_code(name, regions).empty()) << to_utf8(name);
    }
}

TEST(RoleOf, AccountBlankRoleBar) {
    struct Case {
        const char* answer;
        const char* uin;
        const char* role;  // UTF-8
    } cases[] = {
        {"try{cb({list:'10001%20%E9%A3%8E%E4%B9%8B%E5%AD%90%7C'})}", "10001", "风之子"},
        {"10001 %E9%A3%8E%E4%B9%8B%E5%AD%90|", "10001", "风之子"},
        // Not anchored: 1000 is found inside 21000.
        {"21000 %E8%A7%92%E8%89%B2|", "1000", "角色"},
        {"10001 %E9%A3%8E%E4%B9%8B%E5%AD%90", "10001", ""},  // no bar
        {"10001%E9%A3%8E|", "10001", ""},                    // no blank
        {"20002 x|", "10001", ""},
        {"", "10001", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(to_utf8(role_of(c.answer, c.uin)), c.role) << c.answer;
    }
}

TEST(Md5strOf, ValueBetweenApostrophesAsItStands) {
    EXPECT_EQ(md5str_of("cb({md5str:'9F8E7D6C5B4A',checkparam:'x'})"), "9F8E7D6C5B4A");
    EXPECT_EQ(md5str_of("md5str:'A%2BB'"), "A%2BB");
    EXPECT_EQ(md5str_of("md5str:\"abc\""), "");
    EXPECT_EQ(md5str_of(""), "");
}

TEST(RoleQuery, UrlsDifferInTheirCallbackOnly) {
    endpoints::reset_to_defaults();
    endpoints::set("game_apps_host", "apps.test:8080");
    const HttpArgs role = role_query("318");
    const HttpArgs signup = signup_role_query("360");
    endpoints::reset_to_defaults();

    EXPECT_EQ(role.url,
              "http://apps.test:8080/comm-cgi-bin/content_admin/activity_center/query_role.cgi"
              "?game=cf&area=318&callback=14687456405913981&sServiceDepartment=group_f");
    EXPECT_EQ(signup.url,
              "http://apps.test:8080/comm-cgi-bin/content_admin/activity_center/query_role.cgi"
              "?game=cf&area=360&callback=14688557963547031&sServiceDepartment=group_f");
    for (const HttpArgs* a : {&role, &signup}) {
        EXPECT_EQ(a->method, HttpMethod::get);
        EXPECT_TRUE(a->merge);
        EXPECT_EQ(a->cookies, nullptr);
        EXPECT_TRUE(a->body_text.empty());
        EXPECT_TRUE(a->header_text.empty());
        EXPECT_TRUE(a->follow_redirects);
    }
}

TEST(AreaCodeAt, SelectionIndexIntoTheCodes) {
    const TextList codes = split(area_codes_text(), "\r\n");
    EXPECT_EQ(area_code_at(codes, 0), "318");
    EXPECT_EQ(area_code_at(codes, 38), "360");
    EXPECT_EQ(area_code_at(codes, 39), "350");
    EXPECT_EQ(area_code_at(codes, 40), "");
    EXPECT_EQ(area_code_at(codes, -1), "");
}

}  // namespace
}  // namespace velkor::region
