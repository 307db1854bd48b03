// Velkor: start-up, the window loop, and the end of the program.
#include <unistd.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <iostream>

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
    long long welcome_ms = -1;
    velkor::StartOptions options;
    options.auto_close_welcome = automation.auto_close_welcome;
    options.on_welcome_shown = [&welcome_ms] { welcome_ms = velkor::ms_since_process_start(); };

    velkor::Program program = velkor::start_program(options);
    velkor::MainWindow* window = program.window.get();
    // Closing the main window ends the program, whatever other windows are open.
    QObject::connect(window, &velkor::MainWindow::closed, &app, &QApplication::quit);

    long long resident = -1;
    auto after_startup = [&] {
        resident = velkor::resident_kib();
        if (!automation.screenshot.empty()) {
            if (!velkor::save_screenshot(QString::fromStdString(automation.screenshot))) {
                std::cerr << "velkor: could not save " << automation.screenshot << "\n";
            }
        }
    };
    // Give the windows time to paint before looking at them.
    const int settle_ms =
        automation.exit_after_ms >= 0 ? std::min(800, automation.exit_after_ms) : 800;
    QTimer::singleShot(settle_ms, &app, after_startup);

    // Automated runs may go on to sign in on the login page (the simulator's signs
    // in by itself) and report how long that took and what it cost in memory.
    long long login_press_ms = -1, logged_in_ms = -1, resident_before_login = -1,
              resident_after_login = -1;
    if (automation.auto_login) {
        QTimer::singleShot(settle_ms + 200, window, [&, window] {
            resident_before_login = velkor::resident_kib();
            login_press_ms = velkor::ms_since_process_start();
            auto* watch = new QTimer(window);
            QObject::connect(watch, &QTimer::timeout, window, [&, window, watch] {
                if (window->context().state->logged_in()) {
                    logged_in_ms = velkor::ms_since_process_start();
                    watch->stop();
                }
            });
            watch->start(20);
            window->press(velkor::Command::login);  // returns once the login window closed
            QTimer::singleShot(1000, window, [&] {
                resident_after_login = velkor::resident_kib();
                if (!automation.login_screenshot.empty()) {
                    velkor::save_screenshot(QString::fromStdString(automation.login_screenshot));
                }
            });
        });
    }
    if (automation.exit_after_ms >= 0) {
        QTimer::singleShot(std::max(automation.exit_after_ms, settle_ms), window, &QWidget::close);
    }

    const int code = app.exec();

    if (automation.print_output) {
        std::string lines = window->output_box()->toPlainText().toStdString();
        if (!lines.empty() && lines.back() != '\n')
            lines += '\n';
        std::cout << lines << std::flush;
    }
    if (automation.startup_report) {
        std::cerr << "velkor: welcome box up " << welcome_ms
                  << " ms after process start; resident memory after start-up "
                  << (resident >= 0 ? resident / 1024.0 : -1.0) << " MiB\n";
        if (automation.auto_login) {
            std::cerr << "velkor: logged in " << (logged_in_ms - login_press_ms)
                      << " ms after the login press; resident memory before the login "
                      << resident_before_login / 1024.0 << " MiB, after its window closed "
                      << resident_after_login / 1024.0 << " MiB\n";
        }
    }

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
