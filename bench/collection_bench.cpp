// The cost of one whole activity collection against the in-process simulator:
// the list request, unescaping, cutting, the rows, the cache writes and the load.
#include <benchmark/benchmark.h>
#include "claim/collection.h"
#include "platform/profile.h"
#include "tests/support/fake_ui.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_data_dir.h"

namespace {

void BM_Collection(benchmark::State& st) {
    velkor::test::TempDataDir data("bench");
    velkor::test::SimFixture fixture;
    auto state = std::make_shared<velkor::AppState>();
    auto ui = std::make_shared<velkor::testing::FakeUi>();
    velkor::Context context{state, ui};
    state->set_logged_in(true);
    for (auto _ : st) {
        velkor::delete_activity_cache();
        velkor::collection_worker(context);
    }
    st.counters["rows"] = ui->activity_row_count();
    st.counters["cached"] = static_cast<double>(state->activity_names().size());
}
BENCHMARK(BM_Collection)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
