#pragma once
// The Ui port on the Qt main window.
//
// Workers never touch a widget and never wait for the window thread: the port
// answers from its model (ModelUi), and each change the model takes is queued to
// the window thread under the model's lock, so widgets apply changes in the
// order the model took them and end up showing what it holds. User input on the
// window thread updates the model through the note_* members.
//
// The bridge outlives the window: workers own it through shared_ptr. Once the
// window is gone (detach), writes only change the model and reads still answer.
#include <QPointer>

#include "app/model_ui.h"

namespace velkor {

class MainWindow;

class QtUi final : public ModelUi {
  public:
    // Takes the window's current values as the first model; window thread only.
    explicit QtUi(MainWindow* window);
    ~QtUi() override;

    // The window is going away: nothing reaches widgets after this returns.
    void detach();

    void pump_events() override;

    // --- from the window thread, when the user changes a control ------------------
    void note_area_index(int index);
    void note_edit_text(EditBox box, Text text);
    void note_cf_option(bool cf);
    void note_activity_selection(int row);

  protected:
    void changed(UiChange change) override;

  private:
    // Guarded by ModelUi's lock, like every call of changed().
    QPointer<MainWindow> window_;
};

}  // namespace velkor
