// `zeltnvm -y -force install` of a 32 MiB package on a simulated one-adapter host,
// beside `openssl dgst -sha256` of the same file in the same run. The install's
// "x_openssl" counter is its wall time over openssl's (the target is at most 4).
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "bench/support/timed_run.h"
#include "tests/support/run_program.h"

namespace {

using zelt::bench::report_ratio;
using zelt::bench::timed_run;

using zelt::test::run_program;

constexpr uint32_t kPackageBytes = 32u << 20;

// One adapter with the largest NVM the simulator offers: the factory content, a staging
// item for the whole package and the package's new boot image.
constexpr const char* kHost =
    R"({"adapters": [{"device_type": 5, "device_id": 29953, "ports": 2, "nvm_size": 67108864}]})";

struct Setup {
    zelt::test::TempDir dir;
    std::string error;

    Setup() {
        zelt::test::write_text_file(dir.file("config.json"), kHost);
        auto r = run_program({ZELT_PROGRAM("zeltsim"), "create", dir.file("host"), "--config", dir.file("config.json")});
        if (r.status != 0) {
            error = "zeltsim create failed: " + r.err;
            return;
        }
        // Two signed images of just under 16 MiB: a boot image that is written, and a
        // second image that replaces one only where the adapter has it (this one has
        // not, so the NVM needs room for one image beside the staged package).
        const std::string body = std::to_string(kPackageBytes / 2 - 1024);
        zelt::test::write_text_file(
            dir.file("big.json"),
            R"({"properties": {"version": "229.0.1.0", "device_ids": [29953]},
                "items": [{"type": 2, "directive": "Install", "item_length": 65536},
                          {"type": "chimpBoot", "directive": "Install",
                           "firmware": {"version": [229, 0, 1, 0], "text": "229.0.1", "body_size": )" +
                body + R"(}},
                          {"type": "bonoFW", "directive": "Replace",
                           "firmware": {"version": [229, 0, 1, 0], "text": "229.0.1", "body_size": )" +
                body + "}}]}");
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
