// One hostile answer given to every reader of the services' answers: the role query
// (role, md5str), the activity-management and membership answers, an activity page's
// ids, the sign-up answer, the claim records, the player statistics page and the
// activity list. Each reader's result is a piece of the answer (or of its decoded form)
// shaped as its reader promises.
//
// Input: the answer. The account number, activity id and area name the readers are given
// are read from the answer itself, as the program takes them from earlier answers.
#include <cstdint>
#include <string>
#include <string_view>

#include "claim/collection.h"
#include "claim/forms.h"
#include "fuzz_input.h"
#include "query/records.h"
#include "query/stats.h"
#include "region/role.h"
#include "region/tables.h"
#include "web/text.h"

namespace {

using velkor::Text;
using velkor::TextList;
using velkor::fuzz::contains;

bool no_nul(std::string_view text) {
    return !contains(text, std::string_view("\0", 1));
}

// The piece lies in the text and holds no closing marker at a character start.
bool closed_piece(std::string_view piece, std::string_view text, std::string_view close) {
    return contains(text, piece) && velkor::find(piece, close) < 0;
}

void check_role(std::string_view answer) {
    const Text decoded = velkor::url_decode(answer, true);
    const Text uin = velkor::text_between(decoded, "uin:'", "'");
    const Text role = velkor::region::role_of(answer, uin);
    FUZZ_CHECK(closed_piece(role, decoded, "|"));
    FUZZ_CHECK(no_nul(role));
    FUZZ_CHECK(closed_piece(velkor::region::role_of(answer, "10001"), decoded, "|"));
    FUZZ_CHECK(closed_piece(velkor::region::md5str_of(answer), answer, "'"));
}

void check_region(std::string_view answer) {
    // The area name as the list shows it against the real table, and a hostile table.
    const TextList table = velkor::split(velkor::region::region_text(), "\r\n");
    for (const TextList& lines : {table, velkor::split(answer, "\r\n")}) {
        const Text code = velkor::region::region_code(answer, lines);
        for (const char c : code) {
            FUZZ_CHECK(c >= '0' && c <= '9');
        }
        bool ends_a_line = code.empty();
        for (const Text& line : lines) {
            ends_a_line = ends_a_line || velkor::ends_with(line, code);
        }
        FUZZ_CHECK(ends_a_line);
    }
}

void check_forms(std::string_view answer) {
    const Text unescaped = velkor::unicode_unescape(answer);
    const velkor::AmsMessages m = velkor::ams_messages(answer);
    FUZZ_CHECK(closed_piece(m.msg, unescaped, "\""));
    FUZZ_CHECK(closed_piece(m.s_msg, unescaped, "\""));
    FUZZ_CHECK(no_nul(m.msg) && no_nul(m.s_msg));
    FUZZ_CHECK(closed_piece(velkor::vip_message(answer), answer, "\""));
    FUZZ_CHECK(closed_piece(velkor::vip_id_of(answer), answer, "\","));
    const Text activity = velkor::activity_id_of(answer);
    FUZZ_CHECK(closed_piece(activity, answer, ", "));
    FUZZ_CHECK(closed_piece(velkor::init_flow_id_of(answer, activity), answer, ");"));
    const bool signed_up = velkor::signup_succeeded(answer);
    FUZZ_CHECK(!signed_up || contains(unescaped, velkor::gbk("报名成功")));
}

void check_records(std::string_view answer) {
    const Text decoded = velkor::url_decode(answer, true);
    for (const velkor::RecordRow& row : velkor::record_rows(answer)) {
        for (const Text* field : {&row.name, &row.price, &row.time}) {
            FUZZ_CHECK(closed_piece(*field, decoded, "#"));
            FUZZ_CHECK(velkor::find(*field, "|") < 0);
        }
    }
}

void check_stats(std::string_view answer) {
    const TextList lines = velkor::stats_lines(answer);
    // The overall block (a heading and eight lines) or none, then the day's two texts.
    FUZZ_CHECK(lines.size() == 2 || lines.size() == 11);
    for (const Text& line : lines) {
        FUZZ_CHECK(no_nul(line));
    }
    FUZZ_CHECK(lines[lines.size() - 2] == velkor::gbk("今日战绩："));
    FUZZ_CHECK(velkor::ends_with(lines.back(), "\r\n"));
}

void check_activities(std::string_view answer) {
    const auto rows = velkor::activity_rows_of(answer);
    if (!rows) {
        return;
    }
    const Text unescaped = velkor::unicode_unescape(answer);
    FUZZ_CHECK(rows->size() <= unescaped.size());
    for (const velkor::ActivityRow& row : *rows) {
        FUZZ_CHECK(row.link.empty() || row.link.size() > 29);
        for (const Text* field : {&row.name, &row.start, &row.end, &row.link}) {
            FUZZ_CHECK(contains(unescaped, *field));
            FUZZ_CHECK(no_nul(*field));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view answer(reinterpret_cast<const char*>(data), size);
    check_role(answer);
    check_region(answer);
    check_forms(answer);
    check_records(answer);
    check_stats(answer);
    check_activities(answer);
    return 0;
}
