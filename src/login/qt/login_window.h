#pragma once
// The login window: the publisher's login page in a browser control, and a timer that
// copies the page's cookie string into the program state every second while the login
// worker waits for the session key.
#include <QDialog>
#include <memory>

#include "login/login.h"

class QTimer;
class QWebEngineView;
class QWebEngineProfile;

namespace velkor {

class LoginWindow : public QDialog {
    Q_OBJECT
  public:
    // Starts the login worker for this window.
    LoginWindow(Context context, QWidget* parent);
    ~LoginWindow() override;

    QWebEngineView* browser() const { return browser_; }
    const std::shared_ptr<LoginSession>& session() const { return session_; }

  private:
    void read_cookies();

    Context context_;
    std::shared_ptr<LoginSession> session_;
    QWebEngineView* browser_ = nullptr;
    QTimer* timer_ = nullptr;
    bool page_loaded_ = false;
};

// Press of 按钮_登录: the login window as a modal dialog of `parent`.
void run_login_window(Context context, QWidget* parent);

// The browser profile of every login window: off the record, so the session's
// cookies live in memory only and never reach the disk.
QWebEngineProfile* login_profile();

}  // namespace velkor
