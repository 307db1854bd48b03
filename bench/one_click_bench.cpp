// The one-click claim's own cost per request against the in-process simulator.
//
// One run is every request of both sides, one after the other on one thread: the
// partner steps (membership data script, membership claims, premium-club claims)
// and the claim worker (each collected activity's page and one claim per flow),
// with the ids taken from the simulator's activity list. The baseline replays the
// very requests of one run, byte for byte in method, target, header lines and
// body, with a bare libcurl call each (new handle per call, as the engine does):
// its time is the simulator's answer plus the least a client can spend. The
// difference per request is what the program itself spends. The real press,
// where both sides run at once, is timed beside them.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <vector>

#include "app/threads.h"
#include "claim/forms.h"
#include "claim/one_click.h"
#include "platform/http_client.h"
#include "region/tables.h"
#include "script/csrf_token.h"
#include "sim/activities.h"
#include "tests/support/fake_ui.h"
#include "tests/support/sim_fixture.h"

namespace {

using velkor::Text;
using velkor::TextList;

velkor::test::SimFixture& fixture() {
    static auto* f = new velkor::test::SimFixture();
    return *f;
}

struct Session {
    std::shared_ptr<velkor::AppState> state = std::make_shared<velkor::AppState>();
    std::shared_ptr<velkor::testing::FakeUi> ui = std::make_shared<velkor::testing::FakeUi>();
    velkor::Context context{state, ui};

    Session() {
        velkor::AppState& s = *state;
        s.set_cookie_text("uin=o012345678; skey=@Vk7Q2xLp9");
        s.set_uin("12345678");
        s.set_csrf_token(velkor::csrf_token("@Vk7Q2xLp9"));
        s.set_area_codes(velkor::split(velkor::region::area_codes_text(), "\r\n"));
        s.set_region_table(velkor::split(velkor::region::region_text(), "\r\n"));
        s.set_role_name(velkor::gbk("火线小兵"));
        s.set_vip_activity_ids(velkor::split(velkor::vip_activity_ids_text(), "\r\n"));
        s.set_club_flow_ids(velkor::split(velkor::club_flow_ids_text(), "\r\n"));
        TextList names, urls, ids;
        for (const auto& a : velkor::sim::listed_activities(fixture().sim())) {
            if (a.partner || a.activity_id <= 0) {
                continue;
            }
            names.push_back(velkor::gbk(a.name));
            urls.push_back(a.link);
            ids.push_back(std::to_string(a.activity_id));
        }
        s.set_activities(names, urls);
        s.set_activity_ids(ids);
        s.set_logged_in(true);
    }

    // Both sides, one request after the other.
    void run() {
        velkor::partner_steps(context);
        velkor::claim_worker(context);
    }
};

std::vector<velkor::sim::LoggedRequest>& one_run_requests() {
    static auto* requests = [] {
        fixture().sim().clear_log();
        Session().run();
        return new std::vector<velkor::sim::LoggedRequest>(fixture().sim().requests());
    }();
    return *requests;
}

void BM_OneClickSequential(benchmark::State& st) {
    Session session;
    for (auto _ : st) {
        session.run();
    }
    st.counters["requests"] = static_cast<double>(one_run_requests().size());
}
BENCHMARK(BM_OneClickSequential)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

void BM_OneClickPress(benchmark::State& st) {
    Session session;
    velkor::Commands commands;
    velkor::plug_one_click(commands);
    for (auto _ : st) {
        commands.press(velkor::Command::one_click, session.context);
        velkor::wait_idle(60000);
    }
}
BENCHMARK(BM_OneClickPress)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

size_t append_to(char* data, size_t size, size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

// A logged request as libcurl is given it: URL, header lines, body.
struct Replay {
    std::string url;
    std::vector<std::string> lines;
    bool post = false;
    std::string body;
};

std::vector<Replay> replays() {
    std::vector<Replay> out;
    for (const auto& r : one_run_requests()) {
        Replay p;
        p.url = "http://" + fixture().sim().address(r.host) + r.target;
        for (const auto& [name, value] : r.headers) {
            if (name != "Host" && name != "Content-Length") {
                p.lines.push_back(name + ": " + value);
            }
        }
        // What curl would add by itself; the engine removes these as well.
        for (const char* own : {"Accept:", "Expect:", "Content-Type:"}) {
            p.lines.emplace_back(own);
        }
        p.post = r.method == "POST";
        p.body = r.body;
        out.push_back(std::move(p));
    }
    return out;
}

void BM_BareCurlReplay(benchmark::State& st) {
    const std::vector<Replay> all = replays();
    for (auto _ : st) {
        for (const Replay& r : all) {
            CURL* curl = curl_easy_init();
            curl_slist* headers = nullptr;
            for (const std::string& line : r.lines) {
                headers = curl_slist_append(headers, line.c_str());
            }
            std::string body;
            std::string head;
            curl_easy_setopt(curl, CURLOPT_URL, r.url.c_str());
            curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
            curl_easy_setopt(curl, CURLOPT_PROXY, "");
            curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
            if (r.post) {
                curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                                 static_cast<curl_off_t>(r.body.size()));
                curl_easy_setopt(curl, CURLOPT_POSTFIELDS, r.body.data());
            }
            curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, append_to);
            curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
            curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, append_to);
            curl_easy_setopt(curl, CURLOPT_HEADERDATA, &head);
            curl_easy_perform(curl);
            curl_easy_cleanup(curl);
            curl_slist_free_all(headers);
            benchmark::DoNotOptimize(body.data());
        }
    }
}
BENCHMARK(BM_BareCurlReplay)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

// Prints as usual and keeps the median time per iteration of each benchmark.
class MedianReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.aggregate_name == "median" || run.aggregate_name.empty()) {
                // Seconds per iteration, whatever unit the table shows.
                times[run.run_name.function_name] =
                    run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            }
        }
    }
    std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
    velkor::platform::http_client_global_init();
    std::vector<char*> args(argv, argv + argc);
    char repetitions[] = "--benchmark_repetitions=5";
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    char aggregates[] = "--benchmark_report_aggregates_only=true";
    if (argc == 1) {
        args.push_back(repetitions);
        args.push_back(interleave);
        args.push_back(aggregates);
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    const size_t n = one_run_requests().size();
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto at = [&](const char* name) {
        const auto it = reporter.times.find(name);
        return it == reporter.times.end() ? -1.0 : it->second;
    };
    const double program = at("BM_OneClickSequential");
    const double bare = at("BM_BareCurlReplay");
    const double press = at("BM_OneClickPress");
    if (n > 0 && program > 0 && bare > 0) {
        const double per_program = program / static_cast<double>(n) * 1e6;
        const double per_bare = bare / static_cast<double>(n) * 1e6;
        std::printf("one-click run: %zu requests\n", n);
        std::printf("  per request, one after the other: %.1f us\n", per_program);
        std::printf(
            "  per request, bare libcurl replay (simulator's answer + least client): "
            "%.1f us\n",
            per_bare);
        std::printf("  the program's own time per request: %.1f us (x%.2f the baseline)\n",
                    per_program - per_bare, per_program / per_bare);
        if (press > 0) {
            std::printf(
                "  the press, both sides at once (role lookup included): %.2f ms, "
                "%.1f us per request\n",
                press * 1e3, press / static_cast<double>(n + 1) * 1e6);
        }
    }
    fixture().sim().stop();
    benchmark::Shutdown();
    return 0;
}
