#include "login/login.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/threads.h"
#include "claim/collection.h"
#include "platform/profile.h"
#include "tests/support/fake_ui.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_data_dir.h"
#include "web/endpoints.h"

namespace velkor {
namespace {

TEST(LoginCookies, AccountAndSessionKey) {
    struct Case {
        const char* cookies;
        const char* uin;
        const char* skey;
    } cases[] = {
        {"uin=o012345; skey=@abcdefgh1; other=1", "12345", "@abcdefgh1"},
        {"uin=o0012345; skey=@k;", "012345", "@k"},             // only one zero goes
        {"uin=12345; skey=@abcdefgh9", "12345", "@abcdefgh9"},  // key last: last 10 characters
        {"p_skey=PPP; uin=o09; skey=@S;", "9", "PPP"},          // the first "skey=" counts
        {"uin=o01; SKEY=@UPPERCASE1", "1", "UPPERCASE1"},       // no "skey=": last 10 characters
        {"pt2gguin=o077; uin=o088; skey=@x;", "77", "@x"},      // the first "uin=" counts
        {"skey=@abc;", "", "@abc"},                             // no account at all
    };
    for (const auto& c : cases) {
        EXPECT_EQ(account_of(c.cookies), c.uin) << c.cookies;
        EXPECT_EQ(session_key_of(c.cookies), c.skey) << c.cookies;
    }
}

TEST(LoginAddress, BuiltFromTheHosts) {
    endpoints::reset_to_defaults();
    endpoints::set("login_host", "L");
    endpoints::set("game_portal_host", "P");
    endpoints::set("game_site_host", "S");
    EXPECT_EQ(login_address(),
              "http://L/cgi-bin/xlogin?proxy_url=http://P/comm-htdocs/milo/proxy.html"
              "&appid=21000124&f_url=loginerroralert&target=self&qtarget=self"
              "&s_url=http%3A//S/comm-htdocs/login/logincallback.htm&no_verifyimg=1&daid=8"
              "&qlogin_jumpname=jump&qlogin_param=u1%3Dhttp%3A//S/comm-htdocs/login/"
              "logincallback.htm");
    endpoints::reset_to_defaults();
}

class LoginWorkerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        state_ = std::make_shared<AppState>();
        ui_ = std::make_shared<testing::FakeUi>();
        context_ = Context{state_, ui_};
    }
    void TearDown() override { ASSERT_TRUE(wait_idle(20000)); }

    std::shared_ptr<LoginSession> start_login() {
        auto session = std::make_shared<LoginSession>(state_);
        session->set_close_window([this] { ++closes_; });
        // Composed as the program composes it: the login starts a collection.
        start_thread("login",
                     [c = context_, session] { login_worker(c, session, collect_afresh); });
        return session;
    }

    test::TempDataDir data_{"login"};
    test::SimFixture fixture_;
    std::shared_ptr<AppState> state_;
    std::shared_ptr<testing::FakeUi> ui_;
    Context context_;
    std::atomic<int> closes_{0};
};

TEST_F(LoginWorkerTest, SignInCompletesTheLogin) {
    platform::write_profile(activity_cache_path(), "x", "url", "stale");
    platform::write_profile(platform::data_file("data.txt"), "user", "12345678", gbk("移动专区"));

    auto session = start_login();
    session->cookies_read("pgv=1");  // a reading without the key: the worker waits on
    EXPECT_FALSE(state_->logged_in());
    session->cookies_read("uin=o012345678; skey=@Vk7Q2xLp9; pt4=1");
    ASSERT_TRUE(wait_idle(20000));

    EXPECT_TRUE(state_->logged_in());
    EXPECT_EQ(state_->uin(), "12345678");
    EXPECT_EQ(state_->skey(), "@Vk7Q2xLp9");
    EXPECT_FALSE(state_->csrf_token().empty());
    EXPECT_EQ(ui_->selected_area_text(), gbk("移动专区"));
    EXPECT_EQ(ui_->avatar().substr(0, 2), "BM");
    EXPECT_TRUE(ui_->avatar_shown());
    EXPECT_EQ(closes_, 1);

    const auto lines = ui_->outputs();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], gbk("提示：12345678登录成功！\r\n"));
    EXPECT_EQ(lines[1], gbk("提示：活动大数据正在疯狂采集中，采集完成后方可操作\r\n"));
    EXPECT_EQ(lines[2], gbk("提示：采集完成\r\n"));
    // The old cache is gone: only this collection's activities are listed.
    EXPECT_EQ(platform::read_profile(activity_cache_path(), "x", "url"), "");
    EXPECT_FALSE(state_->activity_names().empty());

    // The avatar request carries no cookies.
    bool asked = false;
    for (const auto& r : fixture_.sim().requests()) {
        if (r.host == "avatar_host") {
            asked = true;
            for (const auto& [name, value] : r.headers) {
                EXPECT_NE(name, "Cookie");
            }
            EXPECT_NE(r.target.find("dst_uin=12345678&src_uin=12345678&fid=12345678"),
                      std::string::npos);
        }
    }
    EXPECT_TRUE(asked);
}

TEST_F(LoginWorkerTest, NoRememberedAreaSelectsTheFirst) {
    ui_->select_area(7);
    auto session = start_login();
    session->cookies_read("uin=o099; skey=@abc;");
    ASSERT_TRUE(wait_idle(20000));
    EXPECT_EQ(ui_->selected_area_index(), 0);
}

TEST_F(LoginWorkerTest, ClosingBeforeSignInEndsTheWorker) {
    auto session = start_login();
    session->cookies_read("pgv=1");
    session->window_closed();
    ASSERT_TRUE(wait_idle(5000));
    EXPECT_FALSE(state_->logged_in());
    EXPECT_TRUE(ui_->outputs().empty());
    EXPECT_EQ(closes_, 0);
    // A key arriving later completes nothing.
    session->cookies_read("uin=o01; skey=@late;");
    ASSERT_TRUE(wait_idle(2000));
    EXPECT_FALSE(state_->logged_in());
}

TEST_F(LoginWorkerTest, LoginDoesNotWaitForARunningCollection) {
    // A collection stuck on a list service that never answers holds the collection turn.
    fixture_.sim().set_fault("activity_center_host", "/actcenter/queryActList",
                             {sim::FaultMode::hang, 0});
    start_thread("collection", [c = context_] { collection_worker(c); });
    auto listed = [this] {
        for (const auto& r : fixture_.sim().requests()) {
            if (r.host == "activity_center_host") {
                return true;
            }
        }
        return false;
    };
    for (int i = 0; i < 500 && !listed(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(listed());

    auto session = start_login();
    session->cookies_read("uin=o012345678; skey=@Vk7Q2xLp9;");
    for (int i = 0; i < 500 && closes_ == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(closes_, 1);  // the login ended without waiting for the stuck collection
    EXPECT_TRUE(state_->logged_in());
    const auto lines = ui_->outputs();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], gbk("提示：活动大数据正在疯狂采集中，采集完成后方可操作\r\n"));
    fixture_.sim().stop();  // lets the stuck request, and both collections, end
}

TEST_F(LoginWorkerTest, SecondPressPassesAtOnce) {
    auto first = start_login();
    first->cookies_read("uin=o012345678; skey=@Vk7Q2xLp9;");
    ASSERT_TRUE(wait_idle(20000));
    const size_t lines = ui_->outputs().size();

    start_login();  // no new reading: the kept cookie text already holds the key
    ASSERT_TRUE(wait_idle(20000));
    EXPECT_EQ(closes_, 2);
    const auto outputs = ui_->outputs();
    ASSERT_EQ(outputs.size(), 2 * lines);
    EXPECT_EQ(outputs[lines], gbk("提示：12345678登录成功！\r\n"));
}

}  // namespace
}  // namespace velkor
