#include "query/queries.h"

#include <mutex>

#include "app/threads.h"
#include "query/records.h"
#include "query/stats.h"
#include "region/role.h"
#include "script/random_text.h"

namespace velkor {
namespace {

// Record queries: only the latest press fills the list, so a slow answer to an
// earlier press cannot add its rows under the later press's. A press takes its
// number under the same lock as the rows are added: an earlier answer is then
// either wholly added before the press empties the list, or not at all.
long long latest_record_query = 0;
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
    const std::vector<RecordRow> rows = record_rows(answer_of(send_request(request, state)));
    std::lock_guard turn(record_rows_turn);
    if (press != latest_record_query) {
        return;
    }
    for (const RecordRow& row : rows) {
        ui.add_record_row(row);
    }
}

}  // namespace

void record_query_press(Context& context) {
    context.ui->set_window_width(805);
    long long press;
    {
        std::lock_guard turn(record_rows_turn);
        press = ++latest_record_query;
        // The guard emptied the list already, but an earlier answer may have been
        // adding rows meanwhile.
        context.ui->clear_record_rows();
    }
    const int index = context.ui->selected_area_index();
    start_thread("record query",
                 [context, press, index] { record_query_run(context, press, index); });
}

void stats_query_press(Context& context) {
    start_thread("statistics", [context] {
        std::lock_guard turn(stats_turn);
        const TextList lines = stats_lines(answer_of(send_request(stats_query(), *context.state)));
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
