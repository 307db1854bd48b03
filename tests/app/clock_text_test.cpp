#include "app/clock_text.h"

#include <gtest/gtest.h>

namespace velkor {
namespace {

platform::LocalTime at(int y, int mo, int d, int h, int mi, int s) {
    platform::LocalTime t;
    t.year = y;
    t.month = mo;
    t.day = d;
    t.hour = h;
    t.minute = mi;
    t.second = s;
    return t;
}

TEST(ClockText, DropsTrailingZeroPartsAndLeadingZeros) {
    struct Case {
        platform::LocalTime time;
        const char* expected;
    };
    const Case cases[] = {
        {at(2016, 7, 15, 15, 0, 0), "2016年7月15日15时"},
        {at(2016, 7, 15, 15, 3, 0), "2016年7月15日15时3分"},
        {at(2016, 7, 15, 15, 0, 7), "2016年7月15日15时0分7秒"},
        {at(2016, 7, 15, 0, 0, 0), "2016年7月15日"},
        // A zero hour is written once anything below it is not zero.
        {at(2016, 7, 15, 0, 0, 1), "2016年7月15日0时0分1秒"},
        {at(2016, 7, 15, 0, 5, 0), "2016年7月15日0时5分"},
        {at(2016, 12, 31, 23, 59, 59), "2016年12月31日23时59分59秒"},
        {at(2024, 1, 1, 9, 8, 0), "2024年1月1日9时8分"},
        {at(2024, 2, 9, 10, 10, 10), "2024年2月9日10时10分10秒"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(to_utf8(clock_text(c.time)), c.expected) << c.expected;
    }
}

TEST(ClockText, IsGbkAndLabelCarriesItsPrefix) {
    const auto t = at(2016, 7, 15, 15, 0, 0);
    // 年 in GBK is C4 EA; the text is byte-for-byte the GBK form.
    EXPECT_EQ(clock_text(t), gbk("2016年7月15日15时"));
    EXPECT_NE(clock_text(t).find("\xC4\xEA"), std::string::npos);
    EXPECT_EQ(to_utf8(clock_label_text(t)), "现行时间：2016年7月15日15时");
}

}  // namespace
}  // namespace velkor
