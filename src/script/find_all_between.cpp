#include "script/find_all_between.h"

#include "script/regex_object.h"

namespace velkor {

Text regex_escape(std::string_view marker) {
    static const char* const kSpecial[][2] = {
        {"?", "\\?"}, {"*", "\\*"}, {"+", "\\+"}, {"[", "\\["}, {"]", "\\]"},
        {"(", "\\("}, {")", "\\)"}, {"{", "\\{"}, {"}", "\\}"},
    };
    Text out(marker);
    for (const auto& pair : kSpecial) {
        out = replace(out, pair[0], pair[1]);
    }
    static const Text placeholder = gbk("#引号");
    out = replace(out, placeholder, "\"");
    return replace(out, "\r\n", "\\n");
}

int find_all_between(std::string_view text, std::string_view left, std::string_view right,
                     int max_len, std::string_view prefix, std::string_view suffix, bool add_left,
                     bool add_right, TextList& out) {
    out.clear();
    regex_object re;
    const Text pattern = regex_escape(left) + "([\\s\\S]*?)" + regex_escape(right);
    re.create(pattern, text);
    const int count = re.match_count();
    for (int i = 1; i <= count; ++i) {
        Text found = re.submatch_text(i, 1);
        if (max_len > 0 && found.size() > static_cast<std::size_t>(max_len)) {
            continue;
        }
        Text entry;
        if (add_left) {
            entry += left;
        }
        entry += prefix;
        entry += found;
        entry += suffix;
        if (add_right) {
            entry += right;
        }
        out.push_back(std::move(entry));
    }
    return static_cast<int>(out.size());
}

}  // namespace velkor
