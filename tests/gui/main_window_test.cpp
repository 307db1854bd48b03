#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <atomic>
#include <thread>

#include "app/clock_text.h"
#include "app/qt/qt_text.h"
#include "app/qt/qt_ui.h"
#include "app/qt/sponsor_window.h"
#include "app/threads.h"
#include "gui_support.h"
#include "platform/clock.h"

namespace velkor {
namespace {

using namespace gui_testing;

QString u8(const char* s) {
    return QString::fromUtf8(s);
}

// What a control shows as its caption or initial content.
QString caption_of(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text();
    if (auto* e = qobject_cast<QPlainTextEdit*>(w))
        return e->toPlainText();
    if (auto* c = qobject_cast<QComboBox*>(w))
        return c->currentText();
    if (auto* t = qobject_cast<QTreeWidget*>(w)) {
        QStringList columns;
        for (int i = 0; i < t->columnCount(); ++i) {
            columns << t->headerItem()->text(i) + ":" + QString::number(t->columnWidth(i));
        }
        return columns.join("|");
    }
    return {};
}

struct Control {
    const char* name;
    const char* kind;
    int x, y, w, h;
    const char* caption;
    bool caption_is_prefix = false;
};

const Control control_table[] = {
    {"按钮_登录", "QPushButton", 11, 20, 79, 76, "快速登录"},
    {"按钮_绑定大区", "QPushButton", 114, 9, 71, 59, "绑定大区"},
    {"组合框1", "QComboBox", 103, 74, 100, 15, "广东电信一区"},
    {"按钮_一键领取", "QPushButton", 212, 19, 79, 76, "一键领取"},
    {"图片框1", "QLabel", 300, 0, 100, 100, ""},
    {"编辑框_输出", "QPlainTextEdit", 2, 104, 395, 485,
     "提示：快速登录—活动获取完成—绑定大区—一键领取—玩耍\n", true},
    {"标签2", "QLabel", 0, 475, 240, 24, ""},
    {"单选框_CF", "QRadioButton", 274, 479, 88, 24, "CF官方活动"},
    {"单选框_QVIP", "QRadioButton", 274, 503, 113, 24, "QQ会员合作活动"},
    {"标签3", "QLabel", 0, 500, 64, 24, "定时时间："},
    {"编辑框1", "QLineEdit", 66, 501, 24, 20, ""},
    {"标签4", "QLabel", 94, 500, 16, 24, "时"},
    {"编辑框2", "QLineEdit", 112, 502, 24, 20, ""},
    {"标签6", "QLabel", 140, 500, 16, 24, "分"},
    {"编辑框3", "QLineEdit", 152, 502, 24, 20, ""},
    {"标签5", "QLabel", 180, 500, 16, 24, "秒"},
    {"编辑框6", "QLineEdit", 200, 502, 24, 20, "2"},
    {"标签10", "QLabel", 228, 500, 36, 24, "线程"},
    {"标签9", "QLabel", 0, 525, 204, 49,
     "软件支持自定义线程定时及领取，请斟酌配置与网速情况设置线程，", true},
    {"按钮_活动抢领1", "QPushButton", 212, 527, 63, 50, "定时"},
    {"标签7", "QLabel", 288, 530, 52, 24, "活动ID："},
    {"编辑框_活动ID", "QLineEdit", 339, 531, 50, 20, ""},
    {"标签8", "QLabel", 288, 554, 52, 24, "道具ID："},
    {"编辑框_道具ID", "QLineEdit", 339, 556, 50, 20, ""},
    {"按钮_领取查询", "QPushButton", 10, 594, 71, 32, "领取查询"},
    {"按钮_角色扫描", "QPushButton", 86, 594, 71, 32, "角色扫描"},
    {"按钮_活动采集", "QPushButton", 162, 594, 72, 32, "活动采集"},
    {"按钮_常规查询", "QPushButton", 239, 594, 71, 32, "常规查询"},
    {"按钮_活动抢领", "QPushButton", 315, 594, 70, 32, "活动抢领"},
    {"超级列表框1", "QTreeWidget", 399, 0, 402, 193, "道具名称:150|道具价格:100|领取时间:140"},
    {"图片框2", "QLabel", 400, 192, 400, 151, ""},
    {"超级列表框2", "QTreeWidget", 399, 342, 402, 281,
     "活动名称 双击打开:200|开始时间:100|结束时间:100|活动地址:50"},
};

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { program_ = start_dismissing_welcome(&welcome_); }
    void TearDown() override {
        platform::Clock::set_instance({});
        program_.window.reset();
        settle();
    }
    MainWindow& window() { return *program_.window; }
    AppState& state() { return *program_.state; }
    template <class W>
    W* get(const char* name) {
        W* w = child<W>(program_.window.get(), name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void click(const char* name) {
        QTest::mouseClick(get<QAbstractButton>(name), Qt::LeftButton);
        settle();
    }
    QString output() { return window().output_box()->toPlainText(); }

    Program program_;
    WelcomeSeen welcome_;
};

TEST_F(MainWindowTest, ControlsHaveTheirNamesKindsPlacesAndCaptions) {
    for (const auto& c : control_table) {
        QWidget* w = child<QWidget>(&window(), c.name);
        ASSERT_NE(w, nullptr) << c.name;
        EXPECT_EQ(QString(w->metaObject()->className()), QString(c.kind)) << c.name;
        EXPECT_EQ(w->parentWidget(), &window()) << c.name;
        EXPECT_EQ(w->geometry(), QRect(c.x, c.y, c.w, c.h)) << c.name;
        const QString caption = caption_of(w), expected = u8(c.caption);
        if (c.caption_is_prefix) {
            EXPECT_TRUE(caption.startsWith(expected)) << c.name << ": " << caption.toStdString();
        } else {
            EXPECT_EQ(caption, expected) << c.name;
        }
    }

    EXPECT_EQ(window().windowTitle(), u8("CF 活动Velkor"));
    EXPECT_EQ(window().frameGeometry(), QRect(50, 50, 404, 683));

    // Integer input where the table says so; the id boxes take any text.
    for (const char* name : {"编辑框1", "编辑框2", "编辑框3", "编辑框6"}) {
        auto* e = get<QLineEdit>(name);
        EXPECT_NE(qobject_cast<const QIntValidator*>(e->validator()), nullptr) << name;
        QTest::keyClicks(e, "a-1b2");
        EXPECT_EQ(e->text(), name == std::string("编辑框6") ? "212" : "12") << name;
    }
    for (const char* name : {"编辑框_活动ID", "编辑框_道具ID"}) {
        EXPECT_EQ(get<QLineEdit>(name)->validator(), nullptr) << name;
    }

    auto* combo = get<QComboBox>("组合框1");
    EXPECT_FALSE(combo->isEditable());
    EXPECT_EQ(combo->count(), 40);
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(combo->itemText(38), u8("移动专区"));
    EXPECT_EQ(combo->itemText(39), u8("黑龙江网通一区"));

    auto* cf = get<QRadioButton>("单选框_CF");
    auto* qvip = get<QRadioButton>("单选框_QVIP");
    ASSERT_NE(cf->group(), nullptr);
    EXPECT_EQ(cf->group(), qvip->group());
    EXPECT_TRUE(cf->isChecked());

    auto* timer = child<QTimer>(&window(), "时钟1");
    ASSERT_NE(timer, nullptr);
    EXPECT_FALSE(timer->isActive());

    auto* menu = child<QMenu>(&window(), "超列");
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions().front()->text(), u8("复制地址"));

    EXPECT_TRUE(get<QLabel>("图片框1")->isHidden());
    const QPixmap banner = get<QLabel>("图片框2")->pixmap();
    EXPECT_EQ(banner.size(), QSize(400, 150));

    // Controls use 微软雅黑, which resolves to a face with Chinese glyphs.
    EXPECT_EQ(window().font().family(), u8("微软雅黑"));
    EXPECT_EQ(window().output_box()->fontInfo().family(), u8("WenQuanYi Micro Hei"));
}

TEST_F(MainWindowTest, OutputBoxIsLightGreyOnNearBlackWithoutBorder) {
    QPlainTextEdit* out = window().output_box();
    EXPECT_EQ(out->frameShape(), QFrame::NoFrame);
    EXPECT_FALSE(out->isReadOnly());
    EXPECT_EQ(out->maximumBlockCount(), 0);
    EXPECT_EQ(out->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    const QImage picture = out->grab().toImage();
    // Low in the box nothing is written yet: the background shows.
    EXPECT_EQ(QColor(picture.pixel(100, 400)), QColor(4, 4, 4));
    // The lightest pixel of the text is the text colour.
    int lightest = 0;
    QColor text_colour;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 300; ++x) {
            const QColor c(picture.pixel(x, y));
            if (c.lightness() > lightest)
                lightest = c.lightness(), text_colour = c;
        }
    }
    EXPECT_EQ(text_colour, QColor(236, 236, 236));
}

TEST_F(MainWindowTest, WelcomeBoxComesBeforeTheStartUpLinesAndTables) {
    EXPECT_TRUE(welcome_.was_message_box);
    EXPECT_EQ(welcome_.text, u8("欢迎使用DEzuriVelkor"));
    EXPECT_EQ(welcome_.title, u8("Velkor"));
    EXPECT_TRUE(welcome_.only_ok);
    EXPECT_TRUE(welcome_.no_icon);
    EXPECT_TRUE(welcome_.output_while_up.isEmpty());
    EXPECT_EQ(welcome_.area_codes_while_up, 0u);

    const QStringList lines = output().split('\n');
    ASSERT_EQ(lines.size(), 3);  // two lines, each ending in a break
    EXPECT_EQ(lines[0], u8("提示：快速登录—活动获取完成—绑定大区—一键领取—玩耍"));
    EXPECT_TRUE(lines[1].startsWith(u8("提示："))) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].isEmpty());

    SponsorWindow* sponsor = window().sponsor_window();
    ASSERT_NE(sponsor, nullptr);
    EXPECT_TRUE(sponsor->isVisible());
    EXPECT_EQ(sponsor->windowTitle(), u8("赞助商广告："));
    EXPECT_EQ(sponsor->parentWidget(), nullptr);  // no owner
}

TEST_F(MainWindowTest, BeforeLoginOnlyTheTablesAreFilled) {
    EXPECT_FALSE(state().logged_in());
    EXPECT_EQ(state().area_codes().size(), 40u);
    EXPECT_EQ(state().region_table().size(), 26u);
    EXPECT_EQ(state().area_codes()[38], "360");
    for (const TextList& l :
         {state().vip_activity_ids(), state().club_flow_ids(), state().diamond_flow_ids(),
          state().activity_names(), state().page_flow_ids(), state().activity_urls(),
          state().activity_ids()}) {
        EXPECT_TRUE(l.empty());
    }
    EXPECT_EQ(window().record_list()->topLevelItemCount(), 0);
    EXPECT_EQ(window().activity_list()->topLevelItemCount(), 0);
    EXPECT_TRUE(get<QLabel>("标签2")->text().isEmpty());
    // The skin step ran: data from the program's resources, no adjustment.
    EXPECT_FALSE(state().skin_data().empty());
    EXPECT_EQ(state().skin_adjust(), (std::array<std::int32_t, 3>{0, 0, 0}));
}

TEST_F(MainWindowTest, GuardedCommandsBeforeLoginWriteOnlyTheReminder) {
    window().ui_port()->add_record_row({"a", "1", "t"});
    window().ui_port()->add_activity_row({"n", "s", "e", "http://x/a"});
    settle();
    const QString reminder = u8("提示：请先登录再进行操作\n");
    for (const char* name : {"按钮_绑定大区", "按钮_一键领取", "按钮_领取查询", "按钮_角色扫描",
                             "按钮_活动采集", "按钮_常规查询"}) {
        const QString before = output();
        const int records_before = window().record_list()->topLevelItemCount();
        click(name);
        EXPECT_EQ(output(), before + reminder) << name;
        EXPECT_EQ(window().frameGeometry().width(), 404) << name;
        EXPECT_EQ(window().activity_list()->topLevelItemCount(), 1) << name;
        if (name == std::string("按钮_领取查询")) {
            EXPECT_EQ(window().record_list()->topLevelItemCount(), 0);
            EXPECT_EQ(window().ui_port()->record_row_count(), 0);
        } else {
            EXPECT_EQ(window().record_list()->topLevelItemCount(), records_before) << name;
        }
    }
    // The timed grab has no login guard: it answers by its own settings test.
    const QString before = output();
    click("按钮_活动抢领1");
    settle();
    EXPECT_EQ(output(), before + u8("提示：参数设置不完整，请补充\n"));
}

TEST_F(MainWindowTest, OptionButtonsShowAndHideTheFlowIdControls) {
    auto* cf = get<QRadioButton>("单选框_CF");
    auto* qvip = get<QRadioButton>("单选框_QVIP");
    auto* flow_label = get<QLabel>("标签8");
    auto* flow_id = get<QLineEdit>("编辑框_道具ID");
    EXPECT_FALSE(flow_label->isHidden());
    EXPECT_FALSE(flow_id->isHidden());
    EXPECT_TRUE(window().ui_port()->cf_option_selected());

    click("单选框_QVIP");
    EXPECT_TRUE(qvip->isChecked());
    EXPECT_FALSE(cf->isChecked());
    EXPECT_TRUE(flow_label->isHidden());
    EXPECT_TRUE(flow_id->isHidden());
    EXPECT_FALSE(window().ui_port()->cf_option_selected());

    click("单选框_QVIP");  // stays selected
    EXPECT_TRUE(qvip->isChecked());

    click("单选框_CF");
    EXPECT_TRUE(cf->isChecked());
    EXPECT_FALSE(flow_label->isHidden());
    EXPECT_FALSE(flow_id->isHidden());
    EXPECT_TRUE(window().ui_port()->cf_option_selected());
}

TEST_F(MainWindowTest, GrabPanelButtonShortensTheOutputAndStartsTheClock) {
    platform::LocalTime t;
    t.year = 2016, t.month = 7, t.day = 15, t.hour = 15, t.minute = 0, t.second = 0;
    auto clock = std::make_shared<platform::TestClock>(t);
    window().context().clock = clock;
    auto* clock_label = get<QLabel>("标签2");
    auto* timer = child<QTimer>(&window(), "时钟1");
    EXPECT_EQ(window().output_box()->height(), 485);

    click("按钮_活动抢领");
    EXPECT_EQ(window().output_box()->geometry(), QRect(2, 104, 395, 366));
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 1000);
    EXPECT_EQ(clock_label->text(), u8("现行时间：2016年7月15日15时"));  // at once

    clock->advance(std::chrono::seconds(7));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return clock_label->text() == u8("现行时间：2016年7月15日15时0分7秒"); }, 2500));

    click("按钮_活动抢领");  // again: nothing further
    EXPECT_EQ(window().output_box()->height(), 366);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 1000);
}

TEST(SponsorPlacement, BottomRightCornerOfTheScreen) {
    EXPECT_EQ(sponsor_position({1920, 1080}, {239, 166}), QPoint(1661, 834));
    EXPECT_EQ(sponsor_position({800, 800}, {239, 166}), QPoint(541, 554));
    EXPECT_EQ(sponsor_position({1366, 768}, {239, 166}), QPoint(1107, 522));
}

TEST_F(MainWindowTest, SponsorWindowPlacesItselfOnTheLiveScreen) {
    SponsorWindow* sponsor = window().sponsor_window();
    settle();
    const QSize screen = sponsor->screen()->geometry().size();
    EXPECT_EQ(sponsor->frameGeometry().size(), QSize(239, 166));
    EXPECT_EQ(sponsor->frameGeometry().topLeft(), sponsor_position(screen, {239, 166}));
    auto* text = child<QLabel>(sponsor, "标签1");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->geometry(), QRect(40, 16, 272, 200));
    EXPECT_FALSE(text->text().isEmpty());
}

TEST_F(MainWindowTest, WidthOf805BringsTheRightColumnIntoView) {
    EXPECT_FALSE(window().record_list()->isVisible());
    window().ui_port()->set_window_width(805);
    settle();
    EXPECT_EQ(window().frameGeometry(), QRect(50, 50, 805, 683));
    EXPECT_TRUE(window().record_list()->isVisible());
    EXPECT_TRUE(window().activity_list()->isVisible());
    EXPECT_TRUE(get<QLabel>("图片框2")->isVisible());
    if (const char* dir = std::getenv("VELKOR_GUI_SHOTS")) {
        click("按钮_活动抢领");
        window().ui_port()->add_activity_row({gbk("夏日狂欢周"), "2016-07-01", "2016-07-31",
                                              "http://cf.example/act/a20160701summer/"});
        window().ui_port()->add_record_row({gbk("AK47-火麒麟"), "0", "2016-07-15 15:00:07"});
        settle();
        window().grab().save(QString::fromUtf8(dir) + "/wide.png");
    }
}

// What the platform sends for a right click on a list's rows.
void right_click(QTreeWidget* list, QPoint at) {
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &event);
}

TEST_F(MainWindowTest, RightClickPopsTheMenuAndItsItemAndDoubleClickReachTheirHooks) {
    int copies = 0, opens = 0;
    int selected_at_copy = -2;
    window().commands().plug(Command::copy_activity_address, [&](Context& c) {
        ++copies;
        selected_at_copy = c.ui->selected_activity_row();
    });
    window().commands().plug(Command::open_activity_address, [&](Context&) { ++opens; });
    window().ui_port()->set_window_width(805);
    for (int i = 0; i < 3; ++i) {
        window().ui_port()->add_activity_row({"n" + std::to_string(i), "s", "e", "http://x/"});
    }
    settle();
    QTreeWidget* list = window().activity_list();
    const QRect row1 = list->visualItemRect(list->topLevelItem(1));

    // A double-click on a row opens; the row is then the selected one.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row1.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row1.center());
    settle();
    EXPECT_EQ(opens, 1);

    // Right-click beside the rows: no menu.
    right_click(list, QPoint(5, list->viewport()->height() - 5));
    settle();
    EXPECT_FALSE(window().activity_menu()->isVisible());

    right_click(list, row1.center());
    settle();
    EXPECT_TRUE(window().activity_menu()->isVisible());
    EXPECT_EQ(window().activity_menu()->pos(), list->viewport()->mapToGlobal(row1.center()));
    EXPECT_EQ(window().ui_port()->selected_activity_row(), 1);
    window().activity_menu()->actions().front()->trigger();
    window().activity_menu()->hide();
    EXPECT_EQ(copies, 1);
    EXPECT_EQ(selected_at_copy, 1);
}

TEST_F(MainWindowTest, WorkersWriteThroughTheBridgeInTheirOwnOrder) {
    auto ui = window().ui_port();
    const QString start = output();
    constexpr int workers = 4, lines = 50;
    std::atomic<int> wrong_counts{0};
    for (int w = 0; w < workers; ++w) {
        start_thread("writer", [ui, w, &wrong_counts] {
            for (int i = 0; i < lines; ++i) {
                ui->append_output("w" + std::to_string(w) + " " + std::to_string(i) + "\r\n");
            }
            // A worker sees its own rows at once, without the window thread.
            const int before = ui->record_row_count();
            ui->add_record_row({"w" + std::to_string(w), "p", "t"});
            if (ui->record_row_count() < before + 1)
                ++wrong_counts;
        });
    }
    ASSERT_TRUE(wait_idle(10000));
    settle();
    EXPECT_EQ(wrong_counts.load(), 0);
    EXPECT_EQ(ui->record_row_count(), workers);
    EXPECT_EQ(window().record_list()->topLevelItemCount(), workers);

    const QStringList got = output().mid(start.size()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(got.size(), workers * lines);
    std::vector<int> next(workers, 0);
    for (const QString& line : got) {
        const int w = line.mid(1, 1).toInt();
        EXPECT_EQ(line.mid(3).toInt(), next[w]++) << line.toStdString();
    }

    // Reads from a worker come from the copy, even while the window thread is busy.
    ui->select_area(38);
    int seen = -1;
    Text seen_text;
    std::thread reader([&] {
        seen = ui->selected_area_index();
        seen_text = ui->selected_area_text();
    });
    reader.join();  // the window thread is blocked right here
    EXPECT_EQ(seen, 38);
    EXPECT_EQ(to_utf8(seen_text), "移动专区");
    settle();
    EXPECT_EQ(window().area_list()->currentIndex(), 38);
    // And the user's choice reaches the copy.
    window().area_list()->setCurrentIndex(3);
    EXPECT_EQ(ui->selected_area_index(), 3);
    QTest::keyClicks(child<QLineEdit>(&window(), "编辑框_活动ID"), "12345");
    EXPECT_EQ(ui->edit_text(EditBox::activity_id), "12345");
    EXPECT_EQ(ui->edit_text(EditBox::threads), "2");
}

TEST_F(MainWindowTest, BridgeOutlivesTheWindow) {
    auto ui = window().ui_port();
    std::atomic<bool> stop{false};
    start_thread("writer", [ui, &stop] {
        for (int i = 0; !stop; ++i) {
            ui->append_output("late\r\n");
            ui->add_activity_row({"a", "b", "c", "d"});
            if (i % 50 == 0)
                ui->clear_activity_rows();
            ui->set_window_width(805);
        }
    });
    QTest::qWait(50);
    program_.window.reset();  // closed while the worker writes
    settle();
    QTest::qWait(50);
    settle();
    stop = true;
    ASSERT_TRUE(wait_idle(5000));
    // The copy still answers.
    EXPECT_EQ(ui->selected_area_index(), 0);
    EXPECT_GE(ui->activity_row_count(), 0);
}

}  // namespace
}  // namespace velkor
