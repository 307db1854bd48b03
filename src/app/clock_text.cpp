#include "app/clock_text.h"

#include <string>

namespace velkor {

Text clock_text(const platform::LocalTime& t) {
    std::string s = std::to_string(t.year) + "年" + std::to_string(t.month) + "月" +
                    std::to_string(t.day) + "日";
    if (t.second != 0) {
        s += std::to_string(t.hour) + "时" + std::to_string(t.minute) + "分" +
             std::to_string(t.second) + "秒";
    } else if (t.minute != 0) {
        s += std::to_string(t.hour) + "时" + std::to_string(t.minute) + "分";
    } else if (t.hour != 0) {
        s += std::to_string(t.hour) + "时";
    }
    return gbk(s);
}

Text clock_label_text(const platform::LocalTime& time) {
    return gbk("现行时间：") + clock_text(time);
}

}  // namespace velkor
