#include "claim/timed_grab.h"

#include "app/clock_text.h"
#include "app/threads.h"
#include "claim/forms.h"
#include "claim/session.h"

namespace velkor {
namespace {

bool starts_with(std::string_view text, std::string_view head) {
    return text.substr(0, head.size()) == head;
}

Text date_part(const Text& clock) {
    const Text day = gbk("日");
    const size_t at = clock.find(day);
    return at == Text::npos ? clock : clock.substr(0, at + day.size());
}

// How long before its second a waiter connects to the claim's host: time for a
// slow handshake, yet short enough that the server keeps the idle connection.
constexpr long long connect_lead_ms = 1000;
// The connecting ends this long before the second at the latest.
constexpr long long connect_margin_ms = 100;

HttpArgs claim_request(const Context& context) {
    Ui& ui = *context.ui;
    // The ids as the boxes hold them at this moment, the box of the flow also when
    // it is hidden.
    return cf_flow_claim(ui.edit_text(EditBox::activity_id), ui.edit_text(EditBox::flow_id),
                         context.state->csrf_token(), request_stamp(context));
}

// A connection to the claim's host, made while there is time before `at_ms`.
platform::PreparedConnection connect_ahead(const Context& context, long long at_ms) {
    const long long left = at_ms - platform::local_ms(context.clock->now()) - connect_margin_ms;
    if (left <= 0) {
        return {};
    }
    const Text url = claim_request(context).url;
    return platform::PreparedConnection::open(url_host(url), url_port(url),
                                              std::chrono::milliseconds(left));
}

void claim_now(const Context& context, platform::PreparedConnection& connection) {
    AppState& state = *context.state;
    Ui& ui = *context.ui;
    HttpArgs claim = claim_request(context);
    claim.connection = &connection;
    const AmsMessages m = ams_messages(answer_of(send_request(claim, state)));
    const Text title = gbk("[抢领结果：]");
    if (!m.msg.empty()) {
        ui.append_output(title + m.msg + "\r\n");
    }
    if (!m.s_msg.empty()) {
        ui.append_output(title + m.s_msg + "\r\n");
    }
}

}  // namespace

Text grab_target_text(const platform::LocalTime& now, const Text& hour, const Text& minute,
                      const Text& second) {
    return date_part(clock_text(now)) + hour + gbk("时") + minute + gbk("分") + second + gbk("秒");
}

std::optional<platform::LocalTime> target_second(const Text& target,
                                                 const platform::LocalTime& now) {
    platform::LocalTime t = now;
    t.millisecond = 0;
    const Text date = date_part(clock_text(t));
    if (!starts_with(target, date)) {
        return std::nullopt;
    }
    const std::string_view time = std::string_view(target).substr(date.size());
    const int first = now.hour * 3600 + now.minute * 60 + now.second;
    for (int h = now.hour; h < 24; ++h) {
        // Every clock text of the hour but midnight's begins with the hour: skip
        // the hours the target cannot be in.
        if (!time.empty() && !starts_with(time, gbk(std::to_string(h) + "时"))) {
            continue;
        }
        for (int s = std::max(first, h * 3600); s < (h + 1) * 3600; ++s) {
            t.hour = h;
            t.minute = (s / 60) % 60;
            t.second = s % 60;
            if (clock_text(t) == target) {
                return t;
            }
        }
    }
    return std::nullopt;
}

void grab_waiter(Context context) {
    Ui& ui = *context.ui;
    platform::Clock& clock = *context.clock;
    const Text target =
        grab_target_text(clock.now(), ui.edit_text(EditBox::hour), ui.edit_text(EditBox::minute),
                         ui.edit_text(EditBox::second));
    const auto at = target_second(target, clock.now());
    if (!at) {
        return;
    }
    platform::prefer_precise_wakeups();
    // At the second only the claim itself goes out: the name lookup and the
    // handshake are done before it.
    const long long at_ms = platform::local_ms(*at);
    if (!clock.sleep_until(platform::local_time_at(at_ms - connect_lead_ms), context.stop)) {
        return;  // the main window closed
    }
    platform::PreparedConnection connection = connect_ahead(context, at_ms);
    if (!clock.sleep_until(*at, context.stop)) {
        return;
    }
    // The wall clock may have been set past the second while this waiter slept.
    if (clock_text(clock.now()) != target) {
        return;
    }
    claim_now(context, connection);
}

void grab_press(Context& context) {
    Ui& ui = *context.ui;
    const Text incomplete = gbk("提示：参数设置不完整，请补充\r\n");
    for (EditBox box : {EditBox::hour, EditBox::minute, EditBox::second, EditBox::threads,
                        EditBox::activity_id}) {
        if (ui.edit_text(box).empty()) {
            ui.append_output(incomplete);
            return;
        }
    }
    if (ui.cf_option_selected() && ui.edit_text(EditBox::flow_id).empty()) {
        ui.append_output(incomplete);
        return;
    }
    long long n = to_int(ui.edit_text(EditBox::threads));
    if (n > max_grab_threads) {
        ui.append_output(gbk("提示：线程数过多，已按") + std::to_string(max_grab_threads) +
                         gbk("个线程定时\r\n"));
        n = max_grab_threads;
    }
    for (long long i = 0; i < n; ++i) {
        start_thread("timed grab", [context] { grab_waiter(context); });
    }
}

void plug_timed_grab(Commands& commands) {
    commands.plug(Command::timed_grab, grab_press);
}

}  // namespace velkor
