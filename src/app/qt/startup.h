#pragma once
// Start-up of the program and its orderly end, shared by main() and the tests.
#include <memory>
#include <string>

#include "app/app_state.h"
#include "app/qt/main_window.h"

namespace velkor {

// Where the window skin is carried in the program's resources.
inline constexpr const char* skin_resource = ":/skin/velkor.qss";

// What must be set before the QApplication exists: the login browser refuses to
// start as root unless its sandbox is off, and its context dump is silenced.
void prepare_process_environment();

// The window environment: the font of every control and its substitute on
// systems without it. Call once the QApplication exists.
void prepare_window_environment();

// Sets each operation's press handler on the window's commands. A command left
// without one does its guard and nothing else.
void plug_operations(MainWindow& window);

// Start-up up to the message loop: AppState with its initial values, the skin
// loader, the main window shown and its creation handler run (the welcome box
// waits for the user there).
struct Program {
    std::shared_ptr<AppState> state;
    std::unique_ptr<MainWindow> window;
};
Program start_program(const StartOptions& options);

// Settings for automated runs, read from the environment:
//   VELKOR_AUTOCLOSE_WELCOME=1  the welcome box closes by itself
//   VELKOR_SCREENSHOT=path      a picture of the screen after start-up (PNG)
//   VELKOR_EXIT_AFTER_MS=n      the main window closes itself after n ms
//   VELKOR_PRINT_OUTPUT=1       the output box goes to stdout at exit (implied
//                               by VELKOR_EXIT_AFTER_MS)
//   VELKOR_STARTUP_REPORT=1     start-up time and resident memory on stderr
//   VELKOR_AUTO_LOGIN=1         presses 快速登录 after start-up
//   VELKOR_LOGIN_SCREENSHOT=path  a picture of the screen after the login
struct Automation {
    bool auto_close_welcome = false;
    std::string screenshot;
    int exit_after_ms = -1;
    bool print_output = false;
    bool startup_report = false;
    bool auto_login = false;
    std::string login_screenshot;

    static Automation from_environment();
};

// Milliseconds since the process was started (from /proc), -1 when unknown.
long long ms_since_process_start();
// Resident memory of the process in KiB, -1 when unknown.
long long resident_kib();

// Saves what the screen shows, or the program's windows where the platform has
// no screen to read; true when written.
bool save_screenshot(const QString& path);

}  // namespace velkor
