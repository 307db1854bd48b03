#pragma once
// The main window's commands and the operations behind them, without Qt.
//
// The window turns a click into press(command). Each operation plugs its press
// handler into Operations; a plugged handler owns the whole press, guard
// included (it starts with `if (!pass_guard(command, context)) return;`). A
// command whose operation is not plugged in still does its guard and nothing
// else, so the window behaves the same before and after the operation exists.
#include <array>
#include <functional>
#include <memory>
#include <string_view>

#include "app/app_state.h"
#include "app/ui.h"

namespace velkor {

enum class Command {
    login,                  // 按钮_登录
    bind_area,              // 按钮_绑定大区
    one_click,              // 按钮_一键领取
    record_query,           // 按钮_领取查询
    role_scan,              // 按钮_角色扫描
    collect,                // 按钮_活动采集
    stats_query,            // 按钮_常规查询
    timed_grab,             // 按钮_活动抢领1
    copy_activity_address,  // menu 超列, item "复制地址"
    open_activity_address,  // 超级列表框2 double-clicked
};

enum class Guard {
    none,
    // logged_in must be true, else the login reminder.
    login,
    // 超级列表框1 is emptied first, then as login.
    login_after_clearing_records,
    // The operation tests its own settings (the timed grab's completeness test).
    own,
};

struct CommandRow {
    Command command;
    std::string_view control;  // object name of the control, UTF-8
    Guard guard;
};

// In the order of the controls in the window.
inline constexpr std::array<CommandRow, 10> command_table{{
    {Command::login, "按钮_登录", Guard::none},
    {Command::bind_area, "按钮_绑定大区", Guard::login},
    {Command::one_click, "按钮_一键领取", Guard::login},
    {Command::record_query, "按钮_领取查询", Guard::login_after_clearing_records},
    {Command::role_scan, "按钮_角色扫描", Guard::login},
    {Command::collect, "按钮_活动采集", Guard::login},
    {Command::stats_query, "按钮_常规查询", Guard::login},
    {Command::timed_grab, "按钮_活动抢领1", Guard::own},
    {Command::copy_activity_address, "超列/复制地址", Guard::none},
    {Command::open_activity_address, "超级列表框2", Guard::none},
}};

const CommandRow& command_row(Command command);

// What every handler is given: the program's state and its window.
struct Context {
    std::shared_ptr<AppState> state;
    std::shared_ptr<Ui> ui;
};

using Handler = std::function<void(Context&)>;

// The press handlers of the operations; empty until an operation plugs in.
struct Operations {
    Handler login;
    Handler bind_area;
    Handler one_click;
    Handler record_query;
    Handler role_scan;
    Handler collect;
    Handler stats_query;
    Handler timed_grab;
    Handler copy_activity_address;
    Handler open_activity_address;

    Handler& of(Command command);
    const Handler& of(Command command) const;
};

// "提示：请先登录再进行操作\r\n"
const Text& login_reminder();

// Applies the command's guard: true when the operation may go on. When it may
// not, the reminder has been written and nothing else happened (apart from
// emptying 超级列表框1 for the record query, which happens on every press).
bool pass_guard(Command command, Context& context);

// Runs the plugged handler, or only the guard when none is plugged in.
void press(Command command, Context& context, const Operations& operations);

}  // namespace velkor
