#include "app/qt/main_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTimer>
#include <QTreeWidget>

#include "app/clock_text.h"
#include "app/qt/banner.h"
#include "app/qt/qt_text.h"
#include "app/qt/qt_ui.h"
#include "app/qt/sponsor_window.h"
#include "platform/clock.h"
#include "region/tables.h"

namespace velkor {
namespace {

QString u8(const char* s) {
    return QString::fromUtf8(s);
}

template <class W>
W* place(W* w, const char* name, int x, int y, int width, int height) {
    w->setObjectName(u8(name));
    w->setGeometry(x, y, width, height);
    return w;
}

QPushButton* button(QWidget* parent, const char* name, const char* caption, int x, int y, int w,
                    int h) {
    auto* b = place(new QPushButton(u8(caption), parent), name, x, y, w, h);
    // The large square buttons get their own look in the skin.
    if (h >= 50)
        b->setProperty("kind", "big");
    return b;
}

QLabel* label(QWidget* parent, const char* name, const char* caption, int x, int y, int w, int h) {
    auto* l = place(new QLabel(u8(caption), parent), name, x, y, w, h);
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Labels at the left edge would show a sliver beside the output box that
    // covers the panel at start.
    if (x == 0)
        l->setContentsMargins(3, 0, 0, 0);
    return l;
}

QLineEdit* edit(QWidget* parent, const char* name, const char* initial, bool integer, int x, int y,
                int w, int h) {
    auto* e = place(new QLineEdit(u8(initial), parent), name, x, y, w, h);
    if (integer)
        e->setValidator(new QIntValidator(0, 999999999, e));
    e->setAlignment(Qt::AlignCenter);
    return e;
}

QTreeWidget* report_list(QWidget* parent, const char* name, int x, int y, int w, int h,
                         std::initializer_list<std::pair<const char*, int>> columns) {
    auto* list = place(new QTreeWidget(parent), name, x, y, w, h);
    QStringList captions;
    for (const auto& c : columns)
        captions << u8(c.first);
    list->setColumnCount(static_cast<int>(captions.size()));
    list->setHeaderLabels(captions);
    int i = 0;
    for (const auto& c : columns)
        list->setColumnWidth(i++, c.second);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setItemsExpandable(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setAllColumnsShowFocus(true);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionsMovable(false);
    return list;
}

}  // namespace

QSize frame_extra(const QWidget* window) {
    const QRect frame = window->frameGeometry(), client = window->geometry();
    return {frame.width() - client.width(), frame.height() - client.height()};
}

MainWindow::MainWindow(std::shared_ptr<AppState> state) : state_(std::move(state)) {
    setObjectName(u8("窗口_启动"));
    setWindowTitle(u8("CF 活动Velkor"));
    setProperty("skin", "window");
    setAttribute(Qt::WA_StyledBackground);
    build_controls();
    ui_ = std::make_shared<QtUi>(this);
    context_ = Context{state_, ui_};
    context_.stop = closing_.get_token();
    wire_events();
    apply_start_geometry();
}

MainWindow::~MainWindow() {
    // Workers may still hold the bridge; from here on it keeps them off the widgets.
    ui_->detach();
}

void MainWindow::build_controls() {
    login_ = button(this, "按钮_登录", "快速登录", 11, 20, 79, 76);
    bind_ = button(this, "按钮_绑定大区", "绑定大区", 114, 9, 71, 59);
    area_list_ = place(new QComboBox(this), "组合框1", 103, 74, 100, 15);
    area_list_->setEditable(false);
    for (const auto& name : split(region::area_names_text(), "\r\n"))
        area_list_->addItem(qs(name));
    area_list_->setCurrentIndex(0);
    area_list_->setMaxVisibleItems(20);
    one_click_ = button(this, "按钮_一键领取", "一键领取", 212, 19, 79, 76);
    avatar_ = place(new QLabel(this), "图片框1", 300, 0, 100, 100);
    avatar_->setAlignment(Qt::AlignCenter);
    avatar_->hide();

    // The timed-grab panel; the output box covers it until it is revealed.
    clock_label_ = label(this, "标签2", "", 0, 475, 240, 24);
    clock_ = new QTimer(this);
    clock_->setObjectName(u8("时钟1"));
    clock_->setTimerType(Qt::PreciseTimer);
    option_cf_ = place(new QRadioButton(u8("CF官方活动"), this), "单选框_CF", 274, 479, 88, 24);
    option_qvip_ =
        place(new QRadioButton(u8("QQ会员合作活动"), this), "单选框_QVIP", 274, 503, 113, 24);
    options_ = new QButtonGroup(this);
    options_->setExclusive(true);
    options_->addButton(option_cf_);
    options_->addButton(option_qvip_);
    option_cf_->setChecked(true);
    label(this, "标签3", "定时时间：", 0, 500, 64, 24);
    hour_ = edit(this, "编辑框1", "", true, 66, 501, 24, 20);
    label(this, "标签4", "时", 94, 500, 16, 24);
    minute_ = edit(this, "编辑框2", "", true, 112, 502, 24, 20);
    label(this, "标签6", "分", 140, 500, 16, 24);
    second_ = edit(this, "编辑框3", "", true, 152, 502, 24, 20);
    label(this, "标签5", "秒", 180, 500, 16, 24);
    threads_ = edit(this, "编辑框6", "2", true, 200, 502, 24, 20);
    label(this, "标签10", "线程", 228, 500, 36, 24);
    auto* note = label(this, "标签9",
                       "软件支持自定义线程定时及领取，请斟酌配置与网速情况设置线程，"
                       "定时教程见程序附带的 README 说明。",
                       0, 525, 204, 49);
    note->setWordWrap(true);
    note->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    grab_ = button(this, "按钮_活动抢领1", "定时", 212, 527, 63, 50);
    label(this, "标签7", "活动ID：", 288, 530, 52, 24);
    activity_id_ = edit(this, "编辑框_活动ID", "", false, 339, 531, 50, 20);
    flow_label_ = label(this, "标签8", "道具ID：", 288, 554, 52, 24);
    flow_id_ = edit(this, "编辑框_道具ID", "", false, 339, 556, 50, 20);

    output_ = place(new QPlainTextEdit(this), "编辑框_输出", 2, 104, 395, 485);
    output_->setFrameShape(QFrame::NoFrame);
    output_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    output_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    output_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    output_->setReadOnly(false);
    output_->setMaximumBlockCount(0);  // no limit
    {
        QPalette p = output_->palette();
        p.setColor(QPalette::Base, QColor(4, 4, 4));
        p.setColor(QPalette::Text, QColor(236, 236, 236));
        output_->setPalette(p);
        // The skin must not repaint the box in its own colours.
        output_->setStyleSheet(
            "QPlainTextEdit { color: rgb(236,236,236); background-color: rgb(4,4,4);"
            " border: none; selection-background-color: rgb(60,110,170); }"
            // A dark scroll bar, so the box reads as one piece.
            "QScrollBar:vertical { background: rgb(20,20,20); width: 12px; margin: 0; }"
            "QScrollBar::handle:vertical { background: rgb(78,78,78); min-height: 24px;"
            " border-radius: 4px; margin: 2px; }"
            "QScrollBar::handle:vertical:hover { background: rgb(110,110,110); }"
            "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
            "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }");
    }

    record_query_ = button(this, "按钮_领取查询", "领取查询", 10, 594, 71, 32);
    role_scan_ = button(this, "按钮_角色扫描", "角色扫描", 86, 594, 71, 32);
    collect_ = button(this, "按钮_活动采集", "活动采集", 162, 594, 72, 32);
    stats_query_ = button(this, "按钮_常规查询", "常规查询", 239, 594, 71, 32);
    reveal_ = button(this, "按钮_活动抢领", "活动抢领", 315, 594, 70, 32);

    record_list_ = report_list(this, "超级列表框1", 399, 0, 402, 193,
                               {{"道具名称", 150}, {"道具价格", 100}, {"领取时间", 140}});
    banner_ = place(new QLabel(this), "图片框2", 400, 192, 400, 151);
    banner_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    banner_->setPixmap(banner_picture());
    activity_list_ = report_list(
        this, "超级列表框2", 399, 342, 402, 281,
        {{"活动名称 双击打开", 200}, {"开始时间", 100}, {"结束时间", 100}, {"活动地址", 50}});
    activity_list_->setContextMenuPolicy(Qt::CustomContextMenu);

    activity_menu_ = new QMenu(this);
    activity_menu_->setObjectName(u8("超列"));
    activity_menu_->addAction(u8("复制地址"))->setObjectName(u8("复制地址"));
}

void MainWindow::wire_events() {
    // Every command's control is found by the name the command table gives it.
    for (const CommandRow& row : command_table) {
        const Command command = row.command;
        const QString name = u8(std::string(row.control).c_str());
        auto fire = [this, command] { press(command); };
        switch (row.trigger) {
            case Trigger::click:
                if (auto* b = findChild<QPushButton*>(name))
                    connect(b, &QPushButton::clicked, this, fire);
                break;
            case Trigger::menu_item: {
                const QStringList path = name.split('/');
                QMenu* menu = path.size() == 2 ? findChild<QMenu*>(path[0]) : nullptr;
                QAction* item = menu ? menu->findChild<QAction*>(path[1]) : nullptr;
                if (item)
                    connect(item, &QAction::triggered, this, fire);
                break;
            }
            case Trigger::double_click:
                if (auto* list = findChild<QTreeWidget*>(name))
                    connect(list, &QTreeWidget::itemDoubleClicked, this, fire);
                break;
        }
    }
    connect(reveal_, &QPushButton::clicked, this, &MainWindow::reveal_grab_panel);
    connect(clock_, &QTimer::timeout, this, &MainWindow::clock_tick);
    connect(option_cf_, &QRadioButton::clicked, this, &MainWindow::update_option_controls);
    connect(option_qvip_, &QRadioButton::clicked, this, &MainWindow::update_option_controls);
    connect(option_cf_, &QRadioButton::toggled, this, [this](bool on) { ui_->note_cf_option(on); });

    connect(area_list_, &QComboBox::currentIndexChanged, this,
            [this](int i) { ui_->note_area_index(i); });
    for (EditBox box : {EditBox::hour, EditBox::minute, EditBox::second, EditBox::threads,
                        EditBox::activity_id, EditBox::flow_id}) {
        connect(edit_box(box), &QLineEdit::textChanged, this,
                [this, box](const QString& t) { ui_->note_edit_text(box, tx(t)); });
    }

    connect(activity_list_, &QTreeWidget::itemSelectionChanged, this, [this] {
        const auto selected = activity_list_->selectedItems();
        ui_->note_activity_selection(
            selected.isEmpty() ? -1 : activity_list_->indexOfTopLevelItem(selected.front()));
    });
    connect(activity_list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QTreeWidgetItem* item = activity_list_->itemAt(at);
        if (!item)
            return;
        activity_list_->setCurrentItem(item);
        activity_menu_->popup(activity_list_->viewport()->mapToGlobal(at));
    });
}

QLineEdit* MainWindow::edit_box(EditBox box) const {
    switch (box) {
        case EditBox::hour:
            return hour_;
        case EditBox::minute:
            return minute_;
        case EditBox::second:
            return second_;
        case EditBox::threads:
            return threads_;
        case EditBox::activity_id:
            return activity_id_;
        case EditBox::flow_id:
            return flow_id_;
    }
    return nullptr;
}

bool MainWindow::cf_option_checked() const {
    return option_cf_->isChecked();
}

void MainWindow::press(Command command) {
    commands_.press(command, context_);
}

void MainWindow::apply_start_geometry() {
    const QSize extra = frame_extra(this);
    resize(start_width - extra.width(), start_height - extra.height());
    move(start_left, start_top);
}

void MainWindow::set_outer_width(int width) {
    resize(width - frame_extra(this).width(), height());
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (placed_after_show_)
        return;
    placed_after_show_ = true;
    // A window manager adds its frame only once the window is mapped.
    QTimer::singleShot(0, this, [this] {
        if (!frame_extra(this).isNull())
            apply_start_geometry();
    });
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    update_right_column();
}

void MainWindow::update_right_column() {
    // At the narrow start width only a few pixels of the right column would
    // lie inside the window; it shows once the window has been widened.
    const bool shown = width() >= 420;
    for (QWidget* w : {static_cast<QWidget*>(record_list_), static_cast<QWidget*>(banner_),
                       static_cast<QWidget*>(activity_list_)}) {
        w->setVisible(shown);
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    // Workers still waiting for a moment (the timed grab) end without acting.
    closing_.request_stop();
    emit closed();
}

void MainWindow::append_output_now(const QString& text) {
    // Reports carry Windows line breaks; the widget breaks lines on "\n".
    QString s = text;
    s.replace(u8("\r\n"), u8("\n"));
    s.remove(QChar('\r'));
    QTextCursor end(output_->document());
    end.movePosition(QTextCursor::End);
    end.insertText(s);
    output_->setTextCursor(end);
    output_->ensureCursorVisible();
}

void MainWindow::apply_skin() {
    // The skin is a style sheet carried in the program's resources; Qt's style
    // engine plays the part of the skin library. A missing skin changes nothing.
    const SkinLoader loader = state_->skin_loader();
    std::string bytes;
    if (loader.holds_library()) {
        QFile file(QString::fromStdString(loader.source));
        if (file.open(QIODevice::ReadOnly))
            bytes = file.readAll().toStdString();
    }
    state_->set_skin_data(bytes);
    state_->set_skin_adjust({0, 0, 0});
    if (!bytes.empty())
        qApp->setStyleSheet(QString::fromUtf8(bytes.data(), bytes.size()));
}

void MainWindow::run_creation_handler(const StartOptions& options) {
    apply_skin();

    {
        QMessageBox welcome(this);
        welcome.setObjectName(u8("信息框_欢迎"));
        welcome.setWindowTitle(u8("Velkor"));
        welcome.setText(u8("欢迎使用DEzuriVelkor"));
        welcome.setIcon(QMessageBox::NoIcon);
        welcome.setStandardButtons(QMessageBox::Ok);
        if (QAbstractButton* ok = welcome.button(QMessageBox::Ok)) {
            ok->setIcon(QIcon());
            ok->setMinimumSize(72, 26);
        }
        QTimer::singleShot(0, &welcome, [&welcome, &options] {
            if (options.on_welcome_shown)
                options.on_welcome_shown();
            if (options.auto_close_welcome)
                welcome.accept();
        });
        welcome.exec();
    }

    ui_->append_output(gbk("提示：快速登录—活动获取完成—绑定大区—一键领取—玩耍\r\n"));
    ui_->append_output(gbk("提示：本软件由 DEzuri 编写，交流与反馈请联系 velkor@example.org\r\n"));

    sponsor_ = std::make_unique<SponsorWindow>();
    sponsor_->show();

    state_->set_area_codes(split(region::area_codes_text(), "\r\n"));
    state_->set_region_table(split(region::region_text(), "\r\n"));
}

void MainWindow::reveal_grab_panel() {
    output_->resize(output_->width(), 366);
    if (!clock_->isActive()) {
        clock_->start(1000);
        clock_tick();  // show the time at once rather than a second later
    }
}

void MainWindow::clock_tick() {
    clock_label_->setText(qs(clock_label_text(context_.clock->now())));
}

void MainWindow::update_option_controls() {
    const bool cf = option_cf_->isChecked();
    flow_label_->setVisible(cf);
    flow_id_->setVisible(cf);
}

}  // namespace velkor
