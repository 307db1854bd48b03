#pragma once
// Collection of the running activities: the activity-center list is fetched, shown in
// the activity list view, and the activities not hosted on a partner site are kept in
// the activity cache, from which the activity lists of the program state are loaded.
#include <optional>
#include <vector>

#include "app/commands.h"
#include "web/http.h"

namespace velkor {

// Path of the activity cache file.
std::string activity_cache_path();

// The activity-center list (POST).
HttpArgs activity_list_request();

// The rows of the activity list view read from the list's answer (the \u escapes
// still in it): entries whose link is 24 bytes or shorter are left out, and the
// link of a row is empty when it is 29 bytes or shorter. Nothing when the answer
// holds fewer than four entries (no list at all).
std::optional<std::vector<ActivityRow>> activity_rows_of(std::string_view answer);

// Press of 按钮_活动采集 (its guard has passed).
void collect_press(Context& context);

// The whole collection; runs on a worker thread. Collections never overlap: a second
// one waits until the first has finished, so the list view, the cache file and the
// activity lists always hold the result of whole collections. With fresh_cache the
// activity cache is deleted first, in turn with other collections (the login's
// collection: the login itself never waits for a collection still running).
void collection_worker(Context context, bool fresh_cache = false);

// The collection a completed login starts, on a worker of its own: the cache is
// deleted first, in turn with any collection still running, so the login itself
// never waits for one.
void collect_afresh(const Context& context);

// Reads the cache into activity_names / activity_urls (replaced together). The
// collection runs it on its own turn, before it reports completion.
void cache_loader(AppState& state);

// Deletes the activity cache, in turn with any running collection.
void delete_activity_cache();

// The activity list view's menu item "复制地址" and its double-click.
void copy_activity_address(Context& context);
void open_activity_address(Context& context);

// True when the link lies on one of the partner sites (letter case ignored).
bool is_partner_link(std::string_view link);

// Plugs the handlers above into the window's commands.
void plug_collection(Commands& commands);

}  // namespace velkor
