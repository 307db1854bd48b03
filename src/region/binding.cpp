#include "region/binding.h"

#include "app/threads.h"
#include "claim/session.h"
#include "platform/profile.h"
#include "region/role.h"
#include "region/role_scan.h"

namespace velkor {

std::string area_memory_path() {
    return platform::data_file("data.txt");
}

namespace {

void bind_run(Context context, int area_index, Text area_text) {
    AppState& state = *context.state;
    Ui& ui = *context.ui;
    const Text role = role_lookup(context, area_index);
    state.set_role_name(role);
    ui.append_output(role.empty() ? gbk("在该服务器上未获取到角色信息！请重新绑定\r\n")
                                  : gbk("ID：") + role + "\r\n");
    // Remembered whatever the lookup found. The file lies in the user's own data
    // folder, readable by the user alone; there is no hidden attribute to set. Both
    // calls report their own failure on standard error.
    const std::string path = area_memory_path();
    if (platform::write_profile(path, "user", state.uin(), area_text)) {
        platform::set_hidden(path);
    }
    binding_worker(context);
}

}  // namespace

void bind_press(Context& context) {
    // The lookup waits for the role service: off the window thread, with the area
    // the user had selected when pressing.
    const int index = context.ui->selected_area_index();
    const Text text = context.ui->selected_area_text();
    start_thread("binding", [context, index, text] { bind_run(context, index, text); });
}

void binding_worker(Context context) {
    AppState& state = *context.state;
    Ui& ui = *context.ui;
    const Activities activities = state.activities();
    // This run's own list, one entry per activity (empty ones too, so that entry i
    // always belongs to activity i); it replaces the program's list when complete.
    TextList ids;
    for (size_t i = 0; i < activities.names.size(); ++i) {
        const Text page = answer_of(http_request(activity_page(activities.urls[i])));
        const Text id = activity_id_of(page);
        ids.push_back(id);
        const Text flow = init_flow_id_of(page, id);

        // The area selected now, read once for the role query, the sign-up and the
        // line alike: a change during a run counts from the next activity, and never
        // sends one area's md5str with another area's code.
        const ClaimSession session = claim_session(context);
        const Text md5 = region::md5str_of(
            answer_of(send_request(region::signup_role_query(session.area_code), state)));
        state.set_role_md5str(md5);
        const std::string answer = answer_of(
            send_request(cf_signup(id, flow, session, md5, request_stamp(context)), state));

        const Text& name = activities.names[i];
        ui.append_output(signup_succeeded(answer)
                             ? "[" + name + "]" + session.area_name + gbk("  绑定成功\r\n")
                             : "[" + name + gbk("]绑定失败\r\n"));
        context.clock->sleep_for(std::chrono::milliseconds(100), context.stop);
    }
    state.set_activity_ids(std::move(ids));
    ui.append_output(gbk("提示：绑定完成，开始领取吧！\r\n"));
}

void plug_binding(Commands& commands) {
    commands.plug(Command::bind_area, bind_press);
}

}  // namespace velkor
