// The login window: the publisher's login page in a browser control, and a timer
// that reads the page's cookie string every second. Built as a loadable module.
#include <QTimer>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include "login/qt/login_browser.h"

namespace velkor {
namespace {

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

class LoginWindow final : public QDialog {
  public:
    LoginWindow(QWidget* parent, const QString& address, LoginBrowserEvents events)
        : QDialog(parent), events_(std::move(events)) {
        setObjectName("login_window");
        setWindowTitle(QString());
        setModal(true);
        resize(478, 413);

        browser_ = new QWebEngineView(this);
        browser_->setObjectName(QString::fromUtf8("超文本浏览框1"));
        browser_->setPage(new QWebEnginePage(login_profile(), browser_));
        browser_->setGeometry(0, 0, 472, 384);

        timer_ = new QTimer(this);
        timer_->setObjectName(QString::fromUtf8("时钟1"));
        timer_->setInterval(1000);
        connect(timer_, &QTimer::timeout, this, &LoginWindow::read_cookies);
        connect(browser_, &QWebEngineView::loadFinished, this, [this](bool) {
            page_loaded_ = true;
            read_cookies();
        });
        // A cookie set by the page is read at once; the timer stays as the fallback
        // for anything the store does not announce.
        connect(login_profile()->cookieStore(), &QWebEngineCookieStore::cookieAdded, this, [this] {
            if (!read_pending_) {
                read_pending_ = true;
                QTimer::singleShot(0, this, [this] {
                    read_pending_ = false;
                    read_cookies();
                });
            }
        });
        connect(this, &QDialog::finished, this, [this] {
            timer_->stop();
            if (events_.closed) {
                events_.closed();
            }
        });

        browser_->setUrl(QUrl(address));
        timer_->start();
    }

  protected:
    void showEvent(QShowEvent* event) override {
        QDialog::showEvent(event);
        // 478 x 413 is the outer size: a window manager's frame comes off the client.
        const QSize extra = frameGeometry().size() - geometry().size();
        if (extra.width() > 0 || extra.height() > 0) {
            resize(QSize(478, 413) - extra);
        }
    }

  private:
    void read_cookies() {
        // The page's document is readable only once it has loaded.
        if (!page_loaded_ || !events_.cookies_read) {
            return;
        }
        // The callback may run after this window is gone: it holds its own copy.
        auto report = events_.cookies_read;
        browser_->page()->runJavaScript(
            QStringLiteral("document.cookie"),
            [report](const QVariant& value) { report(value.toString()); });
    }

    LoginBrowserEvents events_;
    QWebEngineView* browser_ = nullptr;
    QTimer* timer_ = nullptr;
    bool page_loaded_ = false;
    bool read_pending_ = false;
};

}  // namespace
}  // namespace velkor

extern "C" Q_DECL_EXPORT QDialog* velkor_create_login_window(
    QWidget* parent, const QString& address, const velkor::LoginBrowserEvents& events) {
    return new velkor::LoginWindow(parent, address, events);
}
