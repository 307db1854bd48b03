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

const Command guarded[] = {Command::bind_area, Command::one_click, Command::record_query,
                           Command::role_scan, Command::collect,   Command::stats_query};

TEST(Commands, GuardedCommandBeforeLoginWritesOnlyTheReminder) {
    for (Command c : guarded) {
        Fixture f;
        f.fake->add_record_row("a", "b", "c");
        f.fake->add_activity_row("n", "s", "e", "l");
        press(c, f.context, Operations{});

        const auto lines = f.fake->outputs();
        ASSERT_EQ(lines.size(), 1u) << command_row(c).control;
        EXPECT_EQ(to_utf8(lines[0]), "提示：请先登录再进行操作\r\n");
        EXPECT_EQ(f.fake->window_width(), 404);
        EXPECT_EQ(f.fake->activity_row_count(), 1);
        EXPECT_FALSE(f.state->logged_in());
        if (c == Command::record_query) {
            EXPECT_EQ(f.fake->record_row_count(), 0);
        } else {
            EXPECT_EQ(f.fake->record_row_count(), 1) << command_row(c).control;
        }
    }
}

TEST(Commands, AfterLoginAnUnpluggedCommandDoesNothingButRecordQueryStillEmpties) {
    for (Command c : guarded) {
        Fixture f;
        f.state->set_logged_in(true);
        f.fake->add_record_row("a", "b", "c");
        press(c, f.context, Operations{});
        EXPECT_TRUE(f.fake->outputs().empty());
        EXPECT_EQ(f.fake->record_row_count(), c == Command::record_query ? 0 : 1);
    }
}

TEST(Commands, UnguardedCommandsDoNothingUntilPlugged) {
    for (Command c : {Command::login, Command::timed_grab, Command::copy_activity_address,
                      Command::open_activity_address}) {
        Fixture f;
        press(c, f.context, Operations{});
        EXPECT_TRUE(f.fake->outputs().empty());
    }
}

TEST(Commands, PluggedHandlerOwnsThePressIncludingItsGuard) {
    for (const auto& row : command_table) {
        Fixture f;
        Operations ops;
        int calls = 0;
        ops.of(row.command) = [&](Context& ctx) {
            ++calls;
            if (!pass_guard(row.command, ctx))
                return;
            ctx.ui->append_output("ran\r\n");
        };
        press(row.command, f.context, ops);
        EXPECT_EQ(calls, 1) << row.control;
        const auto lines = f.fake->outputs();
        ASSERT_EQ(lines.size(), 1u);
        const bool needs_login =
            row.guard == Guard::login || row.guard == Guard::login_after_clearing_records;
        EXPECT_EQ(lines[0], needs_login ? login_reminder() : Text("ran\r\n")) << row.control;

        // The other commands' handlers are untouched.
        for (const auto& other : command_table) {
            if (other.command != row.command) {
                EXPECT_FALSE(ops.of(other.command));
            }
        }
    }
}

}  // namespace
}  // namespace velkor
