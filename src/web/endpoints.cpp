#include "web/endpoints.h"

#include <cstdlib>
#include <iostream>
#include <map>
#include <mutex>

namespace velkor::endpoints {
namespace {

const std::vector<std::string>& default_host_values() {
    static const std::vector<std::string> values = [] {
        std::vector<std::string> v;
        for (int port = 17601; port <= 17612; ++port) {
            v.push_back("127.0.0.1:" + std::to_string(port));
        }
        return v;
    }();
    return values;
}

const std::vector<std::pair<std::string, std::string>>& default_fragments() {
    static const std::vector<std::pair<std::string, std::string>> values = {
        {"membership_domain", "membership.partner.test"},
        {"microblog_domain", "microblog.partner.test"},
        {"space_domain", "space.partner.test"},
        {"item_mall_domain", "mall.partner.test"},
        {"web_games_domain", "webgames.partner.test"},
    };
    return values;
}

class Table {
  public:
    Table() { fill_defaults(); }

    Text get(std::string_view name) {
        std::lock_guard lock(mutex_);
        ensure_environment();
        auto it = values_.find(name);
        return it == values_.end() ? Text() : it->second;
    }

    bool set(std::string_view name, Text value) {
        std::lock_guard lock(mutex_);
        ensure_environment();
        return set_locked(name, std::move(value));
    }

    bool is_known(std::string_view name) {
        std::lock_guard lock(mutex_);
        return values_.find(name) != values_.end();
    }

    void apply(std::string_view setting, std::ostream& err, bool from_environment) {
        std::lock_guard lock(mutex_);
        if (!from_environment) {
            ensure_environment();
        }
        environment_read_ = true;
        apply_locked(setting, err);
    }

    void reset() {
        std::lock_guard lock(mutex_);
        fill_defaults();
        environment_read_ = true;
    }

  private:
    void fill_defaults() {
        values_.clear();
        for (size_t i = 0; i < host_names().size(); ++i) {
            values_[host_names()[i]] = default_host_values()[i];
        }
        for (const auto& [name, value] : default_fragments()) {
            values_[name] = value;
        }
    }

    void ensure_environment() {
        if (environment_read_) {
            return;
        }
        environment_read_ = true;
        if (const char* setting = std::getenv("VELKOR_HOSTS")) {
            apply_locked(setting, std::cerr);
        }
    }

    bool set_locked(std::string_view name, Text value) {
        auto it = values_.find(name);
        if (it == values_.end()) {
            return false;
        }
        it->second = std::move(value);
        return true;
    }

    static std::string_view trimmed(std::string_view s) {
        while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
            s.remove_prefix(1);
        }
        while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
            s.remove_suffix(1);
        }
        return s;
    }

    void apply_locked(std::string_view setting, std::ostream& err) {
        size_t pos = 0;
        while (pos <= setting.size()) {
            size_t end = setting.find(',', pos);
            if (end == std::string_view::npos) {
                end = setting.size();
            }
            const std::string_view item = trimmed(setting.substr(pos, end - pos));
            pos = end + 1;
            if (item.empty()) {
                continue;  // "a=b," or ",,": nothing meant
            }
            const size_t eq = item.find('=');
            const std::string_view name =
                eq == std::string_view::npos ? item : trimmed(item.substr(0, eq));
            const std::string_view value =
                eq == std::string_view::npos ? std::string_view() : trimmed(item.substr(eq + 1));
            if (eq == std::string_view::npos || name.empty() || value.empty()) {
                err << "velkor: host override \"" << item
                    << "\" is not of the form name=value; ignored\n";
                continue;
            }
            if (!set_locked(name, Text(value))) {
                err << "velkor: host override names an unknown endpoint \"" << name
                    << "\"; ignored\n";
            }
        }
    }

    std::mutex mutex_;
    std::map<std::string, Text, std::less<>> values_;
    bool environment_read_ = false;
};

Table& table() {
    static Table t;
    return t;
}

}  // namespace

const std::vector<std::string>& host_names() {
    static const std::vector<std::string> names = {
        "login_host",           "game_portal_host", "game_site_host", "avatar_host",
        "game_apps_host",       "game_ams_host",    "vip_act_host",   "static_cdn_host",
        "activity_center_host", "support_host",     "gamevip_host",   "premium_club_host",
    };
    return names;
}

const std::vector<std::string>& fragment_names() {
    static const std::vector<std::string> names = {
        "membership_domain", "microblog_domain", "space_domain",
        "premium_club_host", "item_mall_domain", "web_games_domain",
    };
    return names;
}

Text get(std::string_view name) {
    return table().get(name);
}

void set(std::string_view name, Text value) {
    table().set(name, std::move(value));
}

bool is_known(std::string_view name) {
    return table().is_known(name);
}

void apply_overrides(std::string_view setting, std::ostream& err) {
    table().apply(setting, err, false);
}

void load_from_environment() {
    if (const char* setting = std::getenv("VELKOR_HOSTS")) {
        table().apply(setting, std::cerr, true);
    }
}

void reset_to_defaults() {
    table().reset();
}

}  // namespace velkor::endpoints
