#pragma once
// A recording stand-in for the main window, for tests of any operation. Every
// member may be called from any thread; reads see the writes at once.
#include <array>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/ui.h"

namespace velkor::testing {

class FakeUi final : public Ui {
  public:
    // The 40 area names of the real area list, the first selected.
    FakeUi();

    // --- Ui -----------------------------------------------------------------------
    void append_output(const Text& text) override;
    int selected_area_index() const override;
    Text selected_area_text() const override;
    TextList area_items() const override;
    void select_area(int index) override;
    Text edit_text(EditBox box) const override;
    bool cf_option_selected() const override;
    void set_window_width(int width) override;
    void clear_activity_rows() override;
    void add_activity_row(const Text& name, const Text& start, const Text& end,
                          const Text& link) override;
    int activity_row_count() const override;
    Text activity_cell(int row, int column) const override;
    int selected_activity_row() const override;
    void clear_record_rows() override;
    void add_record_row(const Text& name, const Text& price, const Text& time) override;
    int record_row_count() const override;
    Text record_cell(int row, int column) const override;
    void set_avatar(const std::string& bytes) override;
    void show_avatar() override;
    void set_clipboard_text(const Text& text) override;
    void open_in_browser(const Text& url) override;
    void pump_events() override;

    // --- what the test sets -------------------------------------------------------
    void set_area_items(TextList items);  // selects the first
    void set_edit_text(EditBox box, Text text);
    void set_cf_option(bool cf);
    void select_activity_row(int row);  // -1: none

    // --- what the test reads ------------------------------------------------------
    // Every text given to append_output, in order.
    std::vector<Text> outputs() const;
    // All of them joined: the box's content.
    Text output() const;
    int window_width() const;  // 404 until set
    std::vector<std::array<Text, 4>> activity_rows() const;
    std::vector<std::array<Text, 3>> record_rows() const;
    int record_clears() const;
    int activity_clears() const;
    std::string avatar() const;
    bool avatar_shown() const;
    Text clipboard() const;
    std::vector<Text> opened_urls() const;
    int pumps() const;

  private:
    mutable std::mutex mutex_;
    std::vector<Text> outputs_;
    TextList area_items_;
    int area_index_ = 0;
    std::map<EditBox, Text> edits_;
    bool cf_ = true;
    int width_ = 404;
    std::vector<std::array<Text, 4>> activity_rows_;
    int activity_selected_ = -1;
    int activity_clears_ = 0;
    std::vector<std::array<Text, 3>> record_rows_;
    int record_clears_ = 0;
    std::string avatar_;
    bool avatar_shown_ = false;
    Text clipboard_;
    std::vector<Text> opened_;
    int pumps_ = 0;
};

}  // namespace velkor::testing
