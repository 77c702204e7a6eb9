// `zeltnvm verify` of a 64 MiB package holding one signed 64 MiB firmware image,
// beside the same file hashed by `openssl dgst -sha256` plus zlib's crc32 of it (the
// least work any verification of that file has to do). The verify's "x_baseline"
// counter is its mean wall time over the baseline's in the same run; the target is at
// most 0.6 (one pass over the bytes for every checksum and digest, read with one copy).
//
// Also `zeltnvm verify` of a hostile 16 MiB package whose 4096 records all point at the
// same data: it is refused at the second record, in about the time one pass over
// 16 MiB takes (record by record it would be 64 GiB of item checks).
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "tests/support/run_program.h"
#include "tests/support/shared_data_records.h"
#include "pkgbuild/pkgbuild.h"
#include "test_signing_key/test_signing_key.h"

namespace {

using zelt::test::run_program;

struct Setup {
    zelt::test::TempDir dir;
    std::string package = "big.pkg";

    Setup() {
        std::system(("mkdir -p " + dir.file("host/proc/net")).c_str());
        zelt::test::write_text_file(dir.file("host/proc/net/dev"), "Inter-|   Receive\n face |bytes\n");
        zelt::pkgbuild::PackageSpec plan;
        zelt::pkgbuild::ItemSpec boot;
        boot.type = 4;
        // 64 MiB image: 28-byte header, body, 256-byte signature, 4-byte CRC.
        zelt::pkgbuild::firmware_image(4, {1, 0, 0, 0}, "bench", (64u << 20) - 288, zelt::pkgbuild::test_signing_key(),
                                       &boot.data);
        plan.items.push_back(std::move(boot));
        plan.verify = false;
        zelt::pkgbuild::Bytes bytes;
        std::string error;
        zelt::pkgbuild::build_package(plan, &bytes, &error);
        std::ofstream(dir.file(package), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
};

Setup& setup() {
    static Setup s;
    return s;
}

// The hostile package beside the valid one.
struct SharedDataSetup {
    std::string package = "shared.pkg";

    explicit SharedDataSetup(const Setup& s) {
        zelt::pkgbuild::PackageSpec plan;
        plan.verify = false;
        for (uint16_t i = 0; i < 4096; ++i) {
            zelt::pkgbuild::ItemSpec it;
            it.type = i == 0 ? 40 : 41;
            it.ordinal = i;
            it.data = zelt::pkgbuild::filler(it.type, i == 0 ? (16u << 20) - 512 * 1024 : 1);
            plan.items.push_back(std::move(it));
        }
        zelt::pkgbuild::Bytes bytes;
        std::string error;
        zelt::pkgbuild::build_package(plan, &bytes, &error);
        zelt::test::point_records_at_first_data(bytes);
        zelt::pkgbuild::apply_faults(&bytes, {{zelt::pkgbuild::Fault::FIX_CHECKSUM, 0, 0}});
        std::ofstream(s.dir.file(package), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
};

SharedDataSetup& shared_setup() {
    static SharedDataSetup s(setup());
    return s;
}

// Wall seconds of one openssl run plus the crc32 of the file, measured by the baseline
// benchmark of this run.
double g_baseline_seconds = 0;

void BM_OpensslSha256PlusZlibCrc32(benchmark::State& state) {
    Setup& s = setup();
    const std::string path = s.dir.file(s.package);
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const auto r = run_program({"openssl", "dgst", "-sha256", path});
        if (r.status != 0) state.SkipWithError("openssl failed");
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        std::string data(static_cast<size_t>(in.tellg()), '\0');
        in.seekg(0);
        in.read(data.data(), static_cast<std::streamsize>(data.size()));
        benchmark::DoNotOptimize(
            crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    g_baseline_seconds = total / static_cast<double>(state.iterations());
}
BENCHMARK(BM_OpensslSha256PlusZlibCrc32)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_ZeltnvmVerify(benchmark::State& state) {
    Setup& s = setup();
    zelt::test::RunOptions o;
    o.env = {{"ZELTNVM_SIM", s.dir.file("host")}};
    o.cwd = s.dir.path();
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const auto r = run_program({ZELT_PROGRAM("zeltnvm"), "verify", s.package}, o);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (r.status != 0) state.SkipWithError(("zeltnvm verify failed: " + r.err).c_str());
    }
    if (g_baseline_seconds > 0)
        state.counters["x_baseline"] = total / static_cast<double>(state.iterations()) / g_baseline_seconds;
}
BENCHMARK(BM_ZeltnvmVerify)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_ZeltnvmVerifySharedData(benchmark::State& state) {
    Setup& s = setup();
    SharedDataSetup& hostile = shared_setup();
    zelt::test::RunOptions o;
    o.env = {{"ZELTNVM_SIM", s.dir.file("host")}};
    o.cwd = s.dir.path();
    for (auto _ : state) {
        const auto r = run_program({ZELT_PROGRAM("zeltnvm"), "verify", hostile.package}, o);
        if (r.err.find("OVERLAPPING_ITEM") == std::string::npos)
            state.SkipWithError(("zeltnvm verify did not refuse the shared data: " + r.err).c_str());
    }
}
BENCHMARK(BM_ZeltnvmVerifySharedData)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
