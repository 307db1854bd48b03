// Resident memory over many runs: 1,000 collections, then 1,000 one-click claims,
// against the in-process simulator, each run whole before the next. Prints the
// resident size at the start, every 100 runs, at the end, the peak, and the
// growth per 100 runs once the first 100 have warmed the caches and the allocator.
// A program that keeps something per run shows it here as steady growth.
#include <httplib.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/model_ui.h"
#include "app/threads.h"
#include "claim/collection.h"
#include "claim/one_click.h"
#include "platform/clock.h"
#include "region/binding.h"
#include "region/tables.h"
#include "sim/activities.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_data_dir.h"

namespace {

using namespace velkor;

constexpr int kRuns = 1000;
constexpr int kStep = 100;
constexpr int kIdleMs = 120000;

// A window that keeps only its current contents: the test fake's change log
// grows with every line by design and would hide what the program keeps.
class QuietUi final : public ModelUi {
  public:
    QuietUi() : ModelUi(WindowModel(split(region::area_names_text(), "\r\n"), 0, {}, true)) {}
    void pump_events() override {}

  protected:
    void changed(UiChange) override {}
};

// A field of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 when absent.
long status_kb(const std::string& field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::stol(line.substr(field.size() + 1));
        }
    }
    return -1;
}

struct Series {
    const char* name;
    std::vector<long> rss;  // after 0, 100, ..., kRuns runs
};

void print(const Series& s) {
    std::printf("%-12s", s.name);
    for (size_t i = 0; i < s.rss.size(); ++i) {
        std::printf(" %7ld", s.rss[i]);
    }
    const long warm = s.rss[1];
    const long end = s.rss.back();
    const double per_step = static_cast<double>(end - warm) / (kRuns / kStep - 1);
    std::printf(
        "\n%-12s start %ld kB, end %ld kB, growth after the first %d runs: %+.1f kB "
        "per %d runs\n",
        "", s.rss.front(), end, kStep, per_step, kStep);
}

// The simulator keeps its latest 10,000 requests by design: emptied after every
// run, so that only what the program keeps counts.
template <class Run>
bool measure(Series& s, sim::Simulator& sim, Run run) {
    s.rss.push_back(status_kb("VmRSS"));
    for (int i = 1; i <= kRuns; ++i) {
        const bool ended = run();
        sim.clear_log();
        if (!ended) {
            std::fprintf(stderr, "%s: run %d did not end\n", s.name, i);
            return false;
        }
        if (i % kStep == 0) {
            s.rss.push_back(status_kb("VmRSS"));
        }
    }
    return true;
}

}  // namespace

int main() {
    test::TempDataDir data("bench");
    test::SimFixture fixture;
    sim::Simulator& sim = fixture.sim();
    // Five activities (the last entry of an answer is never read), so that a claim
    // run stays short.
    const std::vector<sim::SimActivity> listed = sim::listed_activities(sim);
    std::vector<sim::SimActivity> few(listed.begin(), listed.begin() + 5);
    few.push_back(listed[6]);
    const std::string answer = sim::activity_list_answer(few);
    sim.handle("activity_center_host", "POST", "/actcenter/queryActList",
               [answer](const httplib::Request&, httplib::Response& res) {
                   res.set_content(answer, "application/json");
               });

    auto state = std::make_shared<AppState>();
    auto ui = std::make_shared<QuietUi>();
    state->set_area_codes(split(region::area_codes_text(), "\r\n"));
    state->set_region_table(split(region::region_text(), "\r\n"));
    state->set_cookie_text("uin=o012345678; skey=@Vk7Q2xLp9");
    state->set_uin("12345678");
    state->set_csrf_token("1840317246");
    state->set_logged_in(true);
    Context context{state, ui};
    Commands commands;
    plug_one_click(commands);
    plug_binding(commands);

    std::printf("VmRSS in kB at the start and after every %d runs\n", kStep);
    const long start = status_kb("VmRSS");

    Series collections{"collections", {}};
    // As the login's collection: the cache emptied first, so that it holds one
    // collection and not every one so far (which it does by design between logins).
    if (!measure(collections, sim, [&] {
            collection_worker(context, /*fresh_cache=*/true);
            return true;
        })) {
        return 1;
    }
    print(collections);

    // The claims need each activity's id: one binding first.
    commands.press(Command::bind_area, context);
    if (!wait_idle(kIdleMs)) {
        std::fprintf(stderr, "binding did not end\n");
        return 1;
    }
    Series claims{"claims", {}};
    if (!measure(claims, sim, [&] {
            commands.press(Command::one_click, context);
            return wait_idle(kIdleMs);
        })) {
        return 1;
    }
    print(claims);

    std::printf(
        "whole run: start %ld kB, end %ld kB, peak %ld kB; %zu activities, "
        "cookie text %zu bytes\n",
        start, status_kb("VmRSS"), status_kb("VmHWM"), state->activity_names().size(),
        state->cookie_text().size());
    return 0;
}
