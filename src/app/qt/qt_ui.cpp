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

bool in_range(int i, size_t size) {
    return i >= 0 && static_cast<size_t>(i) < size;
}

void add_row(QTreeWidget* list, const QStringList& cells) {
    auto* item = new QTreeWidgetItem(list, cells);
    list->scrollToItem(item);
}

}  // namespace

QtUi::QtUi(MainWindow* window) : window_(window) {
    auto* combo = window->area_list();
    for (int i = 0; i < combo->count(); ++i)
        area_items_.push_back(tx(combo->itemText(i)));
    area_index_ = combo->currentIndex();
    for (size_t b = 0; b < edits_.size(); ++b) {
        edits_[b] = tx(window->edit_box(static_cast<EditBox>(b))->text());
    }
    cf_ = window->cf_option_checked();
}

QtUi::~QtUi() = default;

void QtUi::detach() {
    std::lock_guard lock(mutex_);
    window_ = nullptr;
}

template <class Apply>
void QtUi::post_locked(Apply apply) {
    MainWindow* w = window_.data();
    if (!w)
        return;
    // Queued even on the window thread: one queue keeps every thread's changes
    // in the order the copy took them.
    QMetaObject::invokeMethod(
        w, [w, apply = std::move(apply)]() mutable { apply(w); }, Qt::QueuedConnection);
}

void QtUi::append_output(const Text& text) {
    QString s = qs(text);
    std::lock_guard lock(mutex_);
    post_locked([s](MainWindow* w) { w->append_output_now(s); });
}

int QtUi::selected_area_index() const {
    std::lock_guard lock(mutex_);
    return area_index_;
}

Text QtUi::selected_area_text() const {
    std::lock_guard lock(mutex_);
    return in_range(area_index_, area_items_.size()) ? area_items_[area_index_] : Text{};
}

TextList QtUi::area_items() const {
    std::lock_guard lock(mutex_);
    return area_items_;
}

void QtUi::select_area(int index) {
    std::lock_guard lock(mutex_);
    if (!in_range(index, area_items_.size()))
        return;
    area_index_ = index;
    post_locked([index](MainWindow* w) { w->area_list()->setCurrentIndex(index); });
}

Text QtUi::edit_text(EditBox box) const {
    std::lock_guard lock(mutex_);
    return edits_[static_cast<int>(box)];
}

bool QtUi::cf_option_selected() const {
    std::lock_guard lock(mutex_);
    return cf_;
}

void QtUi::set_window_width(int width) {
    std::lock_guard lock(mutex_);
    post_locked([width](MainWindow* w) { w->set_outer_width(width); });
}

void QtUi::clear_activity_rows() {
    std::lock_guard lock(mutex_);
    activity_rows_.clear();
    activity_selected_ = -1;
    post_locked([](MainWindow* w) { w->activity_list()->clear(); });
}

void QtUi::add_activity_row(const Text& name, const Text& start, const Text& end,
                            const Text& link) {
    QStringList cells{qs(name), qs(start), qs(end), qs(link)};
    std::lock_guard lock(mutex_);
    activity_rows_.push_back({name, start, end, link});
    post_locked([cells](MainWindow* w) { add_row(w->activity_list(), cells); });
}

int QtUi::activity_row_count() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(activity_rows_.size());
}

Text QtUi::activity_cell(int row, int column) const {
    std::lock_guard lock(mutex_);
    if (!in_range(row, activity_rows_.size()) || column < 1 || column > 4)
        return {};
    return activity_rows_[row][column - 1];
}

int QtUi::selected_activity_row() const {
    std::lock_guard lock(mutex_);
    return activity_selected_;
}

void QtUi::clear_record_rows() {
    std::lock_guard lock(mutex_);
    record_rows_.clear();
    post_locked([](MainWindow* w) { w->record_list()->clear(); });
}

void QtUi::add_record_row(const Text& name, const Text& price, const Text& time) {
    QStringList cells{qs(name), qs(price), qs(time)};
    std::lock_guard lock(mutex_);
    record_rows_.push_back({name, price, time});
    post_locked([cells](MainWindow* w) { add_row(w->record_list(), cells); });
}

int QtUi::record_row_count() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(record_rows_.size());
}

Text QtUi::record_cell(int row, int column) const {
    std::lock_guard lock(mutex_);
    if (!in_range(row, record_rows_.size()) || column < 1 || column > 3)
        return {};
    return record_rows_[row][column - 1];
}

void QtUi::set_avatar(const std::string& bytes) {
    QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    std::lock_guard lock(mutex_);
    post_locked([data](MainWindow* w) {
        QPixmap picture;
        // Bytes that are no picture leave the box empty.
        if (!picture.loadFromData(data)) {
            w->avatar_box()->clear();
            return;
        }
        w->avatar_box()->setPixmap(
            picture.scaled(w->avatar_box()->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    });
}

void QtUi::show_avatar() {
    std::lock_guard lock(mutex_);
    post_locked([](MainWindow* w) { w->avatar_box()->show(); });
}

void QtUi::set_clipboard_text(const Text& text) {
    QString s = qs(text);
    std::lock_guard lock(mutex_);
    post_locked([s](MainWindow*) { QGuiApplication::clipboard()->setText(s); });
}

void QtUi::open_in_browser(const Text& url) {
    QUrl address = QUrl::fromUserInput(qs(url));
    std::lock_guard lock(mutex_);
    post_locked([address](MainWindow*) {
        if (address.isValid())
            QDesktopServices::openUrl(address);
    });
}

void QtUi::pump_events() {
    auto* app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread())
        QCoreApplication::processEvents();
}

void QtUi::note_area_index(int index) {
    std::lock_guard lock(mutex_);
    if (in_range(index, area_items_.size()))
        area_index_ = index;
}

void QtUi::note_edit_text(EditBox box, Text text) {
    std::lock_guard lock(mutex_);
    edits_[static_cast<int>(box)] = std::move(text);
}

void QtUi::note_cf_option(bool cf) {
    std::lock_guard lock(mutex_);
    cf_ = cf;
}

void QtUi::note_activity_selection(int row) {
    std::lock_guard lock(mutex_);
    activity_selected_ = in_range(row, activity_rows_.size()) ? row : -1;
}

}  // namespace velkor
