#pragma once
// The login: the player signs in on the publisher's page in the login window; the
// worker waits until the page's cookies hold the session key, then takes the account
// number and key from them, derives the CSRF token, shows the avatar, marks the player
// logged in and starts the activity collection.
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "app/commands.h"
#include "web/http.h"

namespace velkor {

// The link between one login window and its worker. The window reports each reading of
// the page's cookie string and its own closing; the worker sleeps until one of them
// happens, so a window closed before the sign-in ends its worker at once.
class LoginSession {
  public:
    explicit LoginSession(std::shared_ptr<AppState> state);

    // --- window side --------------------------------------------------------------
    // A timer tick read the page's cookie string: it becomes the cookie text.
    void cookies_read(const Text& cookie_string);
    // The window is gone; a worker still waiting ends without a login.
    void window_closed();
    // How the worker closes the window when the login is done (called on the worker's
    // thread; the window hands it to its own thread).
    void set_close_window(std::function<void()> close);

    // --- worker side --------------------------------------------------------------
    // True once the cookie text holds "skey" (any letter case); false when the window
    // was closed first.
    bool wait_for_session_key();
    void close_window();
    bool closed() const;

  private:
    std::shared_ptr<AppState> state_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool closed_ = false;
    std::function<void()> close_;
};

// The cookie readings of the login.
Text session_key_of(const Text& cookie_text);
Text account_of(const Text& cookie_text);

// The login address shown in the login window.
Text login_address();

// The avatar picture of an account (GET, no cookies).
HttpArgs avatar_request(const Text& uin);

// What follows a completed login; it runs on the login worker's thread just
// before the login window closes. Composed where the operations are plugged in
// (the login starts the activity collection through it).
using AfterLogin = std::function<void(const Context&)>;

// Runs the login for one login window; ends when the window closes before the sign-in.
void login_worker(Context context, std::shared_ptr<LoginSession> session,
                  const AfterLogin& after_login = {});

}  // namespace velkor
