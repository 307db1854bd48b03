#pragma once
// One QApplication for the whole test program, and a started program whose
// welcome box has been dismissed.
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <functional>

#include "app/qt/startup.h"

namespace velkor::gui_testing {

QApplication& application();

struct WelcomeSeen {
    bool was_message_box = false;
    QString text, title;
    bool only_ok = false;
    bool no_icon = false;
    QString output_while_up;
    size_t area_codes_while_up = 99;
};

// Starts the program as main() does and closes the welcome box the way a user
// would, through the active modal widget. `seen` receives what the box showed.
Program start_dismissing_welcome(WelcomeSeen* seen = nullptr);

// Lets queued window updates land.
void settle();

template <class W>
W* child(QObject* parent, const char* name) {
    return parent->findChild<W*>(QString::fromUtf8(name));
}

}  // namespace velkor::gui_testing
