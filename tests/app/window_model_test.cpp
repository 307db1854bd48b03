#include "app/window_model.h"

#include <gtest/gtest.h>

#include "support/fake_ui.h"

namespace velkor {
namespace {

TEST(WindowModel, AreaSelectionStaysInsideTheList) {
    WindowModel m({"a", "b", "c"}, 9);
    EXPECT_EQ(m.area_index(), 0);  // an index outside the list starts at the first
    EXPECT_TRUE(m.select_area(2));
    EXPECT_EQ(m.area_text(), "c");
    for (int bad : {-1, 3, 100}) {
        EXPECT_FALSE(m.select_area(bad));
        EXPECT_EQ(m.area_index(), 2);
    }
    m.set_area_items({"x"});
    EXPECT_EQ(m.area_index(), 0);
    EXPECT_EQ(m.area_text(), "x");
    WindowModel empty;
    EXPECT_EQ(empty.area_text(), "");
    EXPECT_FALSE(empty.select_area(0));
}

TEST(WindowModel, CellsAreOneBasedAndEmptyOutsideTheRows) {
    WindowModel m;
    m.add_activity({"name", "start", "end", "link"});
    m.add_record({"item", "price", "time"});
    const struct {
        int row, column;
        Text activity, record;
    } cases[] = {
        {0, 1, "name", "item"}, {0, 2, "start", "price"}, {0, 3, "end", "time"}, {0, 4, "link", ""},
        {0, 0, "", ""},         {0, 5, "", ""},           {1, 1, "", ""},        {-1, 1, "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(m.activity_cell(c.row, c.column), c.activity) << c.row << "," << c.column;
        EXPECT_EQ(m.record_cell(c.row, c.column), c.record) << c.row << "," << c.column;
    }
}

TEST(WindowModel, ClearingTheActivitiesDropsTheSelection) {
    WindowModel m;
    m.select_activity(0);
    EXPECT_EQ(m.selected_activity(), -1);  // no such row yet
    m.add_activity({"a", "", "", ""});
    m.add_activity({"b", "", "", ""});
    m.select_activity(1);
    EXPECT_EQ(m.selected_activity(), 1);
    m.clear_activities();
    EXPECT_EQ(m.selected_activity(), -1);
    EXPECT_EQ(m.activity_count(), 0);
    m.add_activity({"c", "", "", ""});
    EXPECT_EQ(m.selected_activity(), -1);  // a new row is not selected by the old index
}

// The port hands every change to its owner in the order the model took it, and a
// change that the model refuses reaches nobody.
TEST(ModelUi, ChangesReachTheOwnerInOrderAndRefusedOnesNot) {
    testing::FakeUi ui;
    ui.append_output("one\r\n");
    ui.select_area(99);  // refused
    ui.select_area(3);
    ui.add_activity_row({"a", "", "", ""});
    ui.clear_activity_rows();
    const auto changes = ui.changes();
    ASSERT_EQ(changes.size(), 4u);
    EXPECT_TRUE(std::holds_alternative<ui_change::Output>(changes[0]));
    EXPECT_EQ(std::get<ui_change::AreaSelected>(changes[1]).index, 3);
    EXPECT_TRUE(std::holds_alternative<ui_change::ActivityAdded>(changes[2]));
    EXPECT_TRUE(std::holds_alternative<ui_change::ActivitiesCleared>(changes[3]));
    EXPECT_EQ(ui.selected_area_index(), 3);
    // What the user does follows into the model without being a change.
    ui.set_edit_text(EditBox::hour, "20");
    EXPECT_EQ(ui.edit_text(EditBox::hour), "20");
    EXPECT_EQ(ui.changes().size(), 4u);
}

}  // namespace
}  // namespace velkor
