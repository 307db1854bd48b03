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

}  // namespace velkor
