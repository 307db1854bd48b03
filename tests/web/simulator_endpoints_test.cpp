// The simulated publisher services answer in the shapes the system's readers
// take apart, and only to requests that carry the login's cookies.
#include <gtest/gtest.h>

#include <string>

#include "region/tables.h"
#include "sim/login_page.h"
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

}  // namespace
}  // namespace velkor
