#pragma once
// The whole road as a user walks it, pressed by the program itself: login, the
// binding, the one-click claim, both queries, the role scan and a timed grab a
// few seconds ahead. Each command is pressed once the previous one has ended
// (no worker left running); a picture of the screen is saved after each, and the
// time each took is kept for the report. Used by make run without a display and
// by the end-to-end test.
#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

namespace velkor {

class MainWindow;

class RoadWalk final : public QObject {
  public:
    struct Settings {
        QString picture_dir;  // empty: no pictures
        int grab_lead_s = 2;  // the grab's target, seconds after its press
        int grab_threads = 3;
        QString grab_activity_id = "51000";
        QString grab_flow_id = "300001";
    };
    struct Timing {
        std::string command;
        long long ms;
    };

    RoadWalk(MainWindow& window, Settings settings, std::function<void()> done);
    void start();

    const std::vector<Timing>& timings() const { return timings_; }
    // Every command was pressed and has ended.
    bool finished() const;
    size_t command_count() const;

  private:
    void next();
    void wait_then(std::function<void()> then);

    MainWindow& window_;
    Settings settings_;
    std::function<void()> done_;
    size_t step_ = 0;
    std::vector<Timing> timings_;
};

}  // namespace velkor
