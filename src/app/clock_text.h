#pragma once
// The clock of the timed-grab panel, and the text the timed grab waits for.
#include "platform/clock.h"
#include "web/text.h"

namespace velkor {

// Year年month月day日, then hour时minute分second秒 with trailing zero parts dropped:
// "2016年7月15日15时" at 15:00:00, "2016年7月15日" at midnight. No leading zeros.
Text clock_text(const platform::LocalTime& time);

// The label text: "现行时间：" + clock_text.
Text clock_label_text(const platform::LocalTime& time);

}  // namespace velkor
