// Velkor: start-up, the window loop, and the end of the program.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "app/qt/automation.h"
#include "app/qt/qt_ui.h"
#include "app/qt/startup.h"
#include "app/threads.h"
#include "platform/http_client.h"

int main(int argc, char** argv) {
    velkor::prepare_process_environment();

    // Process-wide library set-up that must come before any thread.
    velkor::platform::http_client_global_init();

    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    velkor::prepare_window_environment();

    const auto automation = velkor::Automation::from_environment();
    std::unique_ptr<velkor::AutomatedRun> run;
    velkor::StartOptions options;
    options.auto_close_welcome = automation.auto_close_welcome;
    long long welcome_ms = -1;
    options.on_welcome_shown = [&welcome_ms] { welcome_ms = velkor::ms_since_process_start(); };

    velkor::Program program = velkor::start_program(options);
    velkor::MainWindow* window = program.window.get();
    // Closing the main window ends the program, whatever other windows are open.
    QObject::connect(window, &velkor::MainWindow::closed, &app, &QApplication::quit);
    run = std::make_unique<velkor::AutomatedRun>(automation, app, *window);
    run->welcome_shown_at(welcome_ms);

    const int code = app.exec();
    run->finish(*window);

    // The end. Workers are detached and may still be running: they own the
    // AppState and the Ui bridge through shared_ptr, and the bridge has
    // dropped its window, so they touch no freed window or state. What they
    // may still touch are the program's static objects (code-page converters,
    // the HTTP library, Qt's globals). Ordinary exit would run the static
    // destructors underneath them, so the program leaves with quick_exit,
    // which runs none, once the window is gone and AppState is released.
    window->ui_port()->detach();
    program.state->release();
    velkor::wait_idle(200);  // a worker about to finish gets its last line out
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::quick_exit(code);
}
