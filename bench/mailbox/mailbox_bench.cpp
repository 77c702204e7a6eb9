// `zeltnvm -y -force install` of a 4 MiB package on a simulated one-adapter host, once
// through the network driver and /dev/zelt_lfc and once through the PCI mailbox of the
// same adapter with no driver holding it, in one run. The mailbox install's
// "x_firmware_channel" counter is its wall time over the firmware-channel install's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "tests/support/run_program.h"

namespace {

using zelt::test::run_program;

constexpr uint32_t kPackageBytes = 4u << 20;

constexpr const char* kHost =
    R"({"adapters": [{"device_type": 5, "device_id": 29953, "ports": 2, "nvm_size": 16777216}]})";

struct Setup {
    zelt::test::TempDir dir;
    std::string error;

    // `name`: a host directory; `driverless`: the adapter's driver released.
    bool make_host(const std::string& name, bool driverless) {
        auto r = run_program({ZELT_PROGRAM("zeltsim"), "create", dir.file(name), "--config", dir.file("config.json")});
        if (r.status == 0 && driverless) r = run_program({ZELT_PROGRAM("zeltsim"), "fault", dir.file(name), "driver_unloaded"});
        if (r.status != 0) error = "zeltsim failed: " + r.err;
        return r.status == 0;
    }

    Setup() {
        zelt::test::write_text_file(dir.file("config.json"), kHost);
        if (!make_host("lfc", false) || !make_host("mailbox", true)) return;
        const std::string body = std::to_string(kPackageBytes - 4096);
        zelt::test::write_text_file(
            dir.file("pkg.json"),
            R"({"properties": {"version": "229.0.1.0", "device_ids": [29953]},
                "items": [{"type": 2, "directive": "Install", "item_length": 65536},
                          {"type": "chimpBoot", "directive": "Install",
                           "firmware": {"version": [229, 0, 1, 0], "text": "229.0.1", "body_size": )" +
                body + "}}]}");
        auto r = run_program({ZELT_PROGRAM("zeltpkg"), "build", dir.file("pkg.json"), dir.file("pkg.pkg")});
        if (r.status != 0) error = "zeltpkg build failed: " + r.err;
    }
};

Setup& setup() {
    static Setup s;
    return s;
}

// Mean wall seconds of the firmware-channel install in this run.
double g_channel_seconds = 0;

double install(benchmark::State& state, const std::string& host, const std::string& device) {
    Setup& s = setup();
    zelt::test::RunOptions o;
    o.env = {{"ZELTNVM_SIM", s.dir.file(host)}};
    o.cwd = s.dir.path();
    const auto start = std::chrono::steady_clock::now();
    const auto r = run_program({ZELT_PROGRAM("zeltnvm"), "-dev=" + device, "-y", "-force", "install", "pkg.pkg"}, o);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (r.status != 0) state.SkipWithError(("install failed: " + r.out + r.err).c_str());
    return seconds;
}

void BM_InstallFirmwareChannel(benchmark::State& state) {
    if (!setup().error.empty()) return state.SkipWithError(setup().error.c_str());
    double total = 0;
    for (auto _ : state) total += install(state, "lfc", "zen0");
    g_channel_seconds = total / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPackageBytes);
}
BENCHMARK(BM_InstallFirmwareChannel)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_InstallMailbox(benchmark::State& state) {
    if (!setup().error.empty()) return state.SkipWithError(setup().error.c_str());
    double total = 0;
    for (auto _ : state) total += install(state, "mailbox", "zelt_pci_dev:0:3:0.0");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPackageBytes);
    if (g_channel_seconds > 0)
        state.counters["x_firmware_channel"] = total / static_cast<double>(state.iterations()) / g_channel_seconds;
}
BENCHMARK(BM_InstallMailbox)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
