// Every command pressed many times at once from several threads against the
// simulator, as a user hammering the buttons would: nothing crashes, every worker
// ends, no cookie an answer set is lost, and every text the commands write
// arrives whole.
#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <latch>
#include <memory>
#include <mutex>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/model_ui.h"
#include "app/threads.h"
#include "claim/collection.h"
#include "claim/one_click.h"
#include "claim/timed_grab.h"
#include "login/login.h"
#include "platform/clock.h"
#include "query/queries.h"
#include "region/binding.h"
#include "region/role_scan.h"
#include "region/tables.h"
#include "sim/activities.h"
#include "sim/simulator.h"
#include "tests/support/fake_ui.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_data_dir.h"

namespace velkor {
namespace {

using namespace std::chrono_literals;

constexpr const char* kSignedInCookies = "uin=o012345678; skey=@Vk7Q2xLp9";
constexpr int kIdleMs = 180000;  // a worker still running then has hung

// The timed grab: activity 51000's claim flow at 10:01:05, the clock starting a
// minute before.
constexpr const char* kGrabActivity = "51000";
constexpr const char* kGrabFlow = "300001";
const platform::LocalTime kGrabStart{2026, 12, 1, 10, 0, 0, 0};
const platform::LocalTime kGrabSecond{2026, 12, 1, 10, 1, 5, 0};

// The endpoints whose requests go with the session's cookies and merge the
// answer's back: every answer of theirs can lose a cookie.
struct Endpoint {
    const char* host;
    const char* method;
    const char* path;
};
constexpr Endpoint kSessionEndpoints[] = {
    {"game_apps_host", "GET", "/comm-cgi-bin/content_admin/activity_center/query_role.cgi"},
    {"game_ams_host", "POST", "/ams/ame/ame.php"},
    {"game_apps_host", "POST", "/ams/ame/ame.php"},
    {"static_cdn_host", "GET", "/ACT/vip_act/act_data/67135.json.js"},
    {"vip_act_host", "GET", "/ams3.0.php"},
    {"support_host", "GET", "/cgi-bin/common"},
    {"game_apps_host", "GET", "/cgi-bin/cf/userinfo/userinfo.cgi"},
};

// Wraps the session endpoints: while tracing, every answer sets one more cookie
// of a name of its own, and the tracer keeps each one it gave. Answers made before
// every login window's cookie reading has ended are left alone: such a reading
// replaces the cookie text as a whole, as the window's timer does. It also counts
// the timed grab's claims.
class CookieTracer {
  public:
    // Every request carries the cookie text, and the simulator's server takes
    // header lines of at most 8 KB: that many items of at most 9 bytes stay well
    // below it.
    static constexpr unsigned max_traced = 600;

    void install(sim::Simulator& sim) {
        for (const Endpoint& e : kSessionEndpoints) {
            sim::Simulator::Handler inner = sim.handler(e.host, e.method, e.path);
            ASSERT_TRUE(inner) << e.host << e.path;
            const bool grab_host = std::string(e.host) == "game_ams_host";
            sim.handle(
                e.host, e.method, e.path,
                [this, inner, grab_host](const httplib::Request& req, httplib::Response& res) {
                    inner(req, res);
                    if (grab_host && req.get_param_value("iActivityId") == kGrabActivity) {
                        ++timed_claims_;
                    }
                    if (!tracing_ || readings_pending > 0) {
                        return;
                    }
                    const unsigned n = ++serial_;
                    if (n > max_traced) {
                        return;
                    }
                    const std::string item = "k" + std::to_string(n) + "=1";
                    res.set_header("Set-Cookie", item + "; Path=/");
                    std::lock_guard lock(mutex_);
                    given_.push_back(item);
                });
        }
    }

    void trace(bool on) { tracing_ = on; }
    std::vector<std::string> given() const {
        std::lock_guard lock(mutex_);
        return given_;
    }
    int timed_claims() const { return timed_claims_; }

    // Cookie readings of login windows that have not yet ended.
    std::atomic<int> readings_pending{0};

  private:
    std::atomic<bool> tracing_{false};
    std::atomic<unsigned> serial_{0};
    std::atomic<int> timed_claims_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> given_;  // name=value
};

Commands all_commands() {
    Commands commands;
    plug_binding(commands);
    plug_role_scan(commands);
    plug_one_click(commands);
    plug_timed_grab(commands);
    plug_collection(commands);
    plug_queries(commands);
    return commands;
}

// What the window does at start: the tables, and the timed-grab panel filled in.
void open_window(AppState& state, testing::FakeUi& ui) {
    state.set_area_codes(split(region::area_codes_text(), "\r\n"));
    state.set_region_table(split(region::region_text(), "\r\n"));
    ui.set_edit_text(EditBox::hour, "10");
    ui.set_edit_text(EditBox::minute, "1");
    ui.set_edit_text(EditBox::second, "5");
    ui.set_edit_text(EditBox::activity_id, kGrabActivity);
    ui.set_edit_text(EditBox::flow_id, kGrabFlow);
}

// How a login window reads the page and goes away.
enum class Window {
    closed_before_cookies,
    closed_after_a_reading_without_key,
    closed_after_signing_in,
};

// The login press as the window composes it: a session, its worker with the
// collection as follow-up, and the window's own readings and closing.
void press_login(const Context& context, Window window, std::atomic<int>& closes,
                 std::atomic<int>& readings_pending) {
    auto session = std::make_shared<LoginSession>(context.state);
    session->set_close_window([&closes] { ++closes; });
    start_thread("login", [context, session] { login_worker(context, session, collect_afresh); });
    switch (window) {
        case Window::closed_before_cookies:
            break;
        case Window::closed_after_a_reading_without_key:
            session->cookies_read("pgv_pvid=4711; pt_local_token=12");
            --readings_pending;
            break;
        case Window::closed_after_signing_in:
            session->cookies_read(kSignedInCookies);
            --readings_pending;
            break;
    }
    session->window_closed();
}

// Runs one command alone and waits for it.
void press_alone(const Commands& commands, Command command, Context& context) {
    commands.press(command, context);
    ASSERT_TRUE(wait_idle(kIdleMs));
}

std::string readable(const Text& text) {
    std::string out = to_utf8(text);
    for (size_t at = 0; (at = out.find("\r\n", at)) != std::string::npos;) {
        out.replace(at, 2, "\\r\\n");
    }
    return out;
}

class CommandsUnderLoad : public ::testing::Test {
  protected:
    void SetUp() override {
        sim::Simulator& sim = fixture_.sim();
        // Five activities listed (the last entry of an answer is never read), so
        // that many runs stay short and the cookie text stays small.
        std::vector<sim::SimActivity> listed = sim::listed_activities(sim);
        std::vector<sim::SimActivity> few(listed.begin(), listed.begin() + 5);
        few.push_back(listed[6]);
        const std::string answer = sim::activity_list_answer(few);
        sim.handle("activity_center_host", "POST", "/actcenter/queryActList",
                   [answer](const httplib::Request&, httplib::Response& res) {
                       res.set_content(answer, "application/json");
                   });
        tracer_.install(sim);
    }
    void TearDown() override { ASSERT_TRUE(wait_idle(kIdleMs)); }

    // What each command writes when it runs alone, one after the other, signed in.
    struct Reference {
        std::set<Text> texts;
        std::vector<Text> stats_block;  // one statistics query's texts, in order
        std::vector<RecordRow> records;
        std::vector<ActivityRow> activities;
    };

    void run_alone(Reference& ref) {
        auto state = std::make_shared<AppState>();
        auto ui = std::make_shared<testing::FakeUi>();
        open_window(*state, *ui);
        auto clock = std::make_shared<platform::TestClock>(kGrabStart);
        Context context{state, ui};
        Context grab_context{state, ui, clock};
        const Commands commands = all_commands();

        std::atomic<int> closes{0};
        std::atomic<int> readings{1};
        press_login(context, Window::closed_after_signing_in, closes, readings);
        ASSERT_TRUE(wait_idle(kIdleMs));
        ASSERT_TRUE(state->logged_in());
        press_alone(commands, Command::collect, context);
        press_alone(commands, Command::one_click, context);  // before any binding
        press_alone(commands, Command::bind_area, context);
        press_alone(commands, Command::one_click, context);
        press_alone(commands, Command::role_scan, context);
        press_alone(commands, Command::record_query, context);
        const size_t before_stats = ui->outputs().size();
        press_alone(commands, Command::stats_query, context);
        const std::vector<Text> after_stats = ui->outputs();
        ref.stats_block.assign(after_stats.begin() + static_cast<long>(before_stats),
                               after_stats.end());
        commands.press(Command::timed_grab, grab_context);
        ASSERT_TRUE(clock->wait_for_sleepers(2, 60s));
        clock->set(kGrabSecond);
        ASSERT_TRUE(wait_idle(kIdleMs));

        for (const Text& t : ui->outputs()) {
            ref.texts.insert(t);
        }
        ref.records = ui->record_rows();
        ref.activities = ui->activity_rows();
        ASSERT_FALSE(ref.stats_block.empty());
        ASSERT_FALSE(ref.records.empty());
        ASSERT_EQ(ref.activities.size(), 5u);
        ASSERT_TRUE(ref.texts.count(gbk("[抢领结果：]领取成功\r\n")));
    }

    test::TempDataDir data_{"integration"};
    CookieTracer tracer_;  // outlives the simulator, whose handlers point at it
    test::SimFixture fixture_;
};

TEST_F(CommandsUnderLoad, EveryCommandPressedAtOnceFromSeveralThreads) {
    Reference ref;
    ASSERT_NO_FATAL_FAILURE(run_alone(ref));
    const int claims_alone = tracer_.timed_claims();

    // A program just started: not signed in, no cookies.
    auto state = std::make_shared<AppState>();
    auto ui = std::make_shared<testing::FakeUi>();
    open_window(*state, *ui);
    auto clock = std::make_shared<platform::TestClock>(kGrabStart);
    const Context plain{state, ui};
    const Context grab{state, ui, clock};
    const Commands commands = all_commands();

    // Readings without the key come before those with it, so that once signed in the
    // cookie text keeps the session's cookies.
    const Window logins[] = {
        Window::closed_before_cookies,   Window::closed_after_a_reading_without_key,
        Window::closed_before_cookies,   Window::closed_after_a_reading_without_key,
        Window::closed_after_signing_in, Window::closed_after_signing_in,
    };
    tracer_.readings_pending = 4;
    std::atomic<int> closes{0};
    tracer_.trace(true);

    const std::vector<Command> round = {
        Command::collect,
        Command::bind_area,
        Command::one_click,
        Command::record_query,
        Command::stats_query,
        Command::timed_grab,
        Command::copy_activity_address,
        Command::open_activity_address,
    };
    constexpr int kHands = 4;
    constexpr int kHandsInRoundTwo = 2;
    std::atomic<int> grab_presses{0};
    std::latch start(kHands + 2);
    std::latch signed_in(1);

    // One hand presses its commands in an order of its own.
    auto press_round = [&](int hand, Context& context, Context& grab_context, bool scan) {
        std::vector<Command> order = round;
        std::rotate(order.begin(), order.begin() + hand % static_cast<int>(order.size()),
                    order.end());
        if (scan) {
            order.insert(order.begin() + 1, Command::role_scan);
        }
        for (Command command : order) {
            if (command == Command::timed_grab) {
                ++grab_presses;
                commands.press(command, grab_context);
                continue;
            }
            if (command == Command::copy_activity_address ||
                command == Command::open_activity_address) {
                ui->select_activity_row(0);  // the user clicks the first row
            }
            commands.press(command, context);
        }
    };

    std::vector<std::thread> hands;
    for (int hand = 0; hand < kHands; ++hand) {
        hands.emplace_back([&, hand] {
            Context context = plain;
            Context grab_context = grab;
            start.arrive_and_wait();
            press_round(hand, context, grab_context, /*scan=*/hand < 2);
            if (hand < kHandsInRoundTwo) {
                signed_in.wait();
                press_round(hand + kHands, context, grab_context, /*scan=*/false);
            }
        });
    }
    hands.emplace_back([&] {
        start.arrive_and_wait();
        for (Window w : logins) {
            press_login(plain, w, closes, tracer_.readings_pending);
        }
    });

    start.arrive_and_wait();
    // The second round comes once every login window's reading is over and the
    // player is signed in.
    bool ready = false;
    for (int i = 0; i < 6000 && !ready; ++i) {
        ready = tracer_.readings_pending == 0 && state->logged_in();
        if (!ready) {
            std::this_thread::sleep_for(10ms);
        }
    }
    signed_in.count_down();
    for (std::thread& t : hands) {
        t.join();
    }
    ASSERT_TRUE(ready) << "never signed in";

    // The grab's waiters sleep until 10:01:05; the clock moves up to it second by
    // second, stands there until every waiter has claimed, then moves on past it.
    const int waiters = 2 * grab_presses;
    for (int s = 0; s < 64; ++s) {
        clock->advance_second();
    }
    ASSERT_TRUE(clock->wait_for_sleepers(waiters, 60s)) << clock->sleepers() << " of " << waiters;
    clock->set(kGrabSecond);
    const auto claims = [&] { return tracer_.timed_claims() - claims_alone; };
    for (int i = 0; i < 6000 && claims() < waiters; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    clock->advance(15s);
    // A press after the second has passed: its waiters find no second and end.
    Context late = grab;
    commands.press(Command::timed_grab, late);

    ASSERT_TRUE(wait_idle(kIdleMs)) << running_workers() << " workers still running";
    EXPECT_EQ(running_workers(), 0);
    EXPECT_EQ(clock->sleepers(), 0);
    EXPECT_EQ(claims(), waiters);  // each waiter claimed once, the late ones never
    EXPECT_GE(closes, 2);          // every signed-in window was closed

    // --- cookies: none that an answer set after the last reading is missing ------
    const Text cookies = state->cookie_text();
    std::set<Text> items;
    for (const Text& item : split(cookies, "; ")) {
        items.insert(item);
    }
    EXPECT_TRUE(items.count("uin=o012345678")) << cookies;
    EXPECT_TRUE(items.count("skey=@Vk7Q2xLp9")) << cookies;
    const std::vector<std::string> given = tracer_.given();
    size_t missing = 0;
    for (const std::string& item : given) {
        if (!items.count(item) && missing++ < 10) {
            ADD_FAILURE() << "lost cookie " << item;
        }
    }
    EXPECT_EQ(missing, 0u);
    // At least the grab's claims, all made after the sign-in, unless the cap came first.
    EXPECT_GE(given.size(),
              std::min<size_t>(static_cast<size_t>(waiters), CookieTracer::max_traced));
    std::printf("cookies set and checked: %zu; cookie text %zu bytes\n", given.size(),
                cookies.size());

    // --- every text whole: each one a text the command writes when run alone -----
    const std::regex not_bound(
        to_utf8(gbk("提示：[0-9]+个活动尚未绑定大区，未领取，请先点击绑定大区\r\n")));
    std::set<Text> allowed = ref.texts;
    allowed.insert(login_reminder());
    allowed.insert(gbk("提示：12345678登录成功！\r\n"));
    allowed.insert(gbk("提示：活动大数据正在疯狂采集中，采集完成后方可操作\r\n"));
    allowed.insert(gbk("提示：活动大数据正在拼命处理中，勿重复点击\r\n"));
    const std::vector<Text> outputs = ui->outputs();
    int foreign = 0;
    for (const Text& t : outputs) {
        if (!allowed.count(t) && !std::regex_match(to_utf8(t), not_bound) && foreign++ < 10) {
            ADD_FAILURE() << "not a whole text of any command: \"" << readable(t) << "\"";
        }
    }
    EXPECT_EQ(foreign, 0);

    // The statistics of one press come as one block, never interleaved with another's.
    const std::set<Text> stats_texts(ref.stats_block.begin(), ref.stats_block.end());
    std::vector<Text> stats;
    for (const Text& t : outputs) {
        if (stats_texts.count(t)) {
            stats.push_back(t);
        }
    }
    ASSERT_FALSE(stats.empty());
    ASSERT_EQ(stats.size() % ref.stats_block.size(), 0u);
    for (size_t i = 0; i < stats.size(); ++i) {
        ASSERT_EQ(stats[i], ref.stats_block[i % ref.stats_block.size()]) << "text " << i;
    }

    // The lists hold one whole result each: the last collection's rows, the latest
    // record query's rows.
    EXPECT_EQ(ui->activity_rows(), ref.activities);
    EXPECT_EQ(ui->record_rows(), ref.records);
    // The cache grows by one whole collection with each (only a login empties it).
    const Activities activities = state->activities();
    ASSERT_FALSE(activities.names.empty());
    ASSERT_EQ(activities.names.size() % ref.activities.size(), 0u) << activities.names.size();
    ASSERT_EQ(activities.urls.size(), activities.names.size());
    for (size_t i = 0; i < activities.names.size(); ++i) {
        const ActivityRow& row = ref.activities[i % ref.activities.size()];
        EXPECT_EQ(activities.names[i], row.name) << i;
        EXPECT_EQ(activities.urls[i], row.link) << i;
    }
    std::set<Text> links;
    for (const ActivityRow& row : ref.activities) {
        links.insert(row.link);
    }
    for (const Text& url : ui->opened_urls()) {
        EXPECT_TRUE(links.count(url)) << readable(url);
    }
    EXPECT_TRUE(ui->clipboard().empty() || links.count(ui->clipboard()));
}

// A window whose thread is held, once, right after the record list was emptied
// by a press and before the press's handler runs: what a busy machine may do to
// the window thread at that moment.
class HeldWindow final : public ModelUi {
  public:
    HeldWindow() : ModelUi(WindowModel(split(region::area_names_text(), "\r\n"), 0, {}, true)) {}
    void pump_events() override {}
    void hold_after_next_clear(std::function<void()> hold) {
        std::lock_guard lock(hold_mutex_);
        hold_ = std::move(hold);
    }
    void clear_record_rows() override {
        ModelUi::clear_record_rows();
        std::function<void()> hold;
        {
            std::lock_guard lock(hold_mutex_);
            hold = std::exchange(hold_, nullptr);
        }
        if (hold) {
            hold();
        }
    }

  protected:
    void changed(UiChange) override {}

  private:
    std::mutex hold_mutex_;
    std::function<void()> hold_;
};

TEST(RecordQueryPresses, TheListHoldsOnlyTheLatestQuerysRows) {
    test::TempDataDir data("integration");
    test::SimFixture fixture;
    sim::Simulator& sim = fixture.sim();
    // The first query's answer waits until the second press has emptied the list.
    auto held = std::make_shared<std::atomic<bool>>(true);
    auto released = std::make_shared<std::latch>(1);
    const sim::Simulator::Handler records = sim.handler("support_host", "GET", "/cgi-bin/common");
    ASSERT_TRUE(records);
    sim.handle("support_host", "GET", "/cgi-bin/common",
               [records, held, released](const httplib::Request& req, httplib::Response& res) {
                   if (held->exchange(false)) {
                       released->wait();
                   }
                   records(req, res);
               });

    auto state = std::make_shared<AppState>();
    auto ui = std::make_shared<HeldWindow>();
    state->set_area_codes(split(region::area_codes_text(), "\r\n"));
    state->set_region_table(split(region::region_text(), "\r\n"));
    state->set_cookie_text(kSignedInCookies);
    state->set_uin("12345678");
    state->set_logged_in(true);
    Context context{state, ui};
    Commands commands;
    plug_queries(commands);

    commands.press(Command::record_query, context);  // its answer is held
    // The second press: between its emptying of the list and its handler, the first
    // query's answer arrives and its rows come in.
    ui->hold_after_next_clear([&] {
        released->count_down();
        for (int i = 0; i < 2000 && ui->record_row_count() == 0; ++i) {
            std::this_thread::sleep_for(10ms);
        }
    });
    commands.press(Command::record_query, context);
    ASSERT_TRUE(wait_idle(kIdleMs));
    const std::vector<RecordRow> rows = ui->model().records();

    // The rows of one query alone.
    commands.press(Command::record_query, context);
    ASSERT_TRUE(wait_idle(kIdleMs));
    const std::vector<RecordRow> alone = ui->model().records();
    ASSERT_FALSE(alone.empty());
    EXPECT_EQ(rows.size(), alone.size());
    EXPECT_EQ(rows, alone);
}

}  // namespace
}  // namespace velkor
