#include "login/qt/login_press.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFileInfo>
#include <QLibrary>
#include <QPointer>
#include <iostream>
#include <memory>

#include "app/threads.h"
#include "app/version.h"
#include "login/login.h"
#include "login/qt/login_browser.h"

namespace velkor {
namespace {

QtMessageHandler forward_to = nullptr;

// Loaded after the application has started, WebEngine warns that it found no
// OpenGL context shared with the widgets, and composes the page without one: a
// plain login form needs no more. Those warnings are dropped; every other
// message passes.
void drop_context_warnings(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && (text.contains(QLatin1String("initialized from a plugin")) ||
                                 text.contains(QLatin1String("WebEngineContext used before")) ||
                                 text.contains(QLatin1String("No suitable graphics backend")))) {
        return;
    }
    if (forward_to) {
        forward_to(type, context, text);
    } else {
        std::cerr << qFormatLogMessage(type, context, text).toStdString() << "\n";
    }
}

// Loads the module once; the error text when it cannot be had.
CreateLoginWindow browser_entry(QString& error) {
    // A module once loaded stays loaded: WebEngine cannot be unloaded safely.
    static QString loaded_from;
    static CreateLoginWindow entry = nullptr;
    const QString path = login_browser_path();
    if (entry && path == loaded_from) {
        return entry;
    }
    auto* library = new QLibrary(path);
    auto found = reinterpret_cast<CreateLoginWindow>(library->resolve(create_login_window_symbol));
    if (!found) {
        error = library->errorString();
        delete library;  // the next press tries again
        return nullptr;
    }
    entry = found;
    loaded_from = path;
    return entry;
}

}  // namespace

QString login_browser_path() {
    const QString given = qEnvironmentVariable("VELKOR_LOGIN_BROWSER");
    if (!given.isEmpty()) {
        return given;
    }
    // Installed: the library folder's velkor/; in the build tree: lib/ beside bin/.
    const QString bin = QCoreApplication::applicationDirPath();
    const QString installed =
        bin + "/" + QString::fromUtf8(installed_module_dir) + "/" + login_browser_module;
    if (QFileInfo::exists(installed)) {
        return installed;
    }
    return bin + "/../lib/" + login_browser_module;
}

void run_login_window(Context context, QWidget* parent, AfterLogin after_login) {
    // While the window comes up and is shown, WebEngine's context warnings are dropped.
    forward_to = qInstallMessageHandler(drop_context_warnings);
    struct RestoreHandler {
        ~RestoreHandler() { qInstallMessageHandler(forward_to); }
    } restore;
    QString error;
    CreateLoginWindow create = browser_entry(error);
    if (!create) {
        std::cerr << "velkor: login window unavailable: " << error.toStdString() << "\n";
        context.ui->append_output(gbk("提示：登录窗口无法打开，请检查安装\r\n"));
        return;
    }
    auto session = std::make_shared<LoginSession>(context.state);
    LoginBrowserEvents events;
    events.cookies_read = [session](const QString& cookies) {
        if (!session->closed()) {
            session->cookies_read(gbk(cookies.toStdString()));
        }
    };
    events.closed = [session] { session->window_closed(); };

    std::unique_ptr<QDialog> window(
        create(parent, QString::fromStdString(to_utf8(login_address())), events));
    QPointer<QDialog> target(window.get());
    session->set_close_window([target] {
        QMetaObject::invokeMethod(
            qApp,
            [target] {
                if (target) {
                    target->accept();
                }
            },
            Qt::QueuedConnection);
    });
    start_thread("login", [context, session, after_login = std::move(after_login)] {
        login_worker(context, session, after_login);
    });
    window->exec();
    session->window_closed();
}

}  // namespace velkor
