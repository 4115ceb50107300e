// Reading a 100 MB recording from disk: the line-checked count and the scan
// reader, next to a plain sequential read of the same file.
#include "BigRecording.h"
#include "korda32ext.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

using korda::bench::BigRecording;

// Made on first use, removed with its directory when the program ends.
BigRecording& recording() {
    static BigRecording r;
    return r;
}

void BM_PlainSequentialRead(benchmark::State& state) {
    BigRecording& r = recording();
    const std::string& path = r.dataPath;
    std::vector<char> buffer(1 << 16);
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        std::size_t total = 0;
        while (const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), f))
            total += got;
        std::fclose(f);
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * r.bytes));
}

void BM_CountWithValidation(benchmark::State& state) {
    BigRecording& r = recording();
    const std::wstring path = r.dir.wideFile("dat00001.csv");
    for (auto _ : state) {
        int count = 0;
        if (dlxVmrPCCardScansFileCountW(0, path.c_str(), &count) != 1 || count != r.scans)
            state.SkipWithError("count failed");
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * r.bytes));
}

void BM_ReadAllScans(benchmark::State& state) {
    BigRecording& r = recording();
    const std::wstring dir = r.dir.wide();
    std::vector<std::uint64_t> buffer(DLXVMR_SCAN_BUFFER_SIZE(r.scans, r.columns) / 8 + 1);
    auto* record = reinterpret_cast<ScanRecord*>(buffer.data());
    for (auto _ : state) {
        if (dlxVmrPCCardScansFileGet(0, dir.c_str(), r.scans, 0, record) != r.scans)
            state.SkipWithError("read failed");
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * r.bytes));
}

} // namespace

BENCHMARK(BM_PlainSequentialRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountWithValidation)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAllScans)->Unit(benchmark::kMillisecond);
