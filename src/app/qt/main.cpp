// Velkor: start-up, the window loop, and the end of the program.
#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "app/qt/automation.h"
#include "app/qt/qt_ui.h"
#include "app/qt/startup.h"
#include "app/threads.h"
#include "app/version.h"
#include "platform/http_client.h"

namespace {

// --version and --help are answered before any window exists, so that they work
// without a display. Options Qt itself takes (-platform and the like) pass on.
bool answered_command_line(int argc, char** argv) {
    QCoreApplication::setApplicationName("velkor");
    QCoreApplication::setApplicationVersion(velkor::program_version);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Velkor: signs you in on the publisher's own login page and claims the rewards of\n"
        "CF's web activities for you.\n"
        "\n"
        "Environment:\n"
        "  VELKOR_HOSTS=name=value,...  where the publisher's services are (names such as\n"
        "                               login_host, game_apps_host, activity_center_host);\n"
        "                               without it Velkor uses the bundled simulator's\n"
        "                               addresses (velkor-publisher-sim)\n"
        "  XDG_DATA_HOME                the data folder is $XDG_DATA_HOME/velkor/ (default\n"
        "                               ~/.local/share/velkor/): data.txt, the area\n"
        "                               remembered per account, and tolvex.txt, the\n"
        "                               activity cache");
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    parser.parse(arguments);
    if (parser.isSet(version)) {
        std::cout << "velkor " << velkor::program_version << "\n";
        return true;
    }
    if (parser.isSet(help)) {
        std::cout << parser.helpText().toStdString();
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (answered_command_line(argc, argv))
        return 0;
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
