#include "region/role_scan.h"

#include "app/threads.h"
#include "region/role.h"

namespace velkor {

Text role_lookup(const Context& context, int area_index) {
    AppState& state = *context.state;
    const Text code = region::area_code_at(state.area_codes(), area_index);
    return region::role_of(answer_of(send_request(region::role_query(code), state)), state.uin());
}

void role_scan_press(Context& context) {
    start_thread("role scan", [context] { role_scan_worker(context); });
}

void role_scan_worker(Context context) {
    AppState& state = *context.state;
    Ui& ui = *context.ui;
    if (!state.logged_in()) {
        ui.append_output(login_reminder());
        return;
    }
    const TextList items = ui.area_items();
    for (size_t k = 0; k < items.size(); ++k) {
        const Text role = role_lookup(context, static_cast<int>(k));
        ui.append_output(role.empty() ? items[k] + gbk("：在该服务器上未获取到角色信息！\r\n")
                                      : items[k] + gbk("：") + role + "\r\n");
    }
}

void plug_role_scan(Commands& commands) {
    commands.plug(Command::role_scan, role_scan_press);
}

}  // namespace velkor
