#include "gui_support.h"

#include <QAbstractButton>
#include <QPlainTextEdit>
#include <QTimer>

namespace velkor::gui_testing {

QApplication& application() {
    static int argc = 1;
    static char name[] = "gui_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        prepare_process_environment();
        auto* a = new QApplication(argc, argv);
        a->setQuitOnLastWindowClosed(false);
        prepare_window_environment();
        return a;
    }();
    return *app;
}

Program start_dismissing_welcome(WelcomeSeen* seen) {
    application();
    StartOptions options;
    options.on_welcome_shown = [seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (seen) {
            seen->was_message_box = box != nullptr;
            if (box) {
                seen->text = box->text();
                seen->title = box->windowTitle();
                seen->only_ok =
                    box->buttons().size() == 1 && box->standardButtons() == QMessageBox::Ok;
                seen->no_icon = box->icon() == QMessageBox::NoIcon;
                if (auto* main = qobject_cast<MainWindow*>(box->parent())) {
                    seen->output_while_up = main->output_box()->toPlainText();
                    seen->area_codes_while_up = main->context().state->area_codes().size();
                }
            }
        }
        // Closed as a user would: the OK button of whatever modal box is up.
        if (box) {
            QTimer::singleShot(0, box, [box] { box->button(QMessageBox::Ok)->click(); });
        } else if (auto* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
    };
    Program program = start_program(options);
    settle();
    return program;
}

void settle() {
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

}  // namespace velkor::gui_testing
