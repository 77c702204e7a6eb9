// `zeltnvm backup` of a simulated adapter whose 8 MiB flash is full, beside `cat` of an
// 8 MiB file into another in the same run. The backup's "x_cat" counter is its wall
// time over cat's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include "bench/support/timed_run.h"
#include "bench/support/two_image_package.h"
#include "tests/support/run_program.h"

namespace {

using zelt::bench::report_ratio;
using zelt::bench::timed_run;

using zelt::test::run_program;

constexpr uint32_t kFlashBytes = 8u << 20;
// Two signed images that, with the staging item, the install log and the directory,
// leave less than 1 MiB of the flash free.
constexpr uint32_t kImageBody = (kFlashBytes - (1u << 20)) / 2;

struct Setup {
    zelt::test::TempDir dir;
    std::string error;

    Setup() {
        // The adapter is made as the twin of a package holding the items, which is how a
        // simulated flash is filled with given content.
        zelt::test::write_text_file(dir.file("full.json"),
                                    zelt::bench::two_image_package_json(kImageBody, "Install"));
        auto r = run_program({ZELT_PROGRAM("zeltpkg"), "build", dir.file("full.json"), dir.file("full.pkg")});
        if (r.status != 0) {
            error = "zeltpkg build failed: " + r.err;
            return;
        }
        r = run_program({ZELT_PROGRAM("zeltsim"), "create", dir.file("host"), "--from-backup", dir.file("full.pkg")});
        if (r.status != 0) {
            error = "zeltsim create failed: " + r.err;
            return;
        }
        zelt::test::write_text_file(dir.file("flat.bin"), std::string(kFlashBytes, '\x5a'));
    }
};

Setup& setup() {
    static Setup s;
    return s;
}

// Wall seconds of one cat run, measured by the cat benchmark of this run.
double g_cat_seconds = 0;

void BM_Cat(benchmark::State& state) {
    Setup& s = setup();
    if (!s.error.empty()) return state.SkipWithError(s.error.c_str());
    zelt::test::RunOptions o;
    o.cwd = s.dir.path();
    g_cat_seconds = zelt::bench::timed_runs(state, {"/bin/sh", "-c", "cat flat.bin > copy.bin"}, o, kFlashBytes);
}
BENCHMARK(BM_Cat)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_Backup(benchmark::State& state) {
    Setup& s = setup();
    if (!s.error.empty()) return state.SkipWithError(s.error.c_str());
    zelt::test::RunOptions o;
    o.env = {{"ZELTNVM_SIM", s.dir.file("host")}};
    o.cwd = s.dir.path();
    double total = 0;
    for (auto _ : state) total += timed_run(state, {ZELT_PROGRAM("zeltnvm"), "-dev=zen0", "backup=nvm.pkg"}, o);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFlashBytes);
    report_ratio(state, "x_cat", total, g_cat_seconds);
}
BENCHMARK(BM_Backup)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
