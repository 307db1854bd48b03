#include "app/qt/qt_ui.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QThread>
#include <QTreeWidget>
#include <QUrl>

#include "app/qt/main_window.h"
#include "app/qt/qt_text.h"

namespace velkor {
namespace {

WindowModel model_of(MainWindow* window) {
    TextList items;
    auto* combo = window->area_list();
    for (int i = 0; i < combo->count(); ++i)
        items.push_back(tx(combo->itemText(i)));
    std::array<Text, edit_box_count> edits;
    for (int b = 0; b < edit_box_count; ++b)
        edits[b] = tx(window->edit_box(static_cast<EditBox>(b))->text());
    return WindowModel(std::move(items), combo->currentIndex(), std::move(edits),
                       window->cf_option_checked());
}

void add_row(QTreeWidget* list, const QStringList& cells) {
    auto* item = new QTreeWidgetItem(list, cells);
    list->scrollToItem(item);
}

void show_picture(MainWindow* w, const QByteArray& data) {
    QPixmap picture;
    // Bytes that are no picture leave the box empty.
    if (!picture.loadFromData(data)) {
        w->avatar_box()->clear();
        return;
    }
    w->avatar_box()->setPixmap(
        picture.scaled(w->avatar_box()->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

// What a change does to the window; runs on the window thread.
std::function<void(MainWindow*)> widget_change(UiChange change) {
    using namespace ui_change;
    return std::visit(
        [](auto&& c) -> std::function<void(MainWindow*)> {
            using C = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<C, Output>) {
                return [s = qs(c.text)](MainWindow* w) { w->append_output_now(s); };
            } else if constexpr (std::is_same_v<C, AreaSelected>) {
                return [i = c.index](MainWindow* w) { w->area_list()->setCurrentIndex(i); };
            } else if constexpr (std::is_same_v<C, WindowWidth>) {
                return [width = c.width](MainWindow* w) { w->set_outer_width(width); };
            } else if constexpr (std::is_same_v<C, ActivitiesCleared>) {
                return [](MainWindow* w) { w->activity_list()->clear(); };
            } else if constexpr (std::is_same_v<C, ActivityAdded>) {
                QStringList cells{qs(c.row.name), qs(c.row.start), qs(c.row.end), qs(c.row.link)};
                return [cells](MainWindow* w) { add_row(w->activity_list(), cells); };
            } else if constexpr (std::is_same_v<C, RecordsCleared>) {
                return [](MainWindow* w) { w->record_list()->clear(); };
            } else if constexpr (std::is_same_v<C, RecordAdded>) {
                QStringList cells{qs(c.row.name), qs(c.row.price), qs(c.row.time)};
                return [cells](MainWindow* w) { add_row(w->record_list(), cells); };
            } else if constexpr (std::is_same_v<C, Avatar>) {
                QByteArray data(c.bytes.data(), static_cast<qsizetype>(c.bytes.size()));
                return [data](MainWindow* w) { show_picture(w, data); };
            } else if constexpr (std::is_same_v<C, AvatarShown>) {
                return [](MainWindow* w) { w->avatar_box()->show(); };
            } else if constexpr (std::is_same_v<C, Clipboard>) {
                return [s = qs(c.text)](MainWindow*) { QGuiApplication::clipboard()->setText(s); };
            } else {
                static_assert(std::is_same_v<C, OpenUrl>);
                return [address = QUrl::fromUserInput(qs(c.url))](MainWindow*) {
                    if (address.isValid())
                        QDesktopServices::openUrl(address);
                };
            }
        },
        std::move(change));
}

}  // namespace

QtUi::QtUi(MainWindow* window) : ModelUi(model_of(window)), window_(window) {}

QtUi::~QtUi() = default;

void QtUi::detach() {
    follow([this](WindowModel&) { window_ = nullptr; });
}

void QtUi::changed(UiChange change) {
    MainWindow* w = window_.data();
    if (!w)
        return;
    // Queued even on the window thread: one queue keeps every thread's changes
    // in the order the model took them.
    QMetaObject::invokeMethod(
        w, [w, apply = widget_change(std::move(change))] { apply(w); }, Qt::QueuedConnection);
}

void QtUi::pump_events() {
    auto* app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread())
        QCoreApplication::processEvents();
}

void QtUi::note_area_index(int index) {
    follow([index](WindowModel& m) { m.select_area(index); });
}

void QtUi::note_edit_text(EditBox box, Text text) {
    follow([box, &text](WindowModel& m) { m.set_edit(box, std::move(text)); });
}

void QtUi::note_cf_option(bool cf) {
    follow([cf](WindowModel& m) { m.set_cf_option(cf); });
}

void QtUi::note_activity_selection(int row) {
    follow([row](WindowModel& m) { m.select_activity(row); });
}

}  // namespace velkor
