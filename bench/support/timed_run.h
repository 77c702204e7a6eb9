// Whole-process timing shared by the benchmarks that run the programs: one timed run,
// and the ratio of a command's mean time to a baseline measured in the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/run_program.h"

namespace zelt::bench {

// Wall seconds of one run of `argv`; a failed run marks the benchmark as failed.
inline double timed_run(benchmark::State& state, const std::vector<std::string>& argv,
                        const zelt::test::RunOptions& options = {}) {
    const auto start = std::chrono::steady_clock::now();
    const auto r = zelt::test::run_program(argv, options);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (r.status != 0) state.SkipWithError((argv[0] + " failed: " + r.out + r.err).c_str());
    return seconds;
}

// Mean seconds of one iteration, from the total over the benchmark's iterations.
inline double mean_seconds(const benchmark::State& state, double total) {
    return state.iterations() > 0 ? total / static_cast<double>(state.iterations()) : 0;
}

// Runs `argv` once per iteration, counting `bytes_per_run` bytes each time, and returns
// the mean wall seconds of a run.
inline double timed_runs(benchmark::State& state, const std::vector<std::string>& argv,
                         const zelt::test::RunOptions& options, int64_t bytes_per_run) {
    double total = 0;
    for (auto _ : state) total += timed_run(state, argv, options);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes_per_run);
    return mean_seconds(state, total);
}

// Sets `counter` to the mean time over `baseline_seconds` once a baseline was measured.
inline void report_ratio(benchmark::State& state, const char* counter, double total, double baseline_seconds) {
    if (baseline_seconds > 0) state.counters[counter] = mean_seconds(state, total) / baseline_seconds;
}

}  // namespace zelt::bench
