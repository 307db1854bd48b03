#pragma once
// The timed grab: several claims of one activity flow, each leaving at the first
// moment the clock shows the chosen second.
#include <optional>

#include "app/commands.h"

namespace velkor {

// More waiters than this are not started: a press asking for more is cut to it
// (with a line saying so) rather than risking a program that cannot make threads.
inline constexpr int max_grab_threads = 64;

// The clock text a waiter waits for: the date part of `now`'s clock text, then the
// three boxes as typed with 时, 分 and 秒.
Text grab_target_text(const platform::LocalTime& now, const Text& hour, const Text& minute,
                      const Text& second);

// The start of the one second, from `now`'s second to the end of its day, whose
// clock text equals `target` byte for byte; none when no second of the rest of the
// day shows it (a zero second, a leading zero, a past time, a text that is no time).
std::optional<platform::LocalTime> target_second(const Text& target,
                                                 const platform::LocalTime& now);

// Press of 按钮_活动抢领1: the completeness test, then one waiter per thread.
void grab_press(Context& context);

// Finds its second, sleeps until it begins, checks the clock shows it and claims.
// Ends without a claim when there is no such second, the clock was set past it, or
// the main window closed meanwhile.
void grab_waiter(Context context);

void plug_timed_grab(Commands& commands);

}  // namespace velkor
