#include "web/endpoints.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace velkor {
namespace {

class Endpoints : public ::testing::Test {
  protected:
    void SetUp() override { endpoints::reset_to_defaults(); }
    void TearDown() override { endpoints::reset_to_defaults(); }
};

int line_count(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST_F(Endpoints, DefaultsPointAtTheSimulatorsFixedPorts) {
    const auto& hosts = endpoints::host_names();
    ASSERT_EQ(hosts.size(), 12u);
    EXPECT_EQ(hosts.front(), "login_host");
    EXPECT_EQ(hosts.back(), "premium_club_host");
    for (size_t i = 0; i < hosts.size(); ++i) {
        EXPECT_EQ(endpoints::get(hosts[i]), "127.0.0.1:" + std::to_string(17601 + i)) << hosts[i];
    }
    EXPECT_EQ(
        endpoints::fragment_names(),
        (std::vector<std::string>{"membership_domain", "microblog_domain", "space_domain",
                                  "premium_club_host", "item_mall_domain", "web_games_domain"}));
    EXPECT_EQ(endpoints::get("membership_domain"), "membership.partner.test");
    EXPECT_EQ(endpoints::get("item_mall_domain"), "mall.partner.test");
    EXPECT_EQ(endpoints::get("web_games_domain"), "webgames.partner.test");
    EXPECT_EQ(endpoints::get("no_such_host"), "");
    EXPECT_FALSE(endpoints::is_known("no_such_host"));
    EXPECT_TRUE(endpoints::is_known("space_domain"));
}

TEST_F(Endpoints, OverridesApplyGoodItemsAndReportTheRest) {
    struct Case {
        const char* setting;
        const char* login_host;
        const char* support_host;
        int error_lines;
    } cases[] = {
        {"login_host=a.example:81, support_host = b.example", "a.example:81", "b.example", 0},
        {"login_host=a.example,", "a.example", "127.0.0.1:17610", 0},
        {"nosuch=1,login_host=c.example", "c.example", "127.0.0.1:17610", 1},
        {"login_host,=x,support_host=,support_host=d.example", "127.0.0.1:17601", "d.example", 3},
        {"", "127.0.0.1:17601", "127.0.0.1:17610", 0},
    };
    for (const Case& c : cases) {
        endpoints::reset_to_defaults();
        std::ostringstream err;
        endpoints::apply_overrides(c.setting, err);
        EXPECT_EQ(endpoints::get("login_host"), c.login_host) << c.setting;
        EXPECT_EQ(endpoints::get("support_host"), c.support_host) << c.setting;
        EXPECT_EQ(line_count(err.str()), c.error_lines) << c.setting << "\n" << err.str();
    }
}

TEST_F(Endpoints, EnvironmentAndSetChangeOneValue) {
    setenv("VELKOR_HOSTS", "game_apps_host=apps.example:8080", 1);
    endpoints::load_from_environment();
    unsetenv("VELKOR_HOSTS");
    EXPECT_EQ(endpoints::get("game_apps_host"), "apps.example:8080");
    endpoints::set("space_domain", "space.example");
    endpoints::set("unknown_name", "x");
    EXPECT_EQ(endpoints::get("space_domain"), "space.example");
    EXPECT_FALSE(endpoints::is_known("unknown_name"));
    endpoints::reset_to_defaults();
    EXPECT_EQ(endpoints::get("game_apps_host"), "127.0.0.1:17605");
}

}  // namespace
}  // namespace velkor
