#include "claim/timed_grab.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/threads.h"
#include "script/csrf_token.h"
#include "sim/activities.h"
#include "tests/support/fake_ui.h"
#include "tests/support/raw_server.h"
#include "tests/support/sim_fixture.h"

namespace velkor {
namespace {

using namespace std::chrono_literals;
using platform::LocalTime;
using test::field_of;

std::string show(const std::optional<LocalTime>& t) {
    if (!t) {
        return "none";
    }
    char s[64];
    std::snprintf(s, sizeof s, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t->year, t->month, t->day,
                  t->hour, t->minute, t->second, t->millisecond);
    return s;
}

const Text kIncomplete = gbk("提示：参数设置不完整，请补充\r\n");
const Text kTitle = gbk("[抢领结果：]");

TEST(GrabTargetText, DatePartOfNowAndTheBoxesAsTyped) {
    const struct {
        LocalTime now;
        const char *hour, *minute, *second;
        const char* target;  // UTF-8
    } cases[] = {
        {{2016, 7, 15, 8, 5, 9}, "20", "0", "5", "2016年7月15日20时0分5秒"},
        // At midnight the clock text is the date alone.
        {{2016, 1, 1, 0, 0, 0}, "20", "0", "5", "2016年1月1日20时0分5秒"},
        {{2016, 7, 15, 20, 0, 0}, "20", "0", "5", "2016年7月15日20时0分5秒"},
        // Nothing trimmed or converted.
        {{2016, 7, 15, 12, 0, 0}, " 8", "08", "５", "2016年7月15日 8时08分５秒"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(to_utf8(grab_target_text(c.now, gbk(c.hour), gbk(c.minute), gbk(c.second))),
                  c.target);
    }
}

TEST(TargetSecond, TheOneSecondOfTheRestOfTheDayThatShowsTheTarget) {
    const LocalTime evening{2016, 7, 15, 19, 59, 0, 0};
    const struct {
        const char* what;
        LocalTime now;
        const char* target;  // UTF-8
        std::optional<LocalTime> second;
    } cases[] = {
        {"ahead", evening, "2016年7月15日20时0分5秒", LocalTime{2016, 7, 15, 20, 0, 5, 0}},
        {"the current second, part gone",
         {2016, 7, 15, 20, 0, 5, 500},
         "2016年7月15日20时0分5秒",
         LocalTime{2016, 7, 15, 20, 0, 5, 0}},
        {"the last second of the day", evening, "2016年7月15日23时59分59秒",
         LocalTime{2016, 7, 15, 23, 59, 59, 0}},
        {"hour 1, not 12",
         {2016, 7, 15, 0, 30, 0, 0},
         "2016年7月15日1时2分3秒",
         LocalTime{2016, 7, 15, 1, 2, 3, 0}},
        {"a zero second", evening, "2016年7月15日20时0分0秒", std::nullopt},
        {"a leading zero", {2016, 7, 15, 7, 0, 0, 0}, "2016年7月15日08时0分5秒", std::nullopt},
        {"a second with a leading zero", evening, "2016年7月15日20时0分05秒", std::nullopt},
        {"past", {2016, 7, 15, 20, 0, 6, 0}, "2016年7月15日20时0分5秒", std::nullopt},
        {"early tomorrow", {2016, 7, 15, 23, 59, 59, 0}, "2016年7月15日0时0分5秒", std::nullopt},
        {"hour 24", evening, "2016年7月15日24时0分5秒", std::nullopt},
        {"another date", evening, "2016年7月16日20时0分5秒", std::nullopt},
        {"no number", evening, "2016年7月15日x时0分5秒", std::nullopt},
        {"full-width digits", evening, "2016年7月15日２０时0分5秒", std::nullopt},
        {"a blank ahead", evening, "2016年7月15日 20时0分5秒", std::nullopt},
        {"minute 60", evening, "2016年7月15日20时60分5秒", std::nullopt},
        {"empty", evening, "", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto got = target_second(gbk(c.target), c.now);
        EXPECT_EQ(show(got), show(c.second)) << c.what;
    }
}

class TimedGrabTest : public ::testing::Test {
  protected:
    static constexpr LocalTime kEve{2016, 7, 15, 19, 59, 0, 0};
    static constexpr LocalTime kTarget{2016, 7, 15, 20, 0, 5, 0};

    void SetUp() override {
        state_->set_cookie_text("uin=o012345678; skey=@Vk7Q2xLp9");
        state_->set_uin("12345678");
        state_->set_csrf_token(csrf_token("@Vk7Q2xLp9"));
        state_->set_logged_in(true);
        const sim::SimActivity a = sim::listed_activities(fixture_.sim()).front();
        activity_ = std::to_string(a.activity_id);
        flow_ = std::to_string(a.submit_flows.at(0));
        plug_timed_grab(commands_);
        reset(kEve);
    }
    void TearDown() override {
        stop_.request_stop();
        ASSERT_TRUE(wait_idle(20000));
    }

    // A fresh window, clock and log; the boxes set for one thread at 20:00:05.
    void reset(const LocalTime& now) {
        ASSERT_TRUE(wait_idle(20000));
        ui_ = std::make_shared<testing::FakeUi>();
        clock_ = std::make_shared<platform::TestClock>(now);
        stop_ = std::stop_source();
        context_ = Context{state_, ui_, clock_, stop_.get_token()};
        fixture_.sim().clear_log();
        boxes("20", "0", "5", "1", activity_, flow_);
    }

    void boxes(const char* hour, const char* minute, const char* second, const char* threads,
               const Text& activity, const Text& flow) {
        ui_->set_edit_text(EditBox::hour, gbk(hour));
        ui_->set_edit_text(EditBox::minute, gbk(minute));
        ui_->set_edit_text(EditBox::second, gbk(second));
        ui_->set_edit_text(EditBox::threads, gbk(threads));
        ui_->set_edit_text(EditBox::activity_id, activity);
        ui_->set_edit_text(EditBox::flow_id, flow);
    }

    void press() { commands_.press(Command::timed_grab, context_); }

    std::vector<sim::LoggedRequest> claims() {
        std::vector<sim::LoggedRequest> out;
        for (const auto& r : fixture_.sim().requests()) {
            if (r.host == "game_ams_host") {
                out.push_back(r);
            }
        }
        return out;
    }

    std::vector<Text> claimed_lines(const std::string& flow, int times) const {
        std::vector<Text> out;
        for (int i = 0; i < times; ++i) {
            out.push_back(kTitle + gbk("领取成功") + "\r\n");
            out.push_back(kTitle + "flow " + flow + " claimed\r\n");
        }
        return out;
    }

    test::SimFixture fixture_;
    std::shared_ptr<AppState> state_ = std::make_shared<AppState>();
    std::shared_ptr<testing::FakeUi> ui_;
    std::shared_ptr<platform::TestClock> clock_;
    std::stop_source stop_;
    Context context_;
    Commands commands_;
    std::string activity_, flow_;
};

TEST_F(TimedGrabTest, IncompleteSettingsGiveTheMessageAndStartNothing) {
    const struct {
        const char* what;
        EditBox emptied;
        bool cf;
        bool incomplete;
    } cases[] = {
        {"hour", EditBox::hour, true, true},
        {"minute", EditBox::minute, true, true},
        {"second", EditBox::second, true, true},
        {"threads", EditBox::threads, true, true},
        {"activity", EditBox::activity_id, true, true},
        {"flow, CF", EditBox::flow_id, true, true},
        {"activity, QVIP", EditBox::activity_id, false, true},
        {"flow, QVIP", EditBox::flow_id, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        reset(kEve);
        ui_->set_edit_text(EditBox::threads, "2");
        ui_->set_edit_text(c.emptied, "");
        ui_->set_cf_option(c.cf);
        press();
        if (c.incomplete) {
            EXPECT_EQ(ui_->outputs(), std::vector<Text>{kIncomplete});
            EXPECT_EQ(running_workers(), 0);
        } else {
            EXPECT_TRUE(ui_->outputs().empty());
            EXPECT_TRUE(clock_->wait_for_sleepers(2, 20s));
            stop_.request_stop();
        }
    }
}

TEST_F(TimedGrabTest, TheClaimLeavesInTheFirstMillisecondOfTheTargetSecond) {
    reset({2016, 7, 15, 20, 0, 4, 999});
    press();
    ASSERT_TRUE(clock_->wait_for_sleepers(1, 20s));
    EXPECT_TRUE(claims().empty());
    EXPECT_TRUE(ui_->outputs().empty());

    clock_->advance(1ms);
    ASSERT_TRUE(wait_idle(20000));
    const auto sent = claims();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].method, "POST");
    EXPECT_EQ(field_of(sent[0].target, "iActivityId"), activity_);  // URL and body alike
    EXPECT_EQ(field_of(sent[0].body, "iActivityId"), activity_);
    EXPECT_EQ(field_of(sent[0].body, "iFlowId"), flow_);
    EXPECT_EQ(field_of(sent[0].body, "xhrPostKey"), "xhr_" + timestamp_text(kTarget));
    EXPECT_EQ(ui_->outputs(), claimed_lines(flow_, 1));
}

TEST_F(TimedGrabTest, ATargetNoSecondShowsEndsTheWaitersAtOnce) {
    const struct {
        const char* what;
        LocalTime now;
        const char *hour, *minute, *second;
    } cases[] = {
        {"a zero second", kEve, "20", "0", "0"},
        {"a leading zero", {2016, 7, 15, 7, 0, 0, 0}, "08", "0", "5"},
        {"past", {2016, 7, 15, 20, 0, 6, 0}, "20", "0", "5"},
        {"tomorrow", {2016, 7, 15, 23, 59, 59, 0}, "0", "0", "5"},
        {"no number", kEve, "x", "0", "5"},
        {"full-width", kEve, "２０", "0", "5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        reset(c.now);
        boxes(c.hour, c.minute, c.second, "2", activity_, flow_);
        press();
        // The clock never moves: a waiter that slept or polled for the target would
        // keep this from ever becoming idle.
        ASSERT_TRUE(wait_idle(20000));
        EXPECT_EQ(clock_->sleepers(), 0);
        EXPECT_TRUE(claims().empty());
        EXPECT_TRUE(ui_->outputs().empty());
    }
}

TEST_F(TimedGrabTest, OneWaiterAndOneClaimPerThreadOfTheCount) {
    const struct {
        const char* threads;  // UTF-8
        int n;
    } cases[] = {
        {"0", 0}, {"3", 3}, {"３", 3}, {"2个", 2}, {"-1", 0}, {"abc", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.threads);
        reset(kEve);
        ui_->set_edit_text(EditBox::threads, gbk(c.threads));
        press();
        ASSERT_TRUE(clock_->wait_for_sleepers(c.n, 20s));
        EXPECT_EQ(running_workers(), c.n);
        clock_->set(kTarget);
        ASSERT_TRUE(wait_idle(20000));
        EXPECT_EQ(claims().size(), static_cast<size_t>(c.n));
        EXPECT_EQ(ui_->outputs(), claimed_lines(flow_, c.n));
    }
}

TEST_F(TimedGrabTest, ACountOverTheBoundIsCutToItWithALine) {
    for (const char* threads : {"65", "99999999999999999999999"}) {
        SCOPED_TRACE(threads);
        reset(kEve);
        ui_->set_edit_text(EditBox::threads, threads);
        press();
        EXPECT_EQ(ui_->outputs(), std::vector<Text>{gbk("提示：线程数过多，已按64个线程定时\r\n")});
        ASSERT_TRUE(clock_->wait_for_sleepers(max_grab_threads, 20s));
        EXPECT_EQ(running_workers(), max_grab_threads);
        stop_.request_stop();
    }
}

TEST_F(TimedGrabTest, TheFlowBoxIsSentAsItStandsWhenQvipIsSelected) {
    const struct {
        const char* flow;
        const char* line;  // UTF-8
    } cases[] = {
        {"", "对不起，您不满足领取条件"},
        {"300001", "领取成功"},  // the box is hidden but still read
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flow);
        reset(kEve);
        ui_->set_cf_option(false);
        ui_->set_edit_text(EditBox::flow_id, c.flow);
        press();
        ASSERT_TRUE(clock_->wait_for_sleepers(1, 20s));
        clock_->set(kTarget);
        ASSERT_TRUE(wait_idle(20000));
        const auto sent = claims();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_NE(sent[0].body.find("&iFlowId=" + std::string(c.flow) + "&g_tk="),
                  std::string::npos)
            << sent[0].body;
        ASSERT_FALSE(ui_->outputs().empty());
        EXPECT_EQ(ui_->outputs().front(), kTitle + gbk(c.line) + "\r\n");
    }
}

TEST_F(TimedGrabTest, TheIdsAreReadAtTheMomentOfTheClaim) {
    const sim::SimActivity other = sim::listed_activities(fixture_.sim()).at(3);
    const std::string other_id = std::to_string(other.activity_id);
    const std::string other_flow = std::to_string(other.submit_flows.at(0));
    ASSERT_NE(other_id, activity_);
    press();
    ASSERT_TRUE(clock_->wait_for_sleepers(1, 20s));
    ui_->set_edit_text(EditBox::activity_id, other_id);
    ui_->set_edit_text(EditBox::flow_id, other_flow);
    clock_->set(kTarget);
    ASSERT_TRUE(wait_idle(20000));

    const auto sent = claims();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(field_of(sent[0].target, "iActivityId"), other_id);
    EXPECT_EQ(field_of(sent[0].body, "iActivityId"), other_id);
    EXPECT_EQ(field_of(sent[0].body, "iFlowId"), other_flow);
    EXPECT_EQ(ui_->outputs(), claimed_lines(other_flow, 1));
}

TEST_F(TimedGrabTest, ClosingTheWindowEndsSleepingWaitersWithoutAClaim) {
    ui_->set_edit_text(EditBox::threads, "3");
    press();
    ASSERT_TRUE(clock_->wait_for_sleepers(3, 20s));
    stop_.request_stop();
    ASSERT_TRUE(wait_idle(20000));
    clock_->set(kTarget);
    EXPECT_TRUE(claims().empty());
    EXPECT_TRUE(ui_->outputs().empty());
}

TEST_F(TimedGrabTest, TheWallClockSetWhileTheWaiterSleeps) {
    // Set past the target second: the waiter wakes, sees another second and ends.
    press();
    ASSERT_TRUE(clock_->wait_for_sleepers(1, 20s));
    clock_->set({2016, 7, 15, 20, 0, 6, 0});
    ASSERT_TRUE(wait_idle(20000));
    EXPECT_TRUE(claims().empty());
    EXPECT_TRUE(ui_->outputs().empty());

    // Set back: the waiter sleeps on and claims when the second comes.
    reset(kEve);
    press();
    ASSERT_TRUE(clock_->wait_for_sleepers(1, 20s));
    clock_->set({2016, 7, 15, 18, 0, 0, 0});
    ASSERT_TRUE(clock_->wait_for_sleepers(1, 20s));
    clock_->set(kTarget);
    ASSERT_TRUE(wait_idle(20000));
    EXPECT_EQ(claims().size(), 1u);
    EXPECT_EQ(ui_->outputs(), claimed_lines(flow_, 1));
}

}  // namespace
}  // namespace velkor
