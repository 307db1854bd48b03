// Figures for the text operations on a megabyte answer.
#include <benchmark/benchmark.h>

#include <string>

#include "web/text.h"

namespace {

// A JSONP activity list of about 1 MB, names and messages written as \u escapes.
const velkor::Text& answer() {
    static const velkor::Text text = [] {
        const std::string names[] = {
            R"(\u7a7f\u8d8a\u706b\u7ebf\u6bcf\u65e5\u7b7e\u5230)",
            R"(\u9886\u53d6\u6210\u529f\uff0c\u8bf7\u67e5\u6536)",
            R"(\u4f1a\u5458\u4e13\u4eab\u793c\u5305)",
        };
        std::string s = "jsonp_cb({\"ret\":0,\"msg\":\"ok\",\"list\":[";
        for (int i = 0; s.size() < 1024 * 1024; ++i) {
            const std::string n = std::to_string(i);
            s += "{\"iActId\":\"" + n + "\",\"sName\":\"" + names[i % 3] + " " + n +
                 "\",\"sUrl\":\"https:\\/\\/act.example.com\\/cp\\/a" + n +
                 "\\/index.html\",\"dtEnd\":\"2024-12-31 23:59:59\",\"sMsg\":\"it's " +
                 names[(i + 1) % 3] + "\"},";
        }
        s += "{}],\"total\":\"12345\"})";
        return s;
    }();
    return text;
}

void BM_UnicodeUnescape(benchmark::State& state) {
    const velkor::Text& in = answer();
    for (auto _ : state) {
        benchmark::DoNotOptimize(velkor::unicode_unescape(in));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}
BENCHMARK(BM_UnicodeUnescape)->Unit(benchmark::kMillisecond);

// The same answer with a lone line feed, which sends it down the byte-wise route.
void BM_UnicodeUnescapeFallback(benchmark::State& state) {
    const velkor::Text in = answer() + "\n";
    for (auto _ : state) {
        benchmark::DoNotOptimize(velkor::unicode_unescape(in));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}
BENCHMARK(BM_UnicodeUnescapeFallback)->Unit(benchmark::kMillisecond);

// Markers near the end: the whole answer is scanned.
void BM_TextBetween(benchmark::State& state) {
    const velkor::Text& in = answer();
    for (auto _ : state) {
        benchmark::DoNotOptimize(velkor::text_between(in, "\"total\":\"", "\""));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}
BENCHMARK(BM_TextBetween)->Unit(benchmark::kMillisecond);

// The unescaped answer is GBK: the scan steps over double-byte characters.
void BM_TextBetweenGbk(benchmark::State& state) {
    const velkor::Text in = velkor::unicode_unescape(answer());
    for (auto _ : state) {
        benchmark::DoNotOptimize(velkor::text_between(in, "\"total\":\"", "\""));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}
BENCHMARK(BM_TextBetweenGbk)->Unit(benchmark::kMillisecond);

void BM_Split(benchmark::State& state) {
    const velkor::Text& in = answer();
    size_t pieces = 0;
    for (auto _ : state) {
        const velkor::TextList list = velkor::split(in, "},{");
        pieces = list.size();
        benchmark::DoNotOptimize(list.data());
    }
    state.counters["pieces"] = static_cast<double>(pieces);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}
BENCHMARK(BM_Split)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
