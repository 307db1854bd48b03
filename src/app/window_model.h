#pragma once
// The values of the main window that operations read (area selection, edit
// texts, option, the rows of both lists) and the rules for changing them. The Qt
// bridge and the test fake both answer the Ui port from this one model.
//
// Not thread-safe by itself: ModelUi holds it behind its lock.
#include <array>
#include <vector>

#include "app/ui.h"

namespace velkor {

class WindowModel {
  public:
    explicit WindowModel(TextList area_items = {}, int area_index = 0,
                         std::array<Text, edit_box_count> edits = {}, bool cf_option = true);

    // --- area list: always one item selected while there are items ----------------
    const TextList& area_items() const { return area_items_; }
    int area_index() const { return area_index_; }
    Text area_text() const;  // empty when the list is empty
    // Out-of-range indexes change nothing; true when the selection was taken.
    bool select_area(int index);
    // New items; the first is selected.
    void set_area_items(TextList items);

    const Text& edit(EditBox box) const { return edits_[static_cast<int>(box)]; }
    void set_edit(EditBox box, Text text) { edits_[static_cast<int>(box)] = std::move(text); }
    bool cf_option() const { return cf_; }
    void set_cf_option(bool cf) { cf_ = cf; }

    // --- activity list: rows from 0, columns 1..4 -----------------------------------
    void clear_activities();  // also drops the selection
    void add_activity(ActivityRow row) { activities_.push_back(std::move(row)); }
    int activity_count() const { return static_cast<int>(activities_.size()); }
    const std::vector<ActivityRow>& activities() const { return activities_; }
    // Empty for a row or column that does not exist.
    Text activity_cell(int row, int column) const;
    int selected_activity() const { return selected_activity_; }
    // A row that does not exist selects none (-1).
    void select_activity(int row);

    // --- record list: rows from 0, columns 1..3 -------------------------------------
    void clear_records() { records_.clear(); }
    void add_record(RecordRow row) { records_.push_back(std::move(row)); }
    int record_count() const { return static_cast<int>(records_.size()); }
    const std::vector<RecordRow>& records() const { return records_; }
    Text record_cell(int row, int column) const;

  private:
    TextList area_items_;
    int area_index_ = 0;
    std::array<Text, edit_box_count> edits_;
    bool cf_ = true;
    std::vector<ActivityRow> activities_;
    int selected_activity_ = -1;
    std::vector<RecordRow> records_;
};

}  // namespace velkor
