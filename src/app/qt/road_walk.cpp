#include "app/qt/road_walk.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <chrono>

#include "app/qt/automation.h"
#include "app/qt/main_window.h"
#include "app/threads.h"
#include "platform/clock.h"

namespace velkor {
namespace {

struct Step {
    const char* name;  // for pictures and the report
    const char* control;
};

// The user's order. 活动抢领 reveals the grab panel; 定时 starts the grab.
const Step kSteps[] = {
    {"login", "按钮_登录"},          {"bind", "按钮_绑定大区"},
    {"one-click", "按钮_一键领取"},  {"records", "按钮_领取查询"},
    {"statistics", "按钮_常规查询"}, {"role-scan", "按钮_角色扫描"},
    {"grab-panel", "按钮_活动抢领"}, {"timed-grab", "按钮_活动抢领1"},
};

}  // namespace

RoadWalk::RoadWalk(MainWindow& window, Settings settings, std::function<void()> done)
    : QObject(&window), window_(window), settings_(std::move(settings)), done_(std::move(done)) {}

bool RoadWalk::finished() const {
    return step_ >= std::size(kSteps);
}

size_t RoadWalk::command_count() const {
    return std::size(kSteps);
}

void RoadWalk::start() {
    next();
}

void RoadWalk::wait_then(std::function<void()> then) {
    // Ended when no worker runs; a little more lets the queued widget changes land.
    auto* poll = new QTimer(this);
    poll->setInterval(20);
    connect(poll, &QTimer::timeout, this, [this, poll, then = std::move(then)] {
        if (running_workers() > 0) {
            return;
        }
        poll->stop();
        poll->deleteLater();
        QTimer::singleShot(150, this, then);
    });
    poll->start();
}

void RoadWalk::next() {
    if (step_ >= std::size(kSteps)) {
        if (done_) {
            done_();
        }
        return;
    }
    const Step& step = kSteps[step_];
    if (std::string(step.control) == "按钮_活动抢领1") {
        // A target a few seconds ahead, as a user would type it.
        const long long now_ms = platform::local_ms(window_.context().clock->now());
        auto at = platform::local_time_at(now_ms + settings_.grab_lead_s * 1000);
        // The clock text leaves a zero second out, so a target typed with second 0
        // is never met: go one second further.
        if (at.second == 0) {
            at = platform::local_time_at(now_ms + (settings_.grab_lead_s + 1) * 1000);
        }
        window_.edit_box(EditBox::hour)->setText(QString::number(at.hour));
        window_.edit_box(EditBox::minute)->setText(QString::number(at.minute));
        window_.edit_box(EditBox::second)->setText(QString::number(at.second));
        window_.edit_box(EditBox::threads)->setText(QString::number(settings_.grab_threads));
        window_.edit_box(EditBox::activity_id)->setText(settings_.grab_activity_id);
        window_.edit_box(EditBox::flow_id)->setText(settings_.grab_flow_id);
    }
    const long long start = platform::tick_ms();
    // The login window is modal: the click returns once it has closed.
    if (auto* button = window_.findChild<QPushButton*>(QString::fromUtf8(step.control))) {
        button->click();
    }
    wait_then([this, start, name = std::string(step.name)] {
        timings_.push_back({name, platform::tick_ms() - start});
        if (!settings_.picture_dir.isEmpty()) {
            const QString file = QString("%1/%2-%3.png")
                                     .arg(settings_.picture_dir)
                                     .arg(step_ + 1, 2, 10, QChar('0'))
                                     .arg(QString::fromStdString(name));
            save_screenshot(file);
        }
        ++step_;
        next();
    });
}

}  // namespace velkor
