#include "app/qt/startup.h"

#include <unistd.h>

#include <QApplication>
#include <QFont>

#include "claim/collection.h"
#include "claim/one_click.h"
#include "claim/timed_grab.h"
#include "query/queries.h"
#include "region/binding.h"
#include "region/role_scan.h"
#include "login/qt/login_press.h"

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
    Commands& commands = window.commands();
    MainWindow* parent = &window;
    // A completed login starts a collection on a fresh cache.
    commands.plug(Command::login, [parent](Context& context) {
        run_login_window(context, parent, collect_afresh);
    });
    plug_binding(commands);
    plug_one_click(commands);
    plug_queries(commands);
    plug_role_scan(commands);
    plug_collection(commands);
    plug_timed_grab(commands);
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

}  // namespace velkor
