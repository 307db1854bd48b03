#pragma once
// The Ui port answered from one WindowModel behind one lock. Every write changes
// the model and then hands the change to changed() under the same lock, so that
// whoever shows the changes (the Qt window) or records them (a test) sees them in
// the order the model took them. Reads never wait for anything but the lock.
#include <mutex>
#include <string>
#include <variant>

#include "app/window_model.h"

namespace velkor {

namespace ui_change {
struct Output {
    Text text;
};
struct AreaSelected {
    int index;
};
struct WindowWidth {
    int width;
};
struct ActivitiesCleared {};
struct ActivityAdded {
    ActivityRow row;
};
struct RecordsCleared {};
struct RecordAdded {
    RecordRow row;
};
struct Avatar {
    std::string bytes;
};
struct AvatarShown {};
struct Clipboard {
    Text text;
};
struct OpenUrl {
    Text url;
};
}  // namespace ui_change

using UiChange = std::variant<ui_change::Output, ui_change::AreaSelected, ui_change::WindowWidth,
                              ui_change::ActivitiesCleared, ui_change::ActivityAdded,
                              ui_change::RecordsCleared, ui_change::RecordAdded, ui_change::Avatar,
                              ui_change::AvatarShown, ui_change::Clipboard, ui_change::OpenUrl>;

class ModelUi : public Ui {
  public:
    explicit ModelUi(WindowModel model);

    void append_output(const Text& text) override;
    int selected_area_index() const override;
    Text selected_area_text() const override;
    TextList area_items() const override;
    void select_area(int index) override;
    Text edit_text(EditBox box) const override;
    bool cf_option_selected() const override;
    void set_window_width(int width) override;
    void clear_activity_rows() override;
    void add_activity_row(const ActivityRow& row) override;
    int activity_row_count() const override;
    Text activity_cell(int row, int column) const override;
    int selected_activity_row() const override;
    void clear_record_rows() override;
    void add_record_row(const RecordRow& row) override;
    int record_row_count() const override;
    Text record_cell(int row, int column) const override;
    void set_avatar(const std::string& bytes) override;
    void show_avatar() override;
    void set_clipboard_text(const Text& text) override;
    void open_in_browser(const Text& url) override;

    // A whole copy of the model.
    WindowModel model() const;

  protected:
    // Called with the lock held, once the model has taken the change.
    virtual void changed(UiChange change) = 0;

    // Changes that come from the window itself (the user's input): the model
    // follows, and nothing is handed to changed().
    template <class Edit>
    void follow(Edit edit) {
        std::lock_guard lock(mutex_);
        edit(model_);
    }

  private:
    mutable std::mutex mutex_;
    WindowModel model_;
};

}  // namespace velkor
