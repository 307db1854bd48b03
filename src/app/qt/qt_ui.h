#pragma once
// The Ui port on the Qt main window.
//
// Workers never touch a widget and never wait for the window thread. This bridge
// keeps a copy of every value the port hands out (area selection, edit texts,
// option, rows of both lists) behind its own lock. A write changes the copy at
// once in the calling thread and queues the widget change to the window thread;
// both happen under the lock, so widgets apply changes in the order the copy
// took them and end up showing what the copy holds. User input on the window
// thread updates the copy through the note_* members.
//
// The bridge outlives the window: workers own it through shared_ptr. Once the
// window is gone (detach), writes only change the copy and reads still answer.
#include <QPointer>
#include <array>
#include <mutex>
#include <vector>

#include "app/ui.h"

namespace velkor {

class MainWindow;

class QtUi final : public Ui {
  public:
    // Takes the window's current values as the first copy; window thread only.
    explicit QtUi(MainWindow* window);
    ~QtUi() override;

    // The window is going away: nothing reaches widgets after this returns.
    void detach();

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

    // --- from the window thread, when the user changes a control ------------------
    void note_area_index(int index);
    void note_edit_text(EditBox box, Text text);
    void note_cf_option(bool cf);
    void note_activity_selection(int row);

  private:
    // Queues `apply(window)` to the window thread; the caller holds mutex_.
    template <class Apply>
    void post_locked(Apply apply);

    mutable std::mutex mutex_;
    QPointer<MainWindow> window_;
    TextList area_items_;
    int area_index_ = 0;
    std::array<Text, 6> edits_;
    bool cf_ = true;
    std::vector<std::array<Text, 4>> activity_rows_;
    int activity_selected_ = -1;
    std::vector<std::array<Text, 3>> record_rows_;
};

}  // namespace velkor
