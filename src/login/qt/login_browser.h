#pragma once
// The seam between the program and the login browser. The browser (Qt WebEngine)
// lives in a module of its own that is loaded on the first login: WebEngine is a
// very large library, and loading it at start-up would double the program's
// start-up time and triple its memory for a window most runs open once.
#include <QDialog>
#include <QString>
#include <functional>

namespace velkor {

// What the login window reports, on the window thread.
struct LoginBrowserEvents {
    // The loaded page's cookie string, read once a second.
    std::function<void(const QString& cookie_string)> cookies_read;
    // The window has finished (closed by the user or by the login).
    std::function<void()> closed;
};

// The module's entry: a login window (478 x 413, empty caption, modal over parent)
// showing `address`, not yet shown.
using CreateLoginWindow = QDialog* (*)(QWidget* parent, const QString& address,
                                       const LoginBrowserEvents& events);
inline constexpr const char* create_login_window_symbol = "velkor_create_login_window";
inline constexpr const char* login_browser_module = "libvelkor_login_browser.so";

}  // namespace velkor
