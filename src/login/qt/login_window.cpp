#include "login/qt/login_window.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include "app/threads.h"

namespace velkor {

QWebEngineProfile* login_profile() {
    // A profile without a storage name is off the record: cookies, cache and history
    // stay in memory. It lives as long as the program, so a second login window sees
    // the cookies the first one left, as a browser would.
    static QWebEngineProfile* profile = [] {
        auto* p = new QWebEngineProfile();
        p->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        p->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        return p;
    }();
    return profile;
}

LoginWindow::LoginWindow(Context context, QWidget* parent)
    : QDialog(parent), context_(std::move(context)) {
    setObjectName("login_window");
    setWindowTitle(QString());
    setModal(true);
    resize(478, 413);
    setAttribute(Qt::WA_DeleteOnClose, false);

    browser_ = new QWebEngineView(this);
    browser_->setObjectName(QString::fromUtf8("超文本浏览框1"));
    browser_->setPage(new QWebEnginePage(login_profile(), browser_));
    browser_->setGeometry(0, 0, 472, 384);

    timer_ = new QTimer(this);
    timer_->setObjectName(QString::fromUtf8("时钟1"));
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, &LoginWindow::read_cookies);
    connect(browser_, &QWebEngineView::loadFinished, this, [this](bool) { page_loaded_ = true; });

    session_ = std::make_shared<LoginSession>(context_.state);
    QPointer<LoginWindow> self(this);
    session_->set_close_window([self] {
        QMetaObject::invokeMethod(
            qApp,
            [self] {
                if (self) {
                    self->accept();
                }
            },
            Qt::QueuedConnection);
    });
    connect(this, &QDialog::finished, this, [this] {
        timer_->stop();
        session_->window_closed();
    });

    browser_->setUrl(QUrl(QString::fromStdString(to_utf8(login_address()))));
    timer_->start();
    start_thread([context = context_, session = session_] { login_worker(context, session); });
}

LoginWindow::~LoginWindow() {
    session_->window_closed();
}

void LoginWindow::read_cookies() {
    // The page's document is readable only once it has loaded.
    if (!page_loaded_) {
        return;
    }
    // The callback may run after this window is gone: it holds only the session.
    std::shared_ptr<LoginSession> session = session_;
    browser_->page()->runJavaScript(
        QStringLiteral("document.cookie"), [session](const QVariant& value) {
            if (!session->closed()) {
                session->cookies_read(gbk(value.toString().toStdString()));
            }
        });
}

void run_login_window(Context context, QWidget* parent) {
    LoginWindow window(std::move(context), parent);
    window.exec();
}

}  // namespace velkor
