// What a plot window open during a run costs each time it takes the new frames:
// the export's rows read back into series and named from the model.
#include <benchmark/benchmark.h>

#include <string>

#include "plot/plot_data.h"

namespace {

constexpr int kSeries = 8;

std::string csvOf(int frames) {
  std::string csv = "t";
  for (int s = 0; s < kSeries; ++s) csv += ",c" + std::to_string(1101 + s);
  csv += '\n';
  for (int f = 0; f < frames; ++f) {
    csv += std::to_string(f * 1e-5);
    for (int s = 0; s < kSeries; ++s) csv += "," + std::to_string(0.001 * f * (s + 1));
    csv += '\n';
  }
  return csv;
}

const char* const kModel = "V 1 0, 5 * p2, 0\nR 1 2, 1k {h1100 c1102 \"charging current\"}\nC 2 0, 1u\n.o x1.9, x2.9\n.ic\n";

void BM_FramesToSeries(benchmark::State& state) {
  const std::string csv = csvOf(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    movra::plot::PlotData data;
    movra::plot::readCsvText(csv, data);
    movra::plot::describeFromText(kModel, data);
    benchmark::DoNotOptimize(data.series.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FramesToSeries)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
