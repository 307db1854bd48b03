#include "script/find_all_between.h"

#include "script/regex_object.h"

namespace velkor {

Text regex_escape(std::string_view marker) {
    // Characters as the pattern engine reads them: a lead byte 81..FE opens a character only
    // with a trail byte 40..FE (not 7F) behind it, and the engine takes such a character as
    // one literal. Any other byte of 80 or more (80, the euro sign; FF; a lead without its
    // trail) stands alone there but would open a character to the text functions, hiding
    // the byte behind it, and an escape put behind it would become its trail: it is written
    // \xHH instead.
    static constexpr std::string_view kSpecial = "?*+[](){}";
    static constexpr char kHex[] = "0123456789ABCDEF";
    Text out;
    out.reserve(marker.size() + 8);
    for (std::size_t i = 0; i < marker.size(); ++i) {
        const auto c = static_cast<unsigned char>(marker[i]);
        const auto next = i + 1 < marker.size() ? static_cast<unsigned char>(marker[i + 1]) : 0;
        if (c >= 0x81 && c <= 0xFE && next >= 0x40 && next <= 0xFE && next != 0x7F) {
            out.append(marker.substr(i, 2));
            ++i;
        } else if (c >= 0x80) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        } else {
            if (kSpecial.find(marker[i]) != std::string_view::npos) {
                out += '\\';
            }
            out += marker[i];
        }
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
