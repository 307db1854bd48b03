#pragma once
// Automated runs of the program (make run without a display, start-up
// measurements): everything here is driven by environment settings and does
// nothing in an ordinary run.
#include <QString>
#include <string>

#include "app/qt/main_window.h"
#include "app/qt/road_walk.h"

class QApplication;

namespace velkor {

// Settings for automated runs, read from the environment:
//   VELKOR_AUTOCLOSE_WELCOME=1  the welcome box closes by itself
//   VELKOR_SCREENSHOT=path      a picture of the screen after start-up (PNG)
//   VELKOR_EXIT_AFTER_MS=n      the main window closes itself after n ms
//   VELKOR_PRINT_OUTPUT=1       the output box goes to stdout at exit (implied
//                               by VELKOR_EXIT_AFTER_MS)
//   VELKOR_STARTUP_REPORT=1     start-up time and resident memory on stderr
//   VELKOR_AUTO_LOGIN=1         presses 快速登录 after start-up
//   VELKOR_LOGIN_SCREENSHOT=path  a picture of the screen after the login
//   VELKOR_WALK_ROAD=1          presses every command in a user's order (see
//                               RoadWalk), prints the output box, both lists and
//                               how long each command took, and ends
//   VELKOR_PICTURE_DIR=dir      the walk's pictures, one per command
//   VELKOR_ROAD_GRAB=a,f        activity and flow id of the walk's timed grab
struct Automation {
    bool auto_close_welcome = false;
    std::string screenshot;
    int exit_after_ms = -1;
    bool print_output = false;
    bool startup_report = false;
    bool auto_login = false;
    std::string login_screenshot;
    bool walk_road = false;
    std::string picture_dir;
    std::string road_grab;

    static Automation from_environment();
};

// Milliseconds since the process was started (from /proc), -1 when unknown.
long long ms_since_process_start();
// Resident memory of the process in KiB, -1 when unknown.
long long resident_kib();

// Saves what the screen shows, or the program's windows where the platform has
// no screen to read; true when written.
bool save_screenshot(const QString& path);

// The automation of one run: set up before the window loop, reported after it.
class AutomatedRun {
  public:
    AutomatedRun(const Automation& automation, QApplication& app, MainWindow& window);
    // When the welcome box came up, in ms since the process started.
    void welcome_shown_at(long long ms) { welcome_ms_ = ms; }
    // After the window loop: the output box and the report, as asked for.
    void finish(MainWindow& window) const;

  private:
    void after_startup();
    void start_login();
    void start_walk();
    void watch_login();

    Automation automation_;
    MainWindow* window_;
    int settle_ms_ = 800;
    long long welcome_ms_ = -1;
    long long resident_ = -1;
    long long login_press_ms_ = -1, logged_in_ms_ = -1;
    long long resident_before_login_ = -1, resident_after_login_ = -1;
    RoadWalk* walk_ = nullptr;
    long long sign_in_lag_ms_ = -1;  // from the page's sign-in to logged_in
};

}  // namespace velkor
