#include "platform/clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace velkor::platform {
namespace {

using namespace std::chrono_literals;

bool same(const LocalTime& a, const LocalTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
           a.minute == b.minute && a.second == b.second && a.millisecond == b.millisecond;
}

TEST(LocalMs, CalendarLineAndBack) {
    const struct {
        LocalTime t;
        long long ms;
    } cases[] = {
        {{1970, 1, 1, 0, 0, 0, 0}, 0},
        {{1970, 1, 1, 8, 0, 0, 1}, 28800001},
        {{2016, 7, 15, 20, 0, 5, 0}, 1468612805000},
        {{2000, 2, 29, 23, 59, 59, 999}, 951868799999},
        {{1969, 12, 31, 23, 59, 59, 999}, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(local_ms(c.t), c.ms);
        EXPECT_TRUE(same(local_time_at(c.ms), c.t)) << c.ms;
    }
    // Fields past their range carry over as the calendar does.
    EXPECT_EQ(local_ms({2016, 13, 1, 0, 0, 0, 0}), local_ms({2017, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(local_ms({2016, 7, 15, 23, 59, 60, 0}), local_ms({2016, 7, 16, 0, 0, 0, 0}));
}

TEST(TestClock, SleepersWakeWhenTheTimeReachesTheirTarget) {
    TestClock clock({2016, 7, 15, 20, 0, 4, 990});
    std::atomic<bool> woke{false};
    std::thread sleeper([&] {
        EXPECT_TRUE(clock.sleep_until({2016, 7, 15, 20, 0, 5, 0}));
        woke = true;
    });
    ASSERT_TRUE(clock.wait_for_sleepers(1, 5s));
    clock.advance(9ms);  // 4.999: not yet
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(woke);
    EXPECT_EQ(clock.sleepers(), 1);
    clock.advance(1ms);
    sleeper.join();
    EXPECT_TRUE(woke);
    EXPECT_TRUE(same(clock.now(), {2016, 7, 15, 20, 0, 5, 0}));
}

TEST(TestClock, SleepForCountsFromTheTimeOfTheCallAndAPastTargetReturnsAtOnce) {
    TestClock clock({2016, 7, 15, 0, 0, 0, 0});
    EXPECT_TRUE(clock.sleep_until({2016, 7, 14, 23, 0, 0, 0}));
    std::thread sleeper([&] { EXPECT_TRUE(clock.sleep_for(100ms)); });
    ASSERT_TRUE(clock.wait_for_sleepers(1, 5s));
    clock.set({2016, 7, 15, 0, 0, 0, 100});
    sleeper.join();
}

TEST(Clocks, AStopRequestEndsTheWaitWithoutReachingTheTarget) {
    TestClock test_clock({2016, 7, 15, 0, 0, 0, 0});
    SystemClock system_clock;
    LocalTime far = system_clock.now();
    far.year += 1;
    for (Clock* clock : {static_cast<Clock*>(&test_clock), static_cast<Clock*>(&system_clock)}) {
        std::stop_source stop;
        std::thread sleeper([&] {
            EXPECT_FALSE(clock->sleep_until(far, stop.get_token()));
            EXPECT_FALSE(clock->sleep_for(24h, stop.get_token()));
        });
        std::this_thread::sleep_for(20ms);
        stop.request_stop();
        sleeper.join();
    }
}

TEST(SystemClock, ReturnsNoEarlierThanTheTarget) {
    SystemClock clock;
    const LocalTime target = local_time_at(local_ms(clock.now()) + 30);
    ASSERT_TRUE(clock.sleep_until(target));
    EXPECT_GE(local_ms(clock.now()), local_ms(target));
}

TEST(ClockInstance, ATestClockStandsInForTheProcessAndTheSystemClockComesBack) {
    Clock::set_instance(std::make_shared<TestClock>(LocalTime{2016, 7, 15, 1, 2, 3, 4}));
    EXPECT_TRUE(same(local_now(), {2016, 7, 15, 1, 2, 3, 4}));
    Clock::set_instance({});
    EXPECT_GT(local_now().year, 2020);
}

}  // namespace
}  // namespace velkor::platform
