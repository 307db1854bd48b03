#include "support/fake_ui.h"

#include "region/tables.h"

namespace velkor::testing {
namespace {

WindowModel start_model() {
    std::array<Text, edit_box_count> edits;
    edits[static_cast<int>(EditBox::threads)] = "2";
    return WindowModel(split(region::area_names_text(), "\r\n"), 0, edits, true);
}

}  // namespace

FakeUi::FakeUi() : ModelUi(start_model()) {}

void FakeUi::changed(UiChange change) {
    std::lock_guard lock(log_mutex_);
    log_.push_back(std::move(change));
}

void FakeUi::pump_events() {
    std::lock_guard lock(log_mutex_);
    ++pumps_;
}

void FakeUi::set_area_items(TextList items) {
    follow([&](WindowModel& m) { m.set_area_items(std::move(items)); });
}

void FakeUi::set_edit_text(EditBox box, Text text) {
    follow([&](WindowModel& m) { m.set_edit(box, std::move(text)); });
}

void FakeUi::set_cf_option(bool cf) {
    follow([cf](WindowModel& m) { m.set_cf_option(cf); });
}

void FakeUi::select_activity_row(int row) {
    follow([row](WindowModel& m) { m.select_activity(row); });
}

std::vector<UiChange> FakeUi::changes() const {
    std::lock_guard lock(log_mutex_);
    return log_;
}

template <class C>
std::vector<C> FakeUi::all_of() const {
    std::vector<C> found;
    std::lock_guard lock(log_mutex_);
    for (const UiChange& change : log_) {
        if (const C* c = std::get_if<C>(&change))
            found.push_back(*c);
    }
    return found;
}

std::vector<Text> FakeUi::outputs() const {
    std::vector<Text> texts;
    for (const auto& o : all_of<ui_change::Output>())
        texts.push_back(o.text);
    return texts;
}

Text FakeUi::output() const {
    Text all;
    for (const auto& o : all_of<ui_change::Output>())
        all += o.text;
    return all;
}

int FakeUi::window_width() const {
    const auto widths = all_of<ui_change::WindowWidth>();
    return widths.empty() ? 404 : widths.back().width;
}

std::vector<ActivityRow> FakeUi::activity_rows() const {
    return model().activities();
}

std::vector<RecordRow> FakeUi::record_rows() const {
    return model().records();
}

int FakeUi::record_clears() const {
    return static_cast<int>(all_of<ui_change::RecordsCleared>().size());
}

int FakeUi::activity_clears() const {
    return static_cast<int>(all_of<ui_change::ActivitiesCleared>().size());
}

std::string FakeUi::avatar() const {
    const auto pictures = all_of<ui_change::Avatar>();
    return pictures.empty() ? std::string() : pictures.back().bytes;
}

bool FakeUi::avatar_shown() const {
    return !all_of<ui_change::AvatarShown>().empty();
}

Text FakeUi::clipboard() const {
    const auto copies = all_of<ui_change::Clipboard>();
    return copies.empty() ? Text() : copies.back().text;
}

std::vector<Text> FakeUi::opened_urls() const {
    std::vector<Text> urls;
    for (const auto& o : all_of<ui_change::OpenUrl>())
        urls.push_back(o.url);
    return urls;
}

int FakeUi::pumps() const {
    std::lock_guard lock(log_mutex_);
    return pumps_;
}

}  // namespace velkor::testing
