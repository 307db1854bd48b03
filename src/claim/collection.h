#pragma once
// Collection of the running activities: the activity-center list is fetched, shown in
// the activity list view, and the activities not hosted on a partner site are kept in
// the activity cache, from which the activity lists of the program state are loaded.
#include "app/commands.h"

namespace velkor {

// Path of the activity cache file.
std::string activity_cache_path();

// Press of 按钮_活动采集.
void collect_press(Context& context);

// The whole collection; runs on a worker thread. Collections never overlap: a second
// one waits until the first has finished, so the list view, the cache file and the
// activity lists always hold the result of whole collections. With fresh_cache the
// activity cache is deleted first, in turn with other collections (the login's
// collection: the login itself never waits for a collection still running).
void collection_worker(Context context, bool fresh_cache = false);

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

// Plugs the handlers above into the window's dispatch table.
void plug_collection(Operations& operations);

}  // namespace velkor
