// A rehearsal of a 32 MiB update: a twin made by `zeltsim create --from-backup` from the
// backup of a simulated adapter with a 64 MiB flash, then `zeltnvm -y -force install`
// and `zeltnvm reset` on the twin, beside `openssl dgst -sha256` of the package in the
// same run. The rehearsal's "x_openssl" counter is its wall time over openssl's.
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

constexpr uint32_t kPackageBytes = 32u << 20;

struct Setup {
    zelt::test::TempDir dir;
    std::string error;

    bool run(const std::vector<std::string>& argv, const std::string& what, bool on_host = false) {
        zelt::test::RunOptions o;
        if (on_host) o.env = {{"ZELTNVM_SIM", dir.file("host")}};
        o.cwd = dir.path();
        const auto r = run_program(argv, o);
        if (r.status != 0) error = what + " failed: " + r.out + r.err;
        return r.status == 0;
    }

    Setup() {
        zelt::test::write_text_file(dir.file("config.json"), zelt::bench::kLargestFlashHost);
        // Two signed images of just under 16 MiB, as the install benchmark has them.
        zelt::test::write_text_file(dir.file("big.json"),
                                    zelt::bench::two_image_package_json(kPackageBytes / 2 - 1024, "Replace"));
        // The production adapter has taken the package once (its staging item has the
        // package's length); its backup is what the twin is made from.
        run({ZELT_PROGRAM("zeltsim"), "create", dir.file("host"), "--config", dir.file("config.json")},
            "zeltsim create") &&
            run({ZELT_PROGRAM("zeltpkg"), "build", dir.file("big.json"), dir.file("big.pkg")}, "zeltpkg build") &&
            run({ZELT_PROGRAM("zeltnvm"), "-y", "install", "big.pkg"}, "install", true) &&
            run({ZELT_PROGRAM("zeltnvm"), "-dev=zen0", "backup=backup.pkg"}, "backup", true);
    }
};

Setup& setup() {
    static Setup s;
    return s;
}

// Wall seconds of one openssl run, measured by the openssl benchmark of this run.
double g_openssl_seconds = 0;

void BM_OpensslSha256(benchmark::State& state) {
    Setup& s = setup();
    if (!s.error.empty()) return state.SkipWithError(s.error.c_str());
    g_openssl_seconds =
        zelt::bench::timed_runs(state, {"/usr/bin/openssl", "dgst", "-sha256", s.dir.file("big.pkg")}, {}, kPackageBytes);
}
BENCHMARK(BM_OpensslSha256)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_Rehearsal(benchmark::State& state) {
    Setup& s = setup();
    if (!s.error.empty()) return state.SkipWithError(s.error.c_str());
    // Each part's total as well, so a run shows where the time goes.
    double create = 0, install = 0, reset = 0;
    for (auto _ : state) {
        zelt::test::TempDir twin;
        zelt::test::RunOptions o;
        o.env = {{"ZELTNVM_SIM", twin.file("host")}};
        o.cwd = s.dir.path();
        create += timed_run(state, {ZELT_PROGRAM("zeltsim"), "create", twin.file("host"), "--from-backup",
                                    s.dir.file("backup.pkg")},
                            {});
        install += timed_run(state, {ZELT_PROGRAM("zeltnvm"), "-y", "-force", "install", "big.pkg"}, o);
        reset += timed_run(state, {ZELT_PROGRAM("zeltnvm"), "reset"}, o);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPackageBytes);
    report_ratio(state, "x_openssl", create + install + reset, g_openssl_seconds);
    state.counters["create_ms"] = 1000 * zelt::bench::mean_seconds(state, create);
    state.counters["install_ms"] = 1000 * zelt::bench::mean_seconds(state, install);
    state.counters["reset_ms"] = 1000 * zelt::bench::mean_seconds(state, reset);
}
BENCHMARK(BM_Rehearsal)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
