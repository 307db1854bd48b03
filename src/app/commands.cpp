#include "app/commands.h"

namespace velkor {

const CommandRow& command_row(Command command) {
    for (const auto& row : command_table) {
        if (row.command == command)
            return row;
    }
    return command_table.front();  // unreachable: every command has its row
}

Handler& Operations::of(Command command) {
    return const_cast<Handler&>(static_cast<const Operations&>(*this).of(command));
}

const Handler& Operations::of(Command command) const {
    switch (command) {
        case Command::login:
            return login;
        case Command::bind_area:
            return bind_area;
        case Command::one_click:
            return one_click;
        case Command::record_query:
            return record_query;
        case Command::role_scan:
            return role_scan;
        case Command::collect:
            return collect;
        case Command::stats_query:
            return stats_query;
        case Command::timed_grab:
            return timed_grab;
        case Command::copy_activity_address:
            return copy_activity_address;
        case Command::open_activity_address:
            return open_activity_address;
    }
    return login;
}

const Text& login_reminder() {
    static const Text text = gbk("提示：请先登录再进行操作\r\n");
    return text;
}

bool pass_guard(Command command, Context& context) {
    switch (command_row(command).guard) {
        case Guard::none:
        case Guard::own:
            return true;
        case Guard::login_after_clearing_records:
            context.ui->clear_record_rows();
            [[fallthrough]];
        case Guard::login:
            if (context.state->logged_in())
                return true;
            context.ui->append_output(login_reminder());
            return false;
    }
    return false;
}

void press(Command command, Context& context, const Operations& operations) {
    if (const auto& handler = operations.of(command)) {
        handler(context);
        return;
    }
    pass_guard(command, context);
}

}  // namespace velkor
