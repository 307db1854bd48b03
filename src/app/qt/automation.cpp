#include "app/qt/automation.h"

#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

namespace velkor {

namespace {

bool flag(const char* name) {
    const char* v = std::getenv(name);
    return v && *v && std::string(v) != "0";
}

}  // namespace

Automation Automation::from_environment() {
    Automation a;
    a.auto_close_welcome = flag("VELKOR_AUTOCLOSE_WELCOME");
    if (const char* s = std::getenv("VELKOR_SCREENSHOT"))
        a.screenshot = s;
    if (const char* s = std::getenv("VELKOR_EXIT_AFTER_MS"); s && *s) {
        a.exit_after_ms = std::max(0, std::atoi(s));
    }
    a.print_output = flag("VELKOR_PRINT_OUTPUT") || a.exit_after_ms >= 0;
    a.startup_report = flag("VELKOR_STARTUP_REPORT");
    a.auto_login = flag("VELKOR_AUTO_LOGIN");
    if (const char* s = std::getenv("VELKOR_LOGIN_SCREENSHOT"))
        a.login_screenshot = s;
    a.walk_road = flag("VELKOR_WALK_ROAD");
    if (const char* s = std::getenv("VELKOR_PICTURE_DIR"))
        a.picture_dir = s;
    if (const char* s = std::getenv("VELKOR_ROAD_GRAB"))
        a.road_grab = s;
    a.print_output = a.print_output || a.walk_road;
    return a;
}

long long ms_since_process_start() {
    std::ifstream stat("/proc/self/stat");
    std::string all((std::istreambuf_iterator<char>(stat)), {});
    // Field 22 (start time in clock ticks since boot) counts from behind the
    // command name, which may itself hold blanks.
    const auto close = all.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream rest(all.substr(close + 2));
    std::string field;
    for (int i = 3; i <= 22 && rest >> field; ++i) {
    }
    std::ifstream uptime_file("/proc/uptime");
    double uptime = 0;
    if (!(uptime_file >> uptime) || field.empty())
        return -1;
    const double started = std::stod(field) / static_cast<double>(sysconf(_SC_CLK_TCK));
    return static_cast<long long>((uptime - started) * 1000.0);
}

long long resident_kib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atoll(line.c_str() + 6);
    }
    return -1;
}

bool save_screenshot(const QString& path) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return false;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QPixmap shot;
    if (QGuiApplication::platformName() == "xcb")
        shot = screen->grabWindow(0);
    if (shot.isNull()) {
        // No screen to read (offscreen): lay the windows out as the screen would.
        QImage canvas(screen->geometry().size(), QImage::Format_RGB32);
        canvas.fill(QColor(40, 44, 52));
        QPainter p(&canvas);
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible())
                p.drawPixmap(w->geometry().topLeft(), w->grab());
        }
        p.end();
        shot = QPixmap::fromImage(canvas);
    }
    return shot.save(path, "PNG");
}

AutomatedRun::AutomatedRun(const Automation& automation, QApplication& app, MainWindow& window)
    : automation_(automation), window_(&window) {
    // Give the windows time to paint before looking at them.
    settle_ms_ = automation_.exit_after_ms >= 0 ? std::min(800, automation_.exit_after_ms) : 800;
    QTimer::singleShot(settle_ms_, &app, [this] { after_startup(); });
    // Automated runs may go on to sign in on the login page (the simulator's signs
    // in by itself) and report how long that took and what it cost in memory.
    if (automation_.walk_road)
        QTimer::singleShot(settle_ms_ + 200, window_, [this] { start_walk(); });
    else if (automation_.auto_login)
        QTimer::singleShot(settle_ms_ + 200, window_, [this] { start_login(); });
    if (automation_.exit_after_ms >= 0) {
        QTimer::singleShot(std::max(automation_.exit_after_ms, settle_ms_), window_,
                           &QWidget::close);
    }
}

void AutomatedRun::watch_login() {
    // The simulator's page (with --mark-sign-in) notes when it signed in; the lag
    // to logged_in is how long the program took to notice.
    auto* watch = new QTimer(window_);
    QObject::connect(watch, &QTimer::timeout, window_, [this, watch] {
        const AppState& state = *window_->context().state;
        if (!state.logged_in())
            return;
        watch->stop();
        const Text cookies = state.cookie_text();
        const std::string_view name = "velkor_signed_in_ms=";
        const int at = find(cookies, name);
        if (at < 0)
            return;
        const long long signed_in = to_int(std::string_view(cookies).substr(at - 1 + name.size()));
        const long long now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::system_clock::now().time_since_epoch())
                                  .count();
        if (signed_in > 0)
            sign_in_lag_ms_ = now - signed_in;
    });
    watch->start(2);
}

void AutomatedRun::after_startup() {
    resident_ = resident_kib();
    if (!automation_.screenshot.empty() &&
        !save_screenshot(QString::fromStdString(automation_.screenshot))) {
        std::cerr << "velkor: could not save " << automation_.screenshot << "\n";
    }
}

void AutomatedRun::start_login() {
    watch_login();
    resident_before_login_ = resident_kib();
    login_press_ms_ = ms_since_process_start();
    auto* watch = new QTimer(window_);
    QObject::connect(watch, &QTimer::timeout, window_, [this, watch] {
        if (window_->context().state->logged_in()) {
            logged_in_ms_ = ms_since_process_start();
            watch->stop();
        }
    });
    watch->start(20);
    window_->press(Command::login);  // returns once the login window closed
    QTimer::singleShot(1000, window_, [this] {
        resident_after_login_ = resident_kib();
        if (!automation_.login_screenshot.empty())
            save_screenshot(QString::fromStdString(automation_.login_screenshot));
    });
}

void AutomatedRun::start_walk() {
    RoadWalk::Settings settings;
    settings.picture_dir = QString::fromStdString(automation_.picture_dir);
    const QStringList grab = QString::fromStdString(automation_.road_grab).split(',');
    if (grab.size() == 2) {
        settings.grab_activity_id = grab[0];
        settings.grab_flow_id = grab[1];
    }
    resident_before_login_ = resident_kib();
    watch_login();
    walk_ = new RoadWalk(*window_, settings, [this] { window_->close(); });
    walk_->start();
}

namespace {

void print_rows(const char* title, const QTreeWidget* list) {
    std::cout << "--- " << title << " ---\n";
    for (int r = 0; r < list->topLevelItemCount(); ++r) {
        const QTreeWidgetItem* item = list->topLevelItem(r);
        for (int c = 0; c < item->columnCount(); ++c)
            std::cout << (c ? "\t" : "") << item->text(c).toStdString();
        std::cout << "\n";
    }
}

}  // namespace

void AutomatedRun::finish(MainWindow& window) const {
    if (automation_.print_output) {
        std::string lines = window.output_box()->toPlainText().toStdString();
        if (!lines.empty() && lines.back() != '\n')
            lines += '\n';
        std::cout << lines << std::flush;
    }
    if (walk_) {
        print_rows("超级列表框1", window.record_list());
        print_rows("超级列表框2", window.activity_list());
        std::cout << std::flush;
        std::cerr << "velkor: the road, command by command (press to end of its work)\n";
        long long total = 0;
        for (const auto& t : walk_->timings()) {
            std::fprintf(stderr, "  %-12s %7lld ms\n", t.command.c_str(), t.ms);
            total += t.ms;
        }
        std::fprintf(stderr, "  %-12s %7lld ms; resident memory %.1f MiB\n", "all", total,
                     resident_kib() / 1024.0);
        // A walk stopped by VELKOR_EXIT_AFTER_MS printed only part of the road.
        if (!walk_->finished()) {
            std::fprintf(stderr, "velkor: the walk was cut short after %zu of %zu commands\n",
                         walk_->timings().size(), walk_->command_count());
        }
    }
    if (automation_.startup_report) {
        std::cerr << "velkor: welcome box up " << welcome_ms_
                  << " ms after process start; resident memory after start-up "
                  << (resident_ >= 0 ? resident_ / 1024.0 : -1.0) << " MiB\n";
        if (sign_in_lag_ms_ >= 0) {
            std::cerr << "velkor: the login was noticed " << sign_in_lag_ms_
                      << " ms after the page signed in\n";
        }
        if (automation_.auto_login) {
            std::cerr << "velkor: logged in " << (logged_in_ms_ - login_press_ms_)
                      << " ms after the login press; resident memory before the login "
                      << resident_before_login_ / 1024.0 << " MiB, after its window closed "
                      << resident_after_login_ / 1024.0 << " MiB\n";
        }
    }
}

}  // namespace velkor
