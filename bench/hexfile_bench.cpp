// HL_ReadFile on the largest image, in MB of HEX text per second.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "big_hex_file.h"
#include "hex_file.h"

namespace {

void BM_ReadBigHexFile(benchmark::State& state) {
    const std::string text = MakeBigHexText();
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("qel-bench-" + std::to_string(::getpid()) + ".hex");
    std::ofstream(path, std::ios::binary) << text;
    for (auto _ : state) {
        char* image = nullptr;
        int first = 0;
        int end = 0;
        if (HL_ReadFile(path.c_str(), &image, &first, &end) != 0) {
            state.SkipWithError("HL_ReadFile failed");
            break;
        }
        benchmark::DoNotOptimize(image);
        delete[] image;
    }
    std::filesystem::remove(path);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    // Decimal megabytes, as the goal is stated.
    state.counters["MB/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * static_cast<double>(text.size()) / 1e6,
        benchmark::Counter::kIsRate);
    state.counters["hex_bytes"] = static_cast<double>(text.size());
}

}  // namespace

// Wall-clock time: reading the file and faulting in the image are part of the cost.
BENCHMARK(BM_ReadBigHexFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
