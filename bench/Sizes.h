#pragma once
// The database sizes the speed figures are given at, each a median of five runs.
#include <benchmark/benchmark.h>

namespace lq::bench {

// 10,000, 50,000 and 200,000 sentences, in milliseconds, five repetitions reported as aggregates.
inline void AtThreeSizes(benchmark::internal::Benchmark* b) {
    b->Arg(10000)->Arg(50000)->Arg(200000)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
}

}  // namespace lq::bench
