// The request engine's cost: the cookie merge alone, and a whole loopback
// request against the simulator compared with a bare libcurl call that puts
// the same request on the wire (new handle per call in both).
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <vector>

#include "sim/simulator.h"
#include "web/cookie_store.h"
#include "web/cookies.h"
#include "web/http.h"

namespace {

using velkor::Text;

Text numbered_items(const char* prefix, int count) {
    Text text;
    for (int i = 0; i < count; ++i) {
        text += (i ? "; " : "") + std::string(prefix) + std::to_string(i) + "=value" +
                std::to_string(i * 7919);
    }
    return text;
}

void BM_MergeCookies100(benchmark::State& state) {
    const Text kept = numbered_items("k", 100);
    const Text answer = numbered_items("k", 10) + "; fresh=1; k3=deleted";
    for (auto _ : state) {
        Text cookies = kept;
        Text answer_cookies = answer;
        benchmark::DoNotOptimize(velkor::merge_cookies(cookies, answer_cookies));
    }
}
BENCHMARK(BM_MergeCookies100);

velkor::sim::Simulator& simulator() {
    static std::unique_ptr<velkor::sim::Simulator> sim = [] {
        auto s = std::make_unique<velkor::sim::Simulator>();
        if (!s->start(std::cerr)) {
            std::abort();
        }
        return s;
    }();
    return *sim;
}

std::string echo_url() {
    return "http://" + simulator().address("game_apps_host") + "/__sim/echo?a=1";
}

const Text kCookieText = "uin=o0123456789; skey=@AbCdEfGhI; p_uin=o0123456789; pt4_token=xyz";

void BM_EngineRequest(benchmark::State& state) {
    const std::string url = echo_url();
    velkor::LocalCookies cookies(kCookieText);
    for (auto _ : state) {
        const auto r = velkor::http_request({.url = url, .cookies = &cookies, .merge = true});
        benchmark::DoNotOptimize(r.body.data());
    }
}
BENCHMARK(BM_EngineRequest)->UseRealTime()->MinTime(0.5);

size_t append_to(char* data, size_t size, size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

void BM_BareCurlRequest(benchmark::State& state) {
    const std::string url = echo_url();
    const std::string lines[] = {
        "Accept: */*",
        "Referer: " + url,
        "Accept-Language: zh-cn",
        "Content-Type: application/x-www-form-urlencoded",
        "Cookie: " + kCookieText,
    };
    for (auto _ : state) {
        CURL* curl = curl_easy_init();
        curl_slist* headers = nullptr;
        for (const std::string& line : lines) {
            headers = curl_slist_append(headers, line.c_str());
        }
        std::string body;
        std::string head;
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_PROXY, "");
        curl_easy_setopt(curl, CURLOPT_USERAGENT, velkor::kDefaultUserAgent.data());
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
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
BENCHMARK(BM_BareCurlRequest)->UseRealTime()->MinTime(0.5);

// Prints as usual and keeps the median time per iteration of each benchmark.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.aggregate_name == "median" || run.aggregate_name.empty()) {
                times[run.run_name.function_name] = run.GetAdjustedRealTime();
            }
        }
    }
    std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
    velkor::platform::http_client_global_init();
    // Loopback timings drift with the machine's load: by default the two
    // request benchmarks run in interleaved repetitions and are compared by
    // their medians.
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
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto engine = reporter.times.find("BM_EngineRequest");
    const auto bare = reporter.times.find("BM_BareCurlRequest");
    if (engine != reporter.times.end() && bare != reporter.times.end() && bare->second > 0) {
        std::printf("engine / bare libcurl time per request: %.3f (target <= 1.2)\n",
                    engine->second / bare->second);
    }
    simulator().stop();
    benchmark::Shutdown();
    return 0;
}
