#include "app/commands.h"

#include <gtest/gtest.h>

#include "support/fake_ui.h"

namespace velkor {
namespace {

using testing::FakeUi;

struct Fixture {
    std::shared_ptr<AppState> state = std::make_shared<AppState>();
    std::shared_ptr<FakeUi> fake = std::make_shared<FakeUi>();
    Context context{state, fake};
};

bool needs_login(const CommandRow& row) {
    return row.guard == Guard::login || row.guard == Guard::login_after_clearing_records;
}

TEST(Commands, TableRowsStandAtTheirCommandsAndNameTheirControls) {
    for (std::size_t i = 0; i < command_table.size(); ++i) {
        EXPECT_EQ(static_cast<std::size_t>(command_table[i].command), i);
        EXPECT_FALSE(command_table[i].control.empty());
    }
    EXPECT_EQ(command_row(Command::record_query).control, "按钮_领取查询");
    EXPECT_EQ(command_row(Command::copy_activity_address).trigger, Trigger::menu_item);
}

// Before the login, each guarded command writes exactly the reminder, its handler
// never runs, and nothing else changes (but the record list of the record query).
TEST(Commands, GuardedCommandBeforeLoginWritesOnlyTheReminder) {
    for (const auto& row : command_table) {
        if (!needs_login(row))
            continue;
        Fixture f;
        f.fake->add_record_row({"a", "b", "c"});
        f.fake->add_activity_row({"n", "s", "e", "l"});
        Commands commands;
        int calls = 0;
        commands.plug(row.command, [&](Context&) { ++calls; });
        commands.press(row.command, f.context);

        EXPECT_EQ(calls, 0) << row.control;
        EXPECT_EQ(f.fake->outputs(), std::vector<Text>{login_reminder()}) << row.control;
        EXPECT_EQ(to_utf8(login_reminder()), "提示：请先登录再进行操作\r\n");
        EXPECT_EQ(f.fake->window_width(), 404);
        EXPECT_EQ(f.fake->activity_row_count(), 1);
        EXPECT_FALSE(f.state->logged_in());
        EXPECT_EQ(f.fake->record_row_count(), row.command == Command::record_query ? 0 : 1)
            << row.control;
    }
}

TEST(Commands, PressRunsTheHandlerOfItsCommandAloneOnceTheGuardPasses) {
    for (const auto& row : command_table) {
        Fixture f;
        f.state->set_logged_in(true);
        f.fake->add_record_row({"a", "b", "c"});
        Commands commands;
        std::vector<Command> ran;
        for (const auto& other : command_table) {
            commands.plug(other.command, [&ran, c = other.command](Context&) { ran.push_back(c); });
        }
        commands.press(row.command, f.context);
        EXPECT_EQ(ran, std::vector<Command>{row.command}) << row.control;
        EXPECT_TRUE(f.fake->outputs().empty());
        // The record query empties its list on every press, before its handler.
        EXPECT_EQ(f.fake->record_row_count(), row.command == Command::record_query ? 0 : 1);
    }
}

TEST(Commands, UnpluggedCommandDoesItsGuardAndNothingElse) {
    for (const auto& row : command_table) {
        Fixture f;
        Commands commands;
        EXPECT_FALSE(commands.plugged(row.command));
        commands.press(row.command, f.context);
        EXPECT_EQ(f.fake->outputs().size(), needs_login(row) ? 1u : 0u) << row.control;
    }
}

TEST(Commands, PlugReplacesTheEarlierHandler) {
    Fixture f;
    Commands commands;
    int first = 0, second = 0;
    commands.plug(Command::timed_grab, [&](Context&) { ++first; });
    commands.plug(Command::timed_grab, [&](Context&) { ++second; });
    commands.press(Command::timed_grab, f.context);  // its own test: no login needed
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
}

}  // namespace
}  // namespace velkor
