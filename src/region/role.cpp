#include "region/role.h"

#include "web/endpoints.h"

namespace velkor::region {
namespace {

HttpArgs query_with_callback(std::string_view area_code, std::string_view callback) {
    HttpArgs args;
    args.url = "http://" + endpoints::get("game_apps_host") +
               "/comm-cgi-bin/content_admin/activity_center/query_role.cgi?game=cf&area=" +
               Text(area_code) + "&callback=" + Text(callback) + "&sServiceDepartment=group_f";
    args.method = HttpMethod::get;
    args.merge = true;
    return args;
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

HttpArgs role_query(std::string_view area_code) {
    return query_with_callback(area_code, "14687456405913981");
}

HttpArgs signup_role_query(std::string_view area_code) {
    return query_with_callback(area_code, "14688557963547031");
}

Text role_of(std::string_view answer_bytes, std::string_view uin) {
    return text_between(url_decode(answer_bytes, true), Text(uin) + " ", "|");
}

Text md5str_of(std::string_view answer_bytes) {
    return text_between(answer_bytes, "md5str:'", "'");
}

Text region_code(std::string_view display_name, const TextList& region_table) {
    const Text key = left(display_name, 8);
    for (const Text& line : region_table) {
        if (find(line, key) == -1) {
            continue;
        }
        size_t start = line.size();
        while (start > 0 && is_digit(line[start - 1])) {
            --start;
        }
        return line.substr(start);
    }
    return {};
}

Text area_code_at(const TextList& area_codes, int selected_index) {
    if (selected_index < 0 || static_cast<size_t>(selected_index) >= area_codes.size()) {
        return {};
    }
    return area_codes[static_cast<size_t>(selected_index)];
}

}  // namespace velkor::region
