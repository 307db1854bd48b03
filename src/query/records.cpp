#include "query/records.h"

#include "claim/collect_between.h"
#include "web/endpoints.h"

namespace velkor {
namespace {

// One "key=value&" piece of the command, encoded once more for the outer query.
Text piece(std::string_view value, std::string_view tail, bool keep_unreserved) {
    Text raw = "=";
    raw += value;
    raw += tail;
    return url_encode(raw, keep_unreserved, true);
}

}  // namespace

HttpArgs record_query(std::string_view random_text, std::string_view area_code,
                      std::string_view area_name, std::string_view region_code) {
    const Text host = endpoints::get("support_host");
    const Text server_name = left(area_name, 8);

    HttpArgs args;
    args.url = "http://" + host + "/cgi-bin/common?rand=" + Text(random_text) +
               "&command=command%3DC00006%26fromtype%3Dkfweb%26fromtoolid%3Dkfweb514"
               "%26type%3DgetCFSpend%26area" +
               piece(area_code, "&", true) + "server_id" + piece(region_code, "&", true) +
               "server_name" + piece(server_name, "&", false) + "area_id" +
               piece(area_code, "&", true) + "area_name" + piece(area_name, "", false) + "%0D%0A";
    args.method = HttpMethod::get;
    args.merge = true;
    args.header_text = "Referer: http://" + host + "/game/consume_records.html?code=cf" + "\r\n" +
                       "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
    return args;
}

std::vector<RecordRow> record_rows(std::string_view answer_bytes) {
    const Text answer = url_decode(answer_bytes, true);
    TextList records;
    collect_between(answer, "|", "|", records);
    std::vector<RecordRow> rows;
    for (const Text& record : records) {
        TextList fields = split(record, "#");
        if (fields.size() < 4) {
            continue;
        }
        rows.push_back({std::move(fields[1]), std::move(fields[2]), std::move(fields[3])});
    }
    return rows;
}

}  // namespace velkor
