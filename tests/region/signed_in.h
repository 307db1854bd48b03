#pragma once
// What the role scan and binding tests share: a program state signed in to the
// in-process simulator, and readers of its request log.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/threads.h"
#include "region/tables.h"
#include "sim/simulator.h"
#include "tests/support/fake_ui.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_data_dir.h"

namespace velkor::test {

inline constexpr const char* kRolePath =
    "/comm-cgi-bin/content_admin/activity_center/query_role.cgi";
inline constexpr const char* kAmsPath = "/ams/ame/ame.php";
inline constexpr const char* kSignedInCookies = "uin=o012345678; skey=@Vk7Q2xLp9";
inline constexpr const char* kAccount = "12345678";

// Positions in the area list of the areas on which the simulator knows a role, and
// of one without.
inline constexpr int kGuangdong1 = 0;  // 318, 火线小兵
inline constexpr int kGuangdong2 = 1;  // 327, no role
inline constexpr int kJiangsu1 = 11;   // 344, 风之子
inline constexpr int kMobile = 38;     // 360, Ghost_7

inline std::string path_of(const std::string& target) {
    return target.substr(0, target.find('?'));
}

inline std::string query_of(const std::string& target) {
    const size_t q = target.find('?');
    return q == std::string::npos ? std::string() : target.substr(q + 1);
}

// The value of `key` in a query or form body, as it stands; "" when absent.
inline std::string field_of(const std::string& fields, const std::string& key) {
    for (const Text& item : split(fields, "&")) {
        if (item.rfind(key + "=", 0) == 0) {
            return item.substr(key.size() + 1);
        }
    }
    return "";
}

inline const std::string* header_of(const sim::LoggedRequest& r, const std::string& name) {
    for (const auto& [n, v] : r.headers) {
        if (n == name) {
            return &v;
        }
    }
    return nullptr;
}

class SignedInTest : public ::testing::Test {
  protected:
    void SetUp() override {
        state_ = std::make_shared<AppState>();
        ui_ = std::make_shared<testing::FakeUi>();
        context_ = Context{state_, ui_};
        // What the window sets at start and the login sets on signing in.
        state_->set_area_codes(split(region::area_codes_text(), "\r\n"));
        state_->set_region_table(split(region::region_text(), "\r\n"));
        state_->set_cookie_text(kSignedInCookies);
        state_->set_uin(kAccount);
        state_->set_csrf_token("1840317246");
        state_->set_logged_in(true);
    }
    void TearDown() override { ASSERT_TRUE(wait_idle(20000)); }

    // Presses the command and waits for the work it started.
    void press_and_wait(Command command) {
        commands_.press(command, context_);
        ASSERT_TRUE(wait_idle(20000));
    }

    std::vector<sim::LoggedRequest> requests_to(const std::string& path) {
        std::vector<sim::LoggedRequest> found;
        for (auto& r : fixture_.sim().requests()) {
            if (path_of(r.target) == path) {
                found.push_back(r);
            }
        }
        return found;
    }

    TempDataDir data_{"region"};
    SimFixture fixture_;
    std::shared_ptr<AppState> state_;
    std::shared_ptr<testing::FakeUi> ui_;
    Context context_;
    Commands commands_;
};

}  // namespace velkor::test
