// Throughput of the CRC-32 and SHA-256 code on a 64 MiB buffer, side by side with
// zlib's crc32 and OpenSSL's SHA-256 over the same buffer in the same run.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <vector>

#include "formats/crypto/crc32.h"
#include "formats/crypto/sha256.h"
#include "tests/formats_crypto/openssl_reference.h"

using namespace zelt;

namespace {

constexpr size_t kSize = 64u << 20;

const std::vector<uint8_t>& buffer() {
    static const std::vector<uint8_t> data = [] {
        std::vector<uint8_t> v(kSize);
        std::mt19937_64 gen(42);
        for (size_t i = 0; i + 8 <= v.size(); i += 8) {
            const uint64_t r = gen();
            std::memcpy(&v[i], &r, 8);
        }
        return v;
    }();
    return data;
}

template <typename Fn>
void run(benchmark::State& state, Fn fn) {
    const auto& data = buffer();
    for (auto _ : state) benchmark::DoNotOptimize(fn(data));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
}

void Crc32_Own(benchmark::State& s) {
    run(s, [](const std::vector<uint8_t>& d) { return file_crc32(d.data(), d.size()); });
}
void Crc32_OwnPortable(benchmark::State& s) {
    run(s, [](const std::vector<uint8_t>& d) { return zelt::crypto::crc32_portable(ZELT_CRC32_INIT, d.data(), d.size()); });
}
// One named path of the CRC-32 (see crypto::crc32_paths), skipped where the
// processor lacks it.
void Crc32_Path(benchmark::State& s, const char* name) {
    for (const auto& path : zelt::crypto::crc32_paths()) {
        if (std::strcmp(path.name, name) != 0) continue;
        run(s, [&](const std::vector<uint8_t>& d) { return path.run(ZELT_CRC32_INIT, d.data(), d.size()); });
        return;
    }
    s.SkipWithError("not available on this processor");
}
void Crc32_Zlib(benchmark::State& s) {
    run(s, [](const std::vector<uint8_t>& d) {
        uLong crc = crc32(0L, Z_NULL, 0);
        // zlib takes at most 4 GiB per call; 64 MiB fits.
        return crc32(crc, d.data(), static_cast<uInt>(d.size()));
    });
}
void Sha256_Own(benchmark::State& s) {
    run(s, [](const std::vector<uint8_t>& d) { return zelt::crypto::sha256(d); });
}
// Both halves of the buffer as two streams hashed together (SHA256UpdatePair).
void Sha256_OwnPairOfHalves(benchmark::State& s) {
    run(s, [](const std::vector<uint8_t>& d) {
        SHA256_CTX a, b;
        SHA256Init(&a);
        SHA256Init(&b);
        SHA256UpdatePair(&a, d.data(), &b, d.data() + d.size() / 2, d.size() / 2);
        zelt::crypto::Sha256Digest out{};
        SHA256Final(&a, out.data());
        SHA256Final(&b, out.data());
        return out;
    });
}
void Sha256_OwnPortable(benchmark::State& s) {
    run(s, [](const std::vector<uint8_t>& d) { return zelt::crypto::sha256_portable(d); });
}
void Sha256_OpenSsl(benchmark::State& s) {
    run(s, [](const std::vector<uint8_t>& d) { return zelt::test::openssl_sha256(d); });
}

BENCHMARK(Crc32_Own)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Crc32_Path, clmul, "clmul")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Crc32_Path, wide, "wide")->Unit(benchmark::kMillisecond);
BENCHMARK(Crc32_Zlib)->Unit(benchmark::kMillisecond);
BENCHMARK(Crc32_OwnPortable)->Unit(benchmark::kMillisecond);
BENCHMARK(Sha256_Own)->Unit(benchmark::kMillisecond);
BENCHMARK(Sha256_OwnPairOfHalves)->Unit(benchmark::kMillisecond);
BENCHMARK(Sha256_OpenSsl)->Unit(benchmark::kMillisecond);
BENCHMARK(Sha256_OwnPortable)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
