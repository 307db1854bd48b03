#include "app/app_state.h"

#include <utility>

#include "web/cookies.h"

namespace velkor {
namespace {

template <class T>
T copy_of(std::mutex& mutex, const T& field) {
    std::lock_guard lock(mutex);
    return field;
}

template <class T>
void replace(std::mutex& mutex, T& field, T value) {
    // The old value is destroyed outside the lock.
    std::lock_guard lock(mutex);
    std::swap(field, value);
}

void append(std::mutex& mutex, TextList& field, Text value) {
    std::lock_guard lock(mutex);
    field.push_back(std::move(value));
}

}  // namespace

bool AppState::logged_in() const {
    return copy_of(mutex_, f_.logged_in);
}
void AppState::set_logged_in(bool value) {
    replace(mutex_, f_.logged_in, value);
}

Text AppState::role_name() const {
    return copy_of(mutex_, f_.role_name);
}
void AppState::set_role_name(Text value) {
    replace(mutex_, f_.role_name, std::move(value));
}

Text AppState::cookie_text() const {
    return copy_of(mutex_, f_.cookie_text);
}
void AppState::set_cookie_text(Text value) {
    replace(mutex_, f_.cookie_text, std::move(value));
}

Text AppState::merge_answer_cookies(Text& answer_cookies) {
    std::lock_guard lock(mutex_);
    return merge_cookies(f_.cookie_text, answer_cookies);
}

Text AppState::uin() const {
    return copy_of(mutex_, f_.uin);
}
void AppState::set_uin(Text value) {
    replace(mutex_, f_.uin, std::move(value));
}
Text AppState::csrf_token() const {
    return copy_of(mutex_, f_.csrf_token);
}
void AppState::set_csrf_token(Text value) {
    replace(mutex_, f_.csrf_token, std::move(value));
}
Text AppState::skey() const {
    return copy_of(mutex_, f_.skey);
}
void AppState::set_skey(Text value) {
    replace(mutex_, f_.skey, std::move(value));
}
Text AppState::role_md5str() const {
    return copy_of(mutex_, f_.role_md5str);
}
void AppState::set_role_md5str(Text value) {
    replace(mutex_, f_.role_md5str, std::move(value));
}

TextList AppState::vip_activity_ids() const {
    return copy_of(mutex_, f_.vip_activity_ids);
}
void AppState::set_vip_activity_ids(TextList value) {
    replace(mutex_, f_.vip_activity_ids, std::move(value));
}
TextList AppState::club_flow_ids() const {
    return copy_of(mutex_, f_.club_flow_ids);
}
void AppState::set_club_flow_ids(TextList value) {
    replace(mutex_, f_.club_flow_ids, std::move(value));
}
TextList AppState::diamond_flow_ids() const {
    return copy_of(mutex_, f_.diamond_flow_ids);
}
void AppState::set_diamond_flow_ids(TextList value) {
    replace(mutex_, f_.diamond_flow_ids, std::move(value));
}

TextList AppState::area_codes() const {
    return copy_of(mutex_, f_.area_codes);
}
void AppState::set_area_codes(TextList value) {
    replace(mutex_, f_.area_codes, std::move(value));
}
TextList AppState::region_table() const {
    return copy_of(mutex_, f_.region_table);
}
void AppState::set_region_table(TextList value) {
    replace(mutex_, f_.region_table, std::move(value));
}

void AppState::set_activities(TextList names, TextList urls) {
    urls.resize(names.size());
    std::lock_guard lock(mutex_);
    std::swap(f_.activity_names, names);
    std::swap(f_.activity_urls, urls);
}
void AppState::clear_activities() {
    set_activities({}, {});
}
Activities AppState::activities() const {
    std::lock_guard lock(mutex_);
    return Activities{f_.activity_names, f_.activity_urls};
}
TextList AppState::activity_names() const {
    return copy_of(mutex_, f_.activity_names);
}
TextList AppState::activity_urls() const {
    return copy_of(mutex_, f_.activity_urls);
}

TextList AppState::activity_ids() const {
    return copy_of(mutex_, f_.activity_ids);
}
void AppState::set_activity_ids(TextList value) {
    replace(mutex_, f_.activity_ids, std::move(value));
}
void AppState::clear_activity_ids() {
    set_activity_ids({});
}
void AppState::append_activity_id(Text value) {
    append(mutex_, f_.activity_ids, std::move(value));
}

TextList AppState::page_flow_ids() const {
    return copy_of(mutex_, f_.page_flow_ids);
}
void AppState::set_page_flow_ids(TextList value) {
    replace(mutex_, f_.page_flow_ids, std::move(value));
}
void AppState::clear_page_flow_ids() {
    set_page_flow_ids({});
}
void AppState::append_page_flow_id(Text value) {
    append(mutex_, f_.page_flow_ids, std::move(value));
}

std::string AppState::skin_data() const {
    return copy_of(mutex_, f_.skin_data);
}
void AppState::set_skin_data(std::string bytes) {
    replace(mutex_, f_.skin_data, std::move(bytes));
}
std::array<std::int32_t, 3> AppState::skin_adjust() const {
    return copy_of(mutex_, f_.skin_adjust);
}
void AppState::set_skin_adjust(std::array<std::int32_t, 3> value) {
    replace(mutex_, f_.skin_adjust, value);
}
SkinLoader AppState::skin_loader() const {
    return copy_of(mutex_, f_.skin_loader);
}
void AppState::set_skin_loader(SkinLoader value) {
    replace(mutex_, f_.skin_loader, std::move(value));
}

void AppState::release() {
    // Swap everything out under the lock, free it after.
    Fields old;
    {
        std::lock_guard lock(mutex_);
        std::swap(f_, old);
    }
}

}  // namespace velkor
