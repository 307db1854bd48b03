#pragma once
// A recording stand-in for the main window, for tests of any operation. It
// answers from the program's own window model; on top of that it only records
// what the operation did. Every member may be called from any thread.
#include <string>
#include <vector>

#include "app/model_ui.h"

namespace velkor::testing {

class FakeUi final : public ModelUi {
  public:
    // The 40 area names of the real area list, the first selected; 编辑框6 "2".
    FakeUi();

    void pump_events() override;

    // --- what the test sets, as the user would ------------------------------------
    void set_area_items(TextList items);  // selects the first
    void set_edit_text(EditBox box, Text text);
    void set_cf_option(bool cf);
    void select_activity_row(int row);  // -1: none

    // --- what the test reads ------------------------------------------------------
    // Every change the operations made, in order.
    std::vector<UiChange> changes() const;
    // Every text given to append_output, in order.
    std::vector<Text> outputs() const;
    // All of them joined: the box's content.
    Text output() const;
    int window_width() const;  // 404 until set
    std::vector<ActivityRow> activity_rows() const;
    std::vector<RecordRow> record_rows() const;
    int record_clears() const;
    int activity_clears() const;
    std::string avatar() const;
    bool avatar_shown() const;
    Text clipboard() const;
    std::vector<Text> opened_urls() const;
    int pumps() const;

  protected:
    void changed(UiChange change) override;

  private:
    template <class C>
    std::vector<C> all_of() const;

    mutable std::mutex log_mutex_;
    std::vector<UiChange> log_;
    int pumps_ = 0;
};

}  // namespace velkor::testing
