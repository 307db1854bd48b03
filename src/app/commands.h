#pragma once
// The main window's commands and the operations behind them, without Qt.
//
// One registry: the table below names each command's control, how the control
// fires it and its guard. The window connects its controls by those names; each
// operation plugs its press handler in by command. press() applies the guard and
// only then runs the handler, so no handler can forget the login check. A command
// with no handler plugged in still does its guard and nothing else.
#include <array>
#include <functional>
#include <memory>
#include <stop_token>
#include <string_view>

#include "app/app_state.h"
#include "app/ui.h"
#include "platform/clock.h"

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
inline constexpr std::size_t command_count = 10;

// How the window turns its control into a press.
enum class Trigger {
    click,         // a button, by its object name
    menu_item,     // "menu/item": an item of a pop-up menu, by both object names
    double_click,  // a list view, by its object name
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
    Trigger trigger;
    Guard guard;
};

// In the order of the controls in the window; row i is the row of Command i.
inline constexpr std::array<CommandRow, command_count> command_table{{
    {Command::login, "按钮_登录", Trigger::click, Guard::none},
    {Command::bind_area, "按钮_绑定大区", Trigger::click, Guard::login},
    {Command::one_click, "按钮_一键领取", Trigger::click, Guard::login},
    {Command::record_query, "按钮_领取查询", Trigger::click, Guard::login_after_clearing_records},
    {Command::role_scan, "按钮_角色扫描", Trigger::click, Guard::login},
    {Command::collect, "按钮_活动采集", Trigger::click, Guard::login},
    {Command::stats_query, "按钮_常规查询", Trigger::click, Guard::login},
    {Command::timed_grab, "按钮_活动抢领1", Trigger::click, Guard::own},
    {Command::copy_activity_address, "超列/复制地址", Trigger::menu_item, Guard::none},
    {Command::open_activity_address, "超级列表框2", Trigger::double_click, Guard::none},
}};

constexpr const CommandRow& command_row(Command command) {
    return command_table[static_cast<std::size_t>(command)];
}

// What every handler is given: the program's state, its window and its clock.
struct Context {
    std::shared_ptr<AppState> state;
    std::shared_ptr<Ui> ui;
    std::shared_ptr<platform::Clock> clock = platform::Clock::instance();
    // Requested when the main window closes: a worker that waits for a moment
    // (the timed grab) ends then instead of acting after the user has left.
    std::stop_token stop = {};
};

using Handler = std::function<void(Context&)>;

// The press handlers, one slot per command.
class Commands {
  public:
    // Sets the handler of `command`, replacing any earlier one.
    void plug(Command command, Handler handler);
    bool plugged(Command command) const;

    // Applies the command's guard, then runs its handler when it has one.
    void press(Command command, Context& context) const;

  private:
    std::array<Handler, command_count> handlers_;
};

// "提示：请先登录再进行操作\r\n"
const Text& login_reminder();

// Applies the command's guard: true when the operation may go on. When it may
// not, the reminder has been written and nothing else happened (apart from
// emptying 超级列表框1 for the record query, which happens on every press).
bool pass_guard(Command command, Context& context);

}  // namespace velkor
