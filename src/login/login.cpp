#include "login/login.h"

#include "app/threads.h"
#include "platform/profile.h"
#include "script/csrf_token.h"
#include "web/endpoints.h"
#include "web/http.h"

namespace velkor {
namespace {

bool holds_session_key(const Text& cookie_text) {
    return find(cookie_text, "skey", 1, true) > 0;
}

}  // namespace

LoginSession::LoginSession(std::shared_ptr<AppState> state) : state_(std::move(state)) {}

void LoginSession::cookies_read(const Text& cookie_string) {
    state_->set_cookie_text(cookie_string);
    std::lock_guard lock(mutex_);
    changed_.notify_all();
}

void LoginSession::window_closed() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
}

void LoginSession::set_close_window(std::function<void()> close) {
    std::lock_guard lock(mutex_);
    close_ = std::move(close);
}

bool LoginSession::wait_for_session_key() {
    std::unique_lock lock(mutex_);
    // Woken by every cookie reading and by the window's closing; the time-out only
    // guards against a missed wake-up.
    while (!holds_session_key(state_->cookie_text())) {
        if (closed_) {
            return false;
        }
        changed_.wait_for(lock, std::chrono::seconds(1));
    }
    return true;
}

void LoginSession::close_window() {
    std::function<void()> close;
    {
        std::lock_guard lock(mutex_);
        close = close_;
    }
    if (close) {
        close();
    }
}

bool LoginSession::closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

Text session_key_of(const Text& cookie_text) {
    Text key = text_between(cookie_text, "skey=", ";");
    if (key.empty()) {
        // The key cookie stands last, with no ";" behind it.
        key = right(cookie_text, 10);
    }
    return key;
}

Text account_of(const Text& cookie_text) {
    Text uin = text_between(cookie_text, "uin=", ";");
    if (!uin.empty() && uin[0] == 'o') {
        uin.erase(0, 1);
    }
    if (!uin.empty() && uin[0] == '0') {
        uin.erase(0, 1);
    }
    return uin;
}

Text login_address() {
    const Text site = endpoints::get("game_site_host");
    return "http://" + endpoints::get("login_host") + "/cgi-bin/xlogin?proxy_url=http://" +
           endpoints::get("game_portal_host") +
           "/comm-htdocs/milo/proxy.html&appid=21000124&f_url=loginerroralert&target=self"
           "&qtarget=self&s_url=http%3A//" +
           site +
           "/comm-htdocs/login/logincallback.htm&no_verifyimg=1&daid=8&qlogin_jumpname=jump"
           "&qlogin_param=u1%3Dhttp%3A//" +
           site + "/comm-htdocs/login/logincallback.htm";
}

HttpArgs avatar_request(const Text& uin) {
    HttpArgs avatar;
    avatar.url = "http://" + endpoints::get("avatar_host") + "/headimg_dl?bs=qq&dst_uin=" + uin +
                 "&src_uin=" + uin + "&fid=" + uin +
                 "&spec=100&url_enc=0&referer=bu_interface&term_type=PC";
    return avatar;
}

void login_worker(Context context, std::shared_ptr<LoginSession> session,
                  const AfterLogin& after_login) {
    if (!session->wait_for_session_key()) {
        return;  // the window was closed before the sign-in
    }
    AppState& state = *context.state;
    Ui& ui = *context.ui;
    const Text cookies = state.cookie_text();
    const Text skey = session_key_of(cookies);
    const Text uin = account_of(cookies);
    state.set_skey(skey);
    state.set_uin(uin);

    const Text remembered = platform::read_profile(platform::data_file("data.txt"), "user", uin);
    const TextList items = ui.area_items();
    int index = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i] == remembered) {
            index = static_cast<int>(i);
            break;
        }
    }
    ui.select_area(index);

    state.set_csrf_token(csrf_token(skey));

    // The picture comes beside the login's other steps: a slow or hung avatar
    // service must never keep the player waiting at a finished login page.
    start_thread("avatar", [ui = context.ui, uin] {
        ui->set_avatar(answer_of(http_request(avatar_request(uin))));
    });

    state.set_logged_in(true);
    ui.append_output(gbk("提示：") + uin + gbk("登录成功！\r\n"));
    ui.show_avatar();
    ui.append_output(gbk("提示：活动大数据正在疯狂采集中，采集完成后方可操作\r\n"));
    if (after_login) {
        after_login(context);
    }
    session->close_window();
}

}  // namespace velkor
