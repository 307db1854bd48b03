#include "app/model_ui.h"

namespace velkor {

ModelUi::ModelUi(WindowModel model) : model_(std::move(model)) {}

void ModelUi::append_output(const Text& text) {
    std::lock_guard lock(mutex_);
    changed(ui_change::Output{text});
}

int ModelUi::selected_area_index() const {
    std::lock_guard lock(mutex_);
    return model_.area_index();
}

Text ModelUi::selected_area_text() const {
    std::lock_guard lock(mutex_);
    return model_.area_text();
}

TextList ModelUi::area_items() const {
    std::lock_guard lock(mutex_);
    return model_.area_items();
}

void ModelUi::select_area(int index) {
    std::lock_guard lock(mutex_);
    if (model_.select_area(index))
        changed(ui_change::AreaSelected{index});
}

Text ModelUi::edit_text(EditBox box) const {
    std::lock_guard lock(mutex_);
    return model_.edit(box);
}

bool ModelUi::cf_option_selected() const {
    std::lock_guard lock(mutex_);
    return model_.cf_option();
}

void ModelUi::set_window_width(int width) {
    std::lock_guard lock(mutex_);
    changed(ui_change::WindowWidth{width});
}

void ModelUi::clear_activity_rows() {
    std::lock_guard lock(mutex_);
    model_.clear_activities();
    changed(ui_change::ActivitiesCleared{});
}

void ModelUi::add_activity_row(const ActivityRow& row) {
    std::lock_guard lock(mutex_);
    model_.add_activity(row);
    changed(ui_change::ActivityAdded{row});
}

int ModelUi::activity_row_count() const {
    std::lock_guard lock(mutex_);
    return model_.activity_count();
}

Text ModelUi::activity_cell(int row, int column) const {
    std::lock_guard lock(mutex_);
    return model_.activity_cell(row, column);
}

int ModelUi::selected_activity_row() const {
    std::lock_guard lock(mutex_);
    return model_.selected_activity();
}

void ModelUi::clear_record_rows() {
    std::lock_guard lock(mutex_);
    model_.clear_records();
    changed(ui_change::RecordsCleared{});
}

void ModelUi::add_record_row(const RecordRow& row) {
    std::lock_guard lock(mutex_);
    model_.add_record(row);
    changed(ui_change::RecordAdded{row});
}

int ModelUi::record_row_count() const {
    std::lock_guard lock(mutex_);
    return model_.record_count();
}

Text ModelUi::record_cell(int row, int column) const {
    std::lock_guard lock(mutex_);
    return model_.record_cell(row, column);
}

void ModelUi::set_avatar(const std::string& bytes) {
    std::lock_guard lock(mutex_);
    changed(ui_change::Avatar{bytes});
}

void ModelUi::show_avatar() {
    std::lock_guard lock(mutex_);
    changed(ui_change::AvatarShown{});
}

void ModelUi::set_clipboard_text(const Text& text) {
    std::lock_guard lock(mutex_);
    changed(ui_change::Clipboard{text});
}

void ModelUi::open_in_browser(const Text& url) {
    std::lock_guard lock(mutex_);
    changed(ui_change::OpenUrl{url});
}

WindowModel ModelUi::model() const {
    std::lock_guard lock(mutex_);
    return model_;
}

}  // namespace velkor
