#include "support/fake_ui.h"

#include "region/tables.h"

namespace velkor::testing {

FakeUi::FakeUi()
    : area_items_(split(region::area_names_text(), "\r\n")), edits_{{EditBox::threads, "2"}} {}

void FakeUi::append_output(const Text& text) {
    std::lock_guard lock(mutex_);
    outputs_.push_back(text);
}

int FakeUi::selected_area_index() const {
    std::lock_guard lock(mutex_);
    return area_index_;
}

Text FakeUi::selected_area_text() const {
    std::lock_guard lock(mutex_);
    if (area_index_ < 0 || area_index_ >= static_cast<int>(area_items_.size()))
        return {};
    return area_items_[area_index_];
}

TextList FakeUi::area_items() const {
    std::lock_guard lock(mutex_);
    return area_items_;
}

void FakeUi::select_area(int index) {
    std::lock_guard lock(mutex_);
    if (index >= 0 && index < static_cast<int>(area_items_.size()))
        area_index_ = index;
}

Text FakeUi::edit_text(EditBox box) const {
    std::lock_guard lock(mutex_);
    auto it = edits_.find(box);
    return it == edits_.end() ? Text{} : it->second;
}

bool FakeUi::cf_option_selected() const {
    std::lock_guard lock(mutex_);
    return cf_;
}

void FakeUi::set_window_width(int width) {
    std::lock_guard lock(mutex_);
    width_ = width;
}

void FakeUi::clear_activity_rows() {
    std::lock_guard lock(mutex_);
    activity_rows_.clear();
    activity_selected_ = -1;
    ++activity_clears_;
}

void FakeUi::add_activity_row(const Text& name, const Text& start, const Text& end,
                              const Text& link) {
    std::lock_guard lock(mutex_);
    activity_rows_.push_back({name, start, end, link});
}

int FakeUi::activity_row_count() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(activity_rows_.size());
}

Text FakeUi::activity_cell(int row, int column) const {
    std::lock_guard lock(mutex_);
    if (row < 0 || row >= static_cast<int>(activity_rows_.size()) || column < 1 || column > 4)
        return {};
    return activity_rows_[row][column - 1];
}

int FakeUi::selected_activity_row() const {
    std::lock_guard lock(mutex_);
    return activity_selected_;
}

void FakeUi::clear_record_rows() {
    std::lock_guard lock(mutex_);
    record_rows_.clear();
    ++record_clears_;
}

void FakeUi::add_record_row(const Text& name, const Text& price, const Text& time) {
    std::lock_guard lock(mutex_);
    record_rows_.push_back({name, price, time});
}

int FakeUi::record_row_count() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(record_rows_.size());
}

Text FakeUi::record_cell(int row, int column) const {
    std::lock_guard lock(mutex_);
    if (row < 0 || row >= static_cast<int>(record_rows_.size()) || column < 1 || column > 3)
        return {};
    return record_rows_[row][column - 1];
}

void FakeUi::set_avatar(const std::string& bytes) {
    std::lock_guard lock(mutex_);
    avatar_ = bytes;
}

void FakeUi::show_avatar() {
    std::lock_guard lock(mutex_);
    avatar_shown_ = true;
}

void FakeUi::set_clipboard_text(const Text& text) {
    std::lock_guard lock(mutex_);
    clipboard_ = text;
}

void FakeUi::open_in_browser(const Text& url) {
    std::lock_guard lock(mutex_);
    opened_.push_back(url);
}

void FakeUi::pump_events() {
    std::lock_guard lock(mutex_);
    ++pumps_;
}

void FakeUi::set_area_items(TextList items) {
    std::lock_guard lock(mutex_);
    area_items_ = std::move(items);
    area_index_ = 0;
}

void FakeUi::set_edit_text(EditBox box, Text text) {
    std::lock_guard lock(mutex_);
    edits_[box] = std::move(text);
}

void FakeUi::set_cf_option(bool cf) {
    std::lock_guard lock(mutex_);
    cf_ = cf;
}

void FakeUi::select_activity_row(int row) {
    std::lock_guard lock(mutex_);
    activity_selected_ = (row >= 0 && row < static_cast<int>(activity_rows_.size())) ? row : -1;
}

std::vector<Text> FakeUi::outputs() const {
    std::lock_guard lock(mutex_);
    return outputs_;
}

Text FakeUi::output() const {
    std::lock_guard lock(mutex_);
    Text all;
    for (const auto& t : outputs_)
        all += t;
    return all;
}

int FakeUi::window_width() const {
    std::lock_guard lock(mutex_);
    return width_;
}

std::vector<std::array<Text, 4>> FakeUi::activity_rows() const {
    std::lock_guard lock(mutex_);
    return activity_rows_;
}

std::vector<std::array<Text, 3>> FakeUi::record_rows() const {
    std::lock_guard lock(mutex_);
    return record_rows_;
}

int FakeUi::record_clears() const {
    std::lock_guard lock(mutex_);
    return record_clears_;
}

int FakeUi::activity_clears() const {
    std::lock_guard lock(mutex_);
    return activity_clears_;
}

std::string FakeUi::avatar() const {
    std::lock_guard lock(mutex_);
    return avatar_;
}

bool FakeUi::avatar_shown() const {
    std::lock_guard lock(mutex_);
    return avatar_shown_;
}

Text FakeUi::clipboard() const {
    std::lock_guard lock(mutex_);
    return clipboard_;
}

std::vector<Text> FakeUi::opened_urls() const {
    std::lock_guard lock(mutex_);
    return opened_;
}

int FakeUi::pumps() const {
    std::lock_guard lock(mutex_);
    return pumps_;
}

}  // namespace velkor::testing
