#include "region/role_scan.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include "sim/roles.h"
#include "tests/region/signed_in.h"
#include "web/endpoints.h"

namespace velkor {
namespace {

class RoleScanTest : public test::SignedInTest {
  protected:
    void SetUp() override {
        SignedInTest::SetUp();
        plug_role_scan(commands_);
    }
};

TEST_F(RoleScanTest, OneLinePerAreaInListOrder) {
    state_->set_role_name(gbk("旧角色"));
    ui_->select_area(test::kMobile);
    press_and_wait(Command::role_scan);

    const TextList items = ui_->area_items();
    const TextList codes = state_->area_codes();
    ASSERT_EQ(items.size(), 40u);
    std::vector<Text> expected;
    for (size_t k = 0; k < items.size(); ++k) {
        const sim::SimRole* role = sim::find_role(codes[k]);
        expected.push_back(role ? items[k] + gbk("：") + gbk(role->role) + "\r\n"
                                : items[k] + gbk("：在该服务器上未获取到角色信息！\r\n"));
    }
    const std::vector<Text> lines = ui_->outputs();
    EXPECT_EQ(lines, expected);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], gbk("广东电信一区：火线小兵\r\n"));
    EXPECT_EQ(lines[test::kJiangsu1], gbk("江苏电信一区：风之子\r\n"));
    EXPECT_EQ(lines[test::kMobile], gbk("移动专区：Ghost_7\r\n"));

    // The scan stores nothing and leaves the selection alone.
    EXPECT_EQ(state_->role_name(), gbk("旧角色"));
    EXPECT_EQ(ui_->selected_area_index(), test::kMobile);
}

TEST_F(RoleScanTest, RequestsOneAfterAnotherWithTheSessionsCookies) {
    press_and_wait(Command::role_scan);

    const auto requests = fixture_.sim().requests();
    ASSERT_EQ(requests.size(), 40u);
    std::vector<std::string> areas;
    for (size_t k = 0; k < requests.size(); ++k) {
        const auto& r = requests[k];
        EXPECT_EQ(r.method, "GET");
        EXPECT_EQ(r.host, "game_apps_host");
        EXPECT_EQ(test::path_of(r.target), test::kRolePath);
        const std::string query = test::query_of(r.target);
        EXPECT_EQ(test::field_of(query, "game"), "cf");
        EXPECT_EQ(test::field_of(query, "callback"), "14687456405913981");
        EXPECT_EQ(test::field_of(query, "sServiceDepartment"), "group_f");
        areas.push_back(test::field_of(query, "area"));

        const std::string* cookie = test::header_of(r, "Cookie");
        ASSERT_NE(cookie, nullptr) << k;
        EXPECT_NE(cookie->find(test::kSignedInCookies), std::string::npos) << *cookie;
        // Each answer sets a fresh tracking cookie; it is merged before the next
        // request goes out, so request k carries the cookie of answer k - 1.
        if (k > 0) {
            EXPECT_NE(cookie->find("role_trace=r" + std::to_string(k)), std::string::npos)
                << *cookie;
        }
    }
    EXPECT_EQ(areas, split(region::area_codes_text(), "\r\n"));
    const Text cookies = state_->cookie_text();
    EXPECT_NE(cookies.find("role_trace=r40"), std::string::npos) << cookies;
    EXPECT_NE(cookies.find("skey=@Vk7Q2xLp9"), std::string::npos) << cookies;
}

TEST_F(RoleScanTest, AnswersWithoutARoleGiveTheNoRoleLine) {
    struct Case {
        const char* what;
        std::function<void()> arrange;
    } cases[] = {
        {"account and blank but no bar",
         [this] {
             fixture_.sim().handle("game_apps_host", "GET", test::kRolePath,
                                   [](const httplib::Request&, httplib::Response& res) {
                                       res.set_content("cb({roles:'12345678%20Role'})",
                                                       "text/javascript");
                                   });
         }},
        {"role service unreachable", [] { endpoints::set("game_apps_host", "127.0.0.1:1"); }},
    };
    for (const auto& c : cases) {
        auto ui = std::make_shared<testing::FakeUi>();
        Context context{state_, ui};
        c.arrange();
        role_scan_worker(context);

        const auto lines = ui->outputs();
        ASSERT_EQ(lines.size(), 40u) << c.what;
        const TextList items = ui->area_items();
        for (size_t k = 0; k < lines.size(); ++k) {
            EXPECT_EQ(lines[k], items[k] + gbk("：在该服务器上未获取到角色信息！\r\n")) << c.what;
        }
    }
}

TEST_F(RoleScanTest, NotLoggedInRemindsAndSendsNothing) {
    state_->set_logged_in(false);
    press_and_wait(Command::role_scan);
    EXPECT_EQ(ui_->outputs(), std::vector<Text>{login_reminder()});

    // The worker tests the login again on its own.
    role_scan_worker(context_);
    EXPECT_EQ(ui_->outputs(), (std::vector<Text>{login_reminder(), login_reminder()}));
    EXPECT_TRUE(fixture_.sim().requests().empty());
}

}  // namespace
}  // namespace velkor
