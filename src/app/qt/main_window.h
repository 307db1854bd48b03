#pragma once
// The main window: the left column of commands, area list, output box and the
// timed-grab panel, and the right column (two report lists and the banner) that
// comes into view once a command widens the window to 805.
#include <QWidget>
#include <functional>
#include <memory>
#include <stop_token>

#include "app/app_state.h"
#include "app/commands.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTimer;
class QTreeWidget;

namespace velkor {

class QtUi;
class SponsorWindow;

struct StartOptions {
    // Closes the welcome box by itself (automated runs).
    bool auto_close_welcome = false;
    // Called while the welcome box is up, from inside its event loop.
    std::function<void()> on_welcome_shown;
};

class MainWindow final : public QWidget {
    Q_OBJECT

  public:
    // Outer size and place at start.
    static constexpr int start_left = 50, start_top = 50, start_width = 404, start_height = 683;

    explicit MainWindow(std::shared_ptr<AppState> state);
    ~MainWindow() override;

    // The creation handler: skin, welcome box (waits for the user), the two
    // start-up lines, the sponsor window, the area tables into AppState.
    void run_creation_handler(const StartOptions& options = {});

    // Where the operations plug in their press handlers.
    Commands& commands() { return commands_; }
    Context& context() { return context_; }
    std::shared_ptr<QtUi> ui_port() const { return ui_; }
    SponsorWindow* sponsor_window() const { return sponsor_.get(); }

    void press(Command command);

    // Outer width (frame included where there is one).
    void set_outer_width(int width);
    // Places the window at its start place with its start outer size; run again
    // once shown, when a window manager has added its frame.
    void apply_start_geometry();

    // --- the controls, for the Ui bridge and tests --------------------------------
    QPlainTextEdit* output_box() const { return output_; }
    QComboBox* area_list() const { return area_list_; }
    QTreeWidget* record_list() const { return record_list_; }
    QTreeWidget* activity_list() const { return activity_list_; }
    QLabel* avatar_box() const { return avatar_; }
    QLineEdit* edit_box(EditBox box) const;
    bool cf_option_checked() const;
    QMenu* activity_menu() const { return activity_menu_; }
    QTimer* clock_timer() const { return clock_; }

    // Appends as the output box convention says; window thread only.
    void append_output_now(const QString& text);

  signals:
    void closed();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void build_controls();
    void wire_events();
    void apply_skin();
    void reveal_grab_panel();
    void clock_tick();
    void update_option_controls();
    void update_right_column();

    std::shared_ptr<AppState> state_;
    std::shared_ptr<QtUi> ui_;
    Context context_;
    Commands commands_;
    std::stop_source closing_;
    std::unique_ptr<SponsorWindow> sponsor_;
    bool placed_after_show_ = false;

    QPushButton* login_ = nullptr;
    QPushButton* bind_ = nullptr;
    QComboBox* area_list_ = nullptr;
    QPushButton* one_click_ = nullptr;
    QLabel* avatar_ = nullptr;
    QPlainTextEdit* output_ = nullptr;
    QLabel* clock_label_ = nullptr;
    QTimer* clock_ = nullptr;
    QRadioButton* option_cf_ = nullptr;
    QRadioButton* option_qvip_ = nullptr;
    QButtonGroup* options_ = nullptr;
    QLineEdit* hour_ = nullptr;
    QLineEdit* minute_ = nullptr;
    QLineEdit* second_ = nullptr;
    QLineEdit* threads_ = nullptr;
    QPushButton* grab_ = nullptr;
    QLineEdit* activity_id_ = nullptr;
    QLabel* flow_label_ = nullptr;
    QLineEdit* flow_id_ = nullptr;
    QPushButton* record_query_ = nullptr;
    QPushButton* role_scan_ = nullptr;
    QPushButton* collect_ = nullptr;
    QPushButton* stats_query_ = nullptr;
    QPushButton* reveal_ = nullptr;
    QTreeWidget* record_list_ = nullptr;
    QLabel* banner_ = nullptr;
    QTreeWidget* activity_list_ = nullptr;
    QMenu* activity_menu_ = nullptr;
};

// Outer size minus the client size: the window manager's frame, 0 x 0 without one.
QSize frame_extra(const QWidget* window);

}  // namespace velkor
