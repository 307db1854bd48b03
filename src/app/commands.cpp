#include "app/commands.h"

namespace velkor {

// The table is indexed by command: a row out of place would fire the wrong operation.
static_assert([] {
    for (std::size_t i = 0; i < command_table.size(); ++i) {
        if (static_cast<std::size_t>(command_table[i].command) != i)
            return false;
    }
    return true;
}());

void Commands::plug(Command command, Handler handler) {
    handlers_[static_cast<std::size_t>(command)] = std::move(handler);
}

bool Commands::plugged(Command command) const {
    return static_cast<bool>(handlers_[static_cast<std::size_t>(command)]);
}

void Commands::press(Command command, Context& context) const {
    if (!pass_guard(command, context))
        return;
    if (const Handler& handler = handlers_[static_cast<std::size_t>(command)])
        handler(context);
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

}  // namespace velkor
