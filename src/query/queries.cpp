#include "query/queries.h"

#include <atomic>
#include <mutex>

#include "app/threads.h"
#include "query/records.h"
#include "query/stats.h"
#include "region/role.h"
#include "script/random_text.h"

namespace velkor {
namespace {

// Record queries: only the latest press fills the list, so a slow answer to an
// earlier press cannot add its rows under the later press's.
std::atomic<long long> latest_record_query{0};
std::mutex record_rows_turn;

// Statistics of two presses never interleave their lines.
std::mutex stats_turn;

void record_query_run(Context context, long long press, int area_index) {
    AppState& state = *context.state;
    Ui& ui = *context.ui;
    const TextList items = ui.area_items();
    const Text name =
        area_index >= 0 && static_cast<size_t>(area_index) < items.size() ? items[area_index] : "";
    const HttpArgs request =
        record_query(script_random_text(), region::area_code_at(state.area_codes(), area_index),
                     name, region::region_code(name, state.region_table()));
    const std::vector<RecordRow> rows = record_rows(send_request(request, state).body);
    std::lock_guard turn(record_rows_turn);
    if (press != latest_record_query) {
        return;
    }
    // This press emptied the list before it counted itself the latest; rows found
    // now came from an earlier query that was still the latest at that moment.
    if (ui.record_row_count() > 0) {
        ui.clear_record_rows();
    }
    for (const RecordRow& row : rows) {
        ui.add_record_row(row);
    }
}

}  // namespace

void record_query_press(Context& context) {
    context.ui->set_window_width(805);
    const long long press = ++latest_record_query;
    const int index = context.ui->selected_area_index();
    start_thread("record query",
                 [context, press, index] { record_query_run(context, press, index); });
}

void stats_query_press(Context& context) {
    start_thread("statistics", [context] {
        std::lock_guard turn(stats_turn);
        const TextList lines = stats_lines(send_request(stats_query(), *context.state).body);
        for (const Text& line : lines) {
            context.ui->append_output(line);
        }
    });
}

void plug_queries(Commands& commands) {
    commands.plug(Command::record_query, record_query_press);
    commands.plug(Command::stats_query, stats_query_press);
}

}  // namespace velkor
