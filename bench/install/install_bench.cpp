// `zeltnvm -y -force install` of a 32 MiB package on a simulated one-adapter host,
// beside `openssl dgst -sha256` of the same file in the same run. The install's
// "x_openssl" counter is its wall time over openssl's (the target is at most 4).
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

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

    Setup() {
        zelt::test::write_text_file(dir.file("config.json"), zelt::bench::kLargestFlashHost);
        auto r = run_program({ZELT_PROGRAM("zeltsim"), "create", dir.file("host"), "--config", dir.file("config.json")});
        if (r.status != 0) {
            error = "zeltsim create failed: " + r.err;
            return;
        }
        // Two signed images of just under 16 MiB: a boot image that is written, and a
        // second image that replaces one only where the adapter has it (this one has
        // not, so the NVM needs room for one image beside the staged package).
        zelt::test::write_text_file(dir.file("big.json"),
                                    zelt::bench::two_image_package_json(kPackageBytes / 2 - 1024, "Replace"));
        r = run_program({ZELT_PROGRAM("zeltpkg"), "build", dir.file("big.json"), dir.file("big.pkg")});
        if (r.status != 0) error = "zeltpkg build failed: " + r.err;
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

void BM_ZeltnvmInstall(benchmark::State& state) {
    Setup& s = setup();
    if (!s.error.empty()) return state.SkipWithError(s.error.c_str());
    zelt::test::RunOptions o;
    o.env = {{"ZELTNVM_SIM", s.dir.file("host")}};
    o.cwd = s.dir.path();
    double total = 0;
    for (auto _ : state) total += timed_run(state, {ZELT_PROGRAM("zeltnvm"), "-y", "-force", "install", "big.pkg"}, o);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPackageBytes);
    report_ratio(state, "x_openssl", total, g_openssl_seconds);
}
BENCHMARK(BM_ZeltnvmInstall)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
