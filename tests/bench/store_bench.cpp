// The mode store's costs: the codecs per record, the non-standard list's coverage walk, the
// loads of both lists and their one save against the in-memory registry. Beside each time stand the
// registry calls of one iteration, by kind, so that a time can be read against the calls that
// the real registry would have to serve.
#include "bench/bench_data.h"

#include <benchmark/benchmark.h>

namespace {

using MemoryRegistry::Calls;

// The registry calls since the counters were last reset, per iteration.
void ReportCalls(benchmark::State& state) {
    const struct {
        const char* name;
        MemoryRegistry::Operation op;
    } kinds[] = {{"open", MemoryRegistry::OpOpen},   {"count", MemoryRegistry::OpCount},
                 {"enum", MemoryRegistry::OpEnum},   {"query", MemoryRegistry::OpQuery},
                 {"set", MemoryRegistry::OpSet},     {"delete", MemoryRegistry::OpDelete},
                 {"close", MemoryRegistry::OpClose}, {"create", MemoryRegistry::OpCreate}};
    for (const auto& kind : kinds)
        state.counters[kind.name] = benchmark::Counter(static_cast<double>(Calls(kind.op)),
                                                       benchmark::Counter::kAvgIterations);
}

void BM_EncodeTimingBlock(benchmark::State& state) {
    CustomTiming timing = NumberedTiming(7);
    uint8_t stored[TimingStoredSize];
    for (auto _ : state) {
        benchmark::DoNotOptimize(&timing);
        EncodeTimingBlock(timing.block, stored);
        benchmark::DoNotOptimize(stored);
    }
}
BENCHMARK(BM_EncodeTimingBlock);

void BM_DecodeTimingBlock(benchmark::State& state) {
    uint8_t stored[TimingStoredSize];
    EncodeTimingBlock(NumberedTiming(7).block, stored);
    TimingBlock block;
    for (auto _ : state) {
        benchmark::DoNotOptimize(stored);
        DecodeTimingBlock(stored, &block);
        benchmark::DoNotOptimize(block);
    }
}
BENCHMARK(BM_DecodeTimingBlock);

void BM_ComputeTimingChecksum(benchmark::State& state) {
    CustomTiming timing = NumberedTiming(7);
    for (auto _ : state) {
        benchmark::DoNotOptimize(&timing);
        benchmark::DoNotOptimize(ComputeTimingChecksum(timing.block.words));
    }
}
BENCHMARK(BM_ComputeTimingChecksum);

// AddMode against a list of n entries whose last entry covers the new one: the whole coverage
// walk, the cost of every add that is not covered earlier, with no allocation to blur it.
void BM_AddMode(benchmark::State& state) {
    uint32_t n = static_cast<uint32_t>(state.range(0));
    NonStandardModeList list;
    for (uint32_t i = 0; i < n; ++i)
        list.AddMode(NumberedMode(i));
    NonStandardMode last = NumberedMode(n - 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(list.AddMode(last));
    state.SetComplexityN(n);
}
BENCHMARK(BM_AddMode)->Arg(10)->Arg(100)->Arg(1000)->Complexity(benchmark::oN);

// Decoding a stored list of n distinct entries: one coverage walk per entry, n^2/2 comparisons.
void BM_DecodeModeList(benchmark::State& state) {
    uint32_t n = static_cast<uint32_t>(state.range(0));
    std::vector<uint8_t> bytes = bench::NumberedModeList(n);
    NonStandardModeList list;
    for (auto _ : state) {
        list.Clear();
        list.DecodeModeList(bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_DecodeModeList)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(10000)
    ->Complexity(benchmark::oNSquared)
    ->Unit(benchmark::kMicrosecond);

// The sizes of the device benchmarks; the pairs 1,000/2,000 and 10,000/20,000 give the doubling
// ratios.
void DeviceSizes(benchmark::internal::Benchmark* b) {
    for (int n : {10, 100, 1000, 2000, 10000, 20000})
        b->Arg(n);
    b->Unit(benchmark::kMicrosecond);
}

void BM_TimingListLoad(benchmark::State& state) {
    uint32_t n = static_cast<uint32_t>(state.range(0));
    DriverKey device;
    if (!bench::MakeDevice(n, &device)) {
        state.SkipWithError("device not made");
        return;
    }
    TimingList timings;
    NonStandardModeList modes;
    for (auto _ : state)
        benchmark::DoNotOptimize(timings.LoadFromDevice(device, modes));
    ReportCalls(state);
    state.SetComplexityN(n);
}
BENCHMARK(BM_TimingListLoad)->Apply(DeviceSizes)->Complexity(benchmark::oN);

// Every iteration writes the n records and the list over their stored values and walks the key
// for timing values to prune, finding none: the key is the same after each one.
void BM_Save(benchmark::State& state) {
    uint32_t n = static_cast<uint32_t>(state.range(0));
    DriverKey device;
    TimingList timings;
    NonStandardModeList modes;
    if (!bench::MakeDevice(n, &device) || !LoadModeList(device, modes) ||
        !timings.LoadFromDevice(device, modes)) {
        state.SkipWithError("device not loaded");
        return;
    }
    MemoryRegistry::ResetCounters();
    for (auto _ : state)
        benchmark::DoNotOptimize(WriteStoredModes(device, timings, modes));
    ReportCalls(state);
    state.SetComplexityN(n);
}
BENCHMARK(BM_Save)->Apply(DeviceSizes)->Complexity(benchmark::oN);

// The mode list's load decodes n entries through AddMode, hence quadratic in n by its rule.
void BM_ModeListLoad(benchmark::State& state) {
    uint32_t n = static_cast<uint32_t>(state.range(0));
    DriverKey device;
    if (!bench::MakeDevice(n, &device)) {
        state.SkipWithError("device not made");
        return;
    }
    NonStandardModeList modes;
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadModeList(device, modes));
    ReportCalls(state);
    state.SetComplexityN(n);
}
BENCHMARK(BM_ModeListLoad)->Apply(DeviceSizes)->Complexity(benchmark::oNSquared);

} // namespace
