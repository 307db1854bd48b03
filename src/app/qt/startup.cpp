#include "app/qt/startup.h"

#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "claim/collection.h"
#include "login/qt/login_window.h"

// The resources live in a static library; nothing would pull them into the
// program without this call (it must be made outside any namespace).
static void load_program_resources() {
    Q_INIT_RESOURCE(velkor);
}

namespace velkor {

void prepare_process_environment() {
    if (::geteuid() == 0) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES")) {
        qputenv("QT_LOGGING_RULES", "qt.webenginecontext.info=false");
    }
}

void prepare_window_environment() {
    load_program_resources();
    // Without the Windows font, its metric-compatible CJK face stands in.
    QFont::insertSubstitution(QString::fromUtf8("微软雅黑"), "WenQuanYi Micro Hei");
    QFont font(QString::fromUtf8("微软雅黑"));
    font.setPixelSize(12);
    QApplication::setFont(font);
}

void plug_operations(MainWindow& window) {
    Operations& ops = window.operations();
    MainWindow* parent = &window;
    ops.login = [parent](Context& context) { run_login_window(context, parent); };
    plug_collection(ops);
}

Program start_program(const StartOptions& options) {
    Program program;
    program.state = std::make_shared<AppState>();
    // Loading the skin: the loader holds the resource the skin step reads.
    program.state->set_skin_loader(SkinLoader{skin_resource});
    program.window = std::make_unique<MainWindow>(program.state);
    plug_operations(*program.window);
    program.window->show();
    program.window->run_creation_handler(options);
    return program;
}

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

}  // namespace velkor
