#include "claim/one_click.h"

#include <mutex>

#include "app/threads.h"
#include "claim/session.h"
#include "region/role_scan.h"
#include "script/find_all_between.h"

namespace velkor {
namespace {

// The partner steps of two presses never interleave their lines: each press's
// steps run whole, in press order, as they would on one window thread. Never
// destroyed: a detached press may still hold it while the program ends.
std::mutex& partner_turn() {
    static auto* m = new std::mutex;
    return *m;
}

// Each message of an answer as one line under its title, msg first.
void write_messages(Ui& ui, const Text& title, const AmsMessages& m) {
    if (!m.msg.empty()) {
        ui.append_output(title + m.msg + "\r\n");
    }
    if (!m.s_msg.empty()) {
        ui.append_output(title + m.s_msg + "\r\n");
    }
}

void one_click_run(Context context, int area_index) {
    AppState& state = *context.state;
    std::lock_guard turn(partner_turn());
    state.set_role_name(role_lookup(context, area_index));
    start_thread("claim", [context] { claim_worker(context); });
    state.set_vip_activity_ids(split(vip_activity_ids_text(), "\r\n"));
    state.set_club_flow_ids(split(club_flow_ids_text(), "\r\n"));
    partner_steps(context);
}

}  // namespace

void one_click_press(Context& context) {
    const int index = context.ui->selected_area_index();
    start_thread("one-click claim", [context, index] { one_click_run(context, index); });
}

void partner_steps(Context context) {
    AppState& state = *context.state;
    Ui& ui = *context.ui;

    const Text vip_title = gbk("[QQ会员合作专区]");
    const Text vipid = vip_id_of(answer_of(send_request(vip_act_data(), state)));
    for (const Text& id : state.vip_activity_ids()) {
        const HttpArgs claim =
            vip_page_claim(id, claim_session(context), vipid, request_stamp(context));
        ui.append_output(vip_title + vip_message(answer_of(send_request(claim, state))) + "\r\n");
    }
    const HttpArgs final_claim = vip_final_claim(state.csrf_token(), vipid, request_stamp(context));
    ui.append_output(vip_title + vip_message(answer_of(send_request(final_claim, state))) + "\r\n");

    const Text diamond_title = gbk("[蓝钻合作奖励]");
    for (const Text& flow : state.diamond_flow_ids()) {
        const HttpArgs claim = diamond_claim(flow, state.csrf_token(), request_stamp(context));
        write_messages(ui, diamond_title, ams_messages(answer_of(send_request(claim, state))));
    }

    const Text club_title = gbk("[心悦合作专区]");
    for (const Text& flow : state.club_flow_ids()) {
        const HttpArgs claim = club_claim(flow, state.csrf_token(), request_stamp(context));
        write_messages(ui, club_title, ams_messages(answer_of(send_request(claim, state))));
    }
}

void claim_worker(Context context) {
    AppState& state = *context.state;
    Ui& ui = *context.ui;
    const Activities activities = state.activities();
    const TextList ids = state.activity_ids();
    size_t skipped = 0;
    for (size_t i = 0; i < activities.names.size(); ++i) {
        if (i >= ids.size()) {
            ++skipped;  // no id: claiming would name no activity or another one's
            continue;
        }
        const Text page = answer_of(http_request(activity_page(activities.urls[i])));
        // This worker's own list: a second worker cannot empty it under this one.
        TextList flows;
        find_all_between(page, "javascript:amsSubmit(" + ids[i] + ",", ")", 0, "", "", false, false,
                         flows);
        state.set_page_flow_ids(flows);  // the latest page's flows, for whoever looks
        const Text title = "[" + activities.names[i] + "]\r\n";
        for (const Text& flow : flows) {
            const HttpArgs claim =
                cf_listed_claim(ids[i], flow, state.csrf_token(), request_stamp(context));
            write_messages(ui, title, ams_messages(answer_of(send_request(claim, state))));
        }
    }
    if (skipped > 0) {
        ui.append_output(gbk("提示：") + std::to_string(skipped) +
                         gbk("个活动尚未绑定大区，未领取，请先点击绑定大区\r\n"));
    }
    ui.append_output(gbk("提示：领取完成\r\n"));
}

void plug_one_click(Commands& commands) {
    commands.plug(Command::one_click, one_click_press);
}

}  // namespace velkor
