#include "app/window_model.h"

namespace velkor {
namespace {

bool in_range(int i, std::size_t size) {
    return i >= 0 && static_cast<std::size_t>(i) < size;
}

}  // namespace

WindowModel::WindowModel(TextList area_items, int area_index,
                         std::array<Text, edit_box_count> edits, bool cf_option)
    : area_items_(std::move(area_items)),
      area_index_(in_range(area_index, area_items_.size()) ? area_index : 0),
      edits_(std::move(edits)),
      cf_(cf_option) {}

Text WindowModel::area_text() const {
    return in_range(area_index_, area_items_.size()) ? area_items_[area_index_] : Text{};
}

bool WindowModel::select_area(int index) {
    if (!in_range(index, area_items_.size()))
        return false;
    area_index_ = index;
    return true;
}

void WindowModel::set_area_items(TextList items) {
    area_items_ = std::move(items);
    area_index_ = 0;
}

void WindowModel::clear_activities() {
    activities_.clear();
    selected_activity_ = -1;
}

Text WindowModel::activity_cell(int row, int column) const {
    if (!in_range(row, activities_.size()))
        return {};
    const ActivityRow& r = activities_[row];
    switch (column) {
        case 1:
            return r.name;
        case 2:
            return r.start;
        case 3:
            return r.end;
        case 4:
            return r.link;
    }
    return {};
}

void WindowModel::select_activity(int row) {
    selected_activity_ = in_range(row, activities_.size()) ? row : -1;
}

Text WindowModel::record_cell(int row, int column) const {
    if (!in_range(row, records_.size()))
        return {};
    const RecordRow& r = records_[row];
    switch (column) {
        case 1:
            return r.name;
        case 2:
            return r.price;
        case 3:
            return r.time;
    }
    return {};
}

}  // namespace velkor
