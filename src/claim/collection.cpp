#include "claim/collection.h"

#include <mutex>

#include "app/threads.h"
#include "claim/collect_between.h"
#include "platform/profile.h"
#include "web/endpoints.h"
#include "web/http.h"

namespace velkor {
namespace {

// Serialises whole collections (and the cache deletion of a login) so that two of
// them never interleave their rows, cache writes or list updates.
std::mutex& collection_mutex() {
    static std::mutex m;
    return m;
}

const Text& names_section() {
    static const Text k = gbk("活动名");
    return k;
}
const Text& names_key() {
    static const Text k = gbk("活动");
    return k;
}
const Text& name_separator() {
    static const Text k = gbk("丨");
    return k;
}

}  // namespace

void cache_loader(AppState& state) {
    // One reading of the file for every lookup: the cache grows with each
    // collection, and a reading per activity would make loading quadratic.
    const platform::profile_document cache = platform::read_profile_document(activity_cache_path());
    TextList names = split(cache.get(names_section(), names_key()).value_or(""), name_separator());
    TextList urls;
    urls.reserve(names.size());
    for (const Text& name : names) {
        urls.push_back(cache.get(name, "url").value_or(""));
    }
    state.set_activities(std::move(names), std::move(urls));
}

std::string activity_cache_path() {
    return platform::data_file("tolvex.txt");
}

bool is_partner_link(std::string_view link) {
    for (const std::string& name : endpoints::fragment_names()) {
        const Text fragment = endpoints::get(name);
        // An empty fragment would match every link.
        if (!fragment.empty() && find(link, fragment, 1, true) > 0) {
            return true;
        }
    }
    return false;
}

HttpArgs activity_list_request() {
    HttpArgs args;
    args.url = "http://" + endpoints::get("activity_center_host") + "/actcenter/queryActList";
    args.method = HttpMethod::post;
    args.body_text = "game=cf&index=0&count=50&type=2";
    return args;
}

std::optional<std::vector<ActivityRow>> activity_rows_of(std::string_view answer) {
    TextList pieces;
    collect_between(unicode_unescape(answer), "fid=", "\"},{\"", pieces);
    if (pieces.size() < 4) {
        return std::nullopt;
    }
    std::vector<ActivityRow> rows;
    for (const Text& piece : pieces) {
        // The link is everything behind the last field's marker; without the marker
        // the position is -1 and the link is the piece less its first four bytes.
        const int length = static_cast<int>(piece.size());
        const int at = find(piece, "url\":\"", 1, false);
        const Text link = right(piece, length - at - 5);
        if (link.size() <= 24) {
            continue;
        }
        rows.push_back({text_between(piece, "name\":\"", "\",\"once"),
                        text_between(piece, "starttime\":\"", "\",\"szHoldName"),
                        text_between(piece, "endtime\":\"", "\",\"eventtime"),
                        link.size() > 29 ? link : Text()});
    }
    return rows;
}

void collect_press(Context& context) {
    context.ui->set_window_width(805);
    start_thread("collection", [context] { collection_worker(context); });
    context.ui->append_output(gbk("提示：活动大数据正在拼命处理中，勿重复点击\r\n"));
}

void collect_afresh(const Context& context) {
    start_thread("collection", [context] { collection_worker(context, /*fresh_cache=*/true); });
}

void collection_worker(Context context, bool fresh_cache) {
    std::unique_lock lock(collection_mutex());
    Ui& ui = *context.ui;
    if (fresh_cache) {
        platform::delete_file(activity_cache_path());
    }

    const auto rows = activity_rows_of(answer_of(http_request(activity_list_request())));
    ui.clear_activity_rows();
    if (!rows) {
        ui.append_output(gbk("提示：出错"));
        return;
    }
    for (const ActivityRow& row : *rows) {
        ui.add_activity_row(row);
    }

    // Every cached activity of this collection goes into the file in one atomic
    // rewrite: the same contents as row-by-row writes, one disk sync instead of two
    // per activity, and a crash leaves the cache as it was before the collection.
    platform::update_profile(activity_cache_path(), [&](platform::profile_document& cache) {
        bool changed = false;
        for (const ActivityRow& row : *rows) {
            if (is_partner_link(row.link)) {
                continue;
            }
            cache.set(
                names_section(), names_key(),
                cache.get(names_section(), names_key()).value_or("") + row.name + name_separator());
            cache.set(row.name, "url", row.link);
            changed = true;
        }
        return changed;  // nothing to cache: the file is left as it is
    });

    // The lists are loaded before the completion line, so that a user who waits for
    // it always works on this collection's activities.
    cache_loader(*context.state);
    ui.append_output(gbk("提示：采集完成\r\n"));
}

void delete_activity_cache() {
    std::lock_guard lock(collection_mutex());
    platform::delete_file(activity_cache_path());
}

void copy_activity_address(Context& context) {
    const int row = context.ui->selected_activity_row();
    if (row < 0) {
        return;
    }
    context.ui->set_clipboard_text(context.ui->activity_cell(row, 4));
}

void open_activity_address(Context& context) {
    const int row = context.ui->selected_activity_row();
    if (row < 0) {
        return;
    }
    const Text link = context.ui->activity_cell(row, 4);
    if (!link.empty()) {
        context.ui->open_in_browser(link);
    }
}

void plug_collection(Commands& commands) {
    commands.plug(Command::collect, collect_press);
    commands.plug(Command::copy_activity_address, copy_activity_address);
    commands.plug(Command::open_activity_address, open_activity_address);
}

}  // namespace velkor
