#include <gtest/gtest.h>

#include <QClipboard>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QWebEngineView>
#include <cstdlib>

#include "app/qt/qt_ui.h"
#include "app/threads.h"
#include "gui_support.h"
#include "login/login.h"
#include "login/qt/login_press.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_data_dir.h"

namespace velkor {
namespace {

using namespace gui_testing;

// Receives what the program opens in the default browser.
class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> urls;
  public slots:
    void open(const QUrl& url) { urls << url; }
};

// Runs the event loop until `done` holds or the time is up.
bool wait_for(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override { program_ = start_dismissing_welcome(); }
    void TearDown() override {
        wait_idle(20000);
        program_.window.reset();
        settle();
    }
    MainWindow& window() { return *program_.window; }
    QString output() { return window().output_box()->toPlainText(); }

    test::TempDataDir data_{"gui"};
    Program program_;
};

TEST_F(ProgramTest, ActivityMenuCopiesAndDoubleClickOpensTheSelectedAddress) {
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("http", &catcher, "open");
    auto ui = window().ui_port();
    ui->set_window_width(805);
    ui->add_activity_row({"a", "s", "e", "http://game.example/cp/one/index.htm"});
    ui->add_activity_row({"b", "s", "e", "http://game.example/cp/two/index.htm"});
    settle();
    QApplication::clipboard()->setText("before");

    // Nothing selected: neither copies nor opens.
    window().press(Command::copy_activity_address);
    window().press(Command::open_activity_address);
    settle();
    EXPECT_EQ(QApplication::clipboard()->text(), "before");
    EXPECT_TRUE(catcher.urls.isEmpty());

    QTreeWidget* list = window().activity_list();
    const QRect row = list->visualItemRect(list->topLevelItem(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row.center());
    settle();
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls[0].toString(), "http://game.example/cp/two/index.htm");

    window().activity_menu()->actions().front()->trigger();
    settle();
    EXPECT_EQ(QApplication::clipboard()->text(), "http://game.example/cp/two/index.htm");
    QDesktopServices::unsetUrlHandler("http");
}

TEST_F(ProgramTest, LoginOnTheSimulatorsPage) {
    sim::SimulatorOptions options;
    options.auto_login = true;
    test::SimFixture fixture(options);

    // Look at the login window while it is up, and close it should it never finish.
    QRect window_size, browser_geometry;
    QString address;
    QTimer::singleShot(300, [&] {
        if (auto* login = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            window_size = login->frameGeometry();
            if (auto* browser =
                    login->findChild<QWebEngineView*>(QString::fromUtf8("超文本浏览框1"))) {
                browser_geometry = browser->geometry();
                address = browser->url().toString(QUrl::FullyEncoded);
            }
        }
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (auto* w = QApplication::activeModalWidget()) {
            w->close();
        }
    });
    guard.start(60000);

    window().press(Command::login);  // returns when the login window has closed
    guard.stop();

    EXPECT_EQ(window_size.size(), QSize(478, 413));
    EXPECT_EQ(browser_geometry, QRect(0, 0, 472, 384));
    EXPECT_EQ(address.toStdString(), to_utf8(login_address()));

    ASSERT_TRUE(program_.state->logged_in());
    EXPECT_EQ(program_.state->uin(), "12345678");
    ASSERT_TRUE(
        wait_for([&] { return output().contains(QString::fromUtf8("提示：采集完成")); }, 30000))
        << output().toStdString();
    EXPECT_TRUE(output().contains(QString::fromUtf8("提示：12345678登录成功！")));
    EXPECT_TRUE(window().avatar_box()->isVisible());
    EXPECT_FALSE(window().avatar_box()->pixmap().isNull());
    EXPECT_GT(window().activity_list()->topLevelItemCount(), 30);
    EXPECT_FALSE(program_.state->activity_names().empty());
}

TEST_F(ProgramTest, MissingBrowserModuleIsReportedAndChangesNothing) {
    ::setenv("VELKOR_LOGIN_BROWSER", "/nonexistent/libvelkor_login_browser.so", 1);
    const QString before = output();
    QTimer::singleShot(20000, [] {  // a window that opened after all would end the test
        if (auto* w = QApplication::activeModalWidget()) {
            w->close();
        }
    });
    window().press(Command::login);
    settle();
    ::unsetenv("VELKOR_LOGIN_BROWSER");
    EXPECT_EQ(output(), before + QString::fromUtf8("提示：登录窗口无法打开，请检查安装\n"));
    EXPECT_FALSE(program_.state->logged_in());
}

}  // namespace
}  // namespace velkor

#include "login_and_activities_test.moc"
