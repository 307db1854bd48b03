#pragma once
// The press of 按钮_登录: the login window as a modal dialog over the main window,
// with its login worker.
#include <QString>

#include "app/commands.h"
#include "login/login.h"

class QWidget;

namespace velkor {

// Shows the login window and returns when it has closed. When the browser module
// cannot be loaded, the output box says so and nothing else happens.
void run_login_window(Context context, QWidget* parent, AfterLogin after_login = {});

// Where the browser module is looked for: $VELKOR_LOGIN_BROWSER when set, else the
// installed library folder's velkor/ (relative to the program), else lib/ beside
// the program's bin/ (the build tree).
QString login_browser_path();

}  // namespace velkor
