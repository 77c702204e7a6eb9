// `zeltnvm listdev` on a simulated host of 16 adapters with 4 functions each, beside
// `zeltnvm version` (which runs no discovery) on the same host. The listdev's
// "x_version" counter is its mean wall time over version's in the same run; the
// target is at most 3.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "tests/support/run_program.h"

namespace {

using zelt::test::run_program;

struct Setup {
    zelt::test::TempDir dir;
    bool ok = false;

    Setup() {
        std::string adapters;
        for (int i = 0; i < 16; ++i) {
            if (i) adapters += ",";
            adapters += i % 2 ? R"({"device_type":5,"ports":4})" : R"({"device_type":8,"ports":2,"pfs_per_port":2})";
        }
        zelt::test::write_text_file(dir.file("config.json"), "{\"adapters\":[" + adapters + "]}");
        const auto r =
            run_program({ZELT_PROGRAM("zeltsim"), "create", dir.file("host"), "--config", dir.file("config.json")});
        ok = r.status == 0;
    }
};

Setup& setup() {
    static Setup s;
    return s;
}

// Mean wall seconds of one run of `command`.
double run(benchmark::State& state, const char* command) {
    Setup& s = setup();
    if (!s.ok) {
        state.SkipWithError("zeltsim create failed");
        return 0;
    }
    zelt::test::RunOptions o;
    o.env = {{"ZELTNVM_SIM", s.dir.file("host")}};
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const auto r = run_program({ZELT_PROGRAM("zeltnvm"), command}, o);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (r.status != 0) state.SkipWithError((std::string("zeltnvm ") + command + " failed: " + r.err).c_str());
    }
    return total / static_cast<double>(state.iterations());
}

// Wall seconds of one version run, measured by the version benchmark of this run.
double g_version_seconds = 0;

void BM_ZeltnvmVersion(benchmark::State& state) { g_version_seconds = run(state, "version"); }
BENCHMARK(BM_ZeltnvmVersion)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_ZeltnvmListdev(benchmark::State& state) {
    const double seconds = run(state, "listdev");
    if (g_version_seconds > 0) state.counters["x_version"] = seconds / g_version_seconds;
}
BENCHMARK(BM_ZeltnvmListdev)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
