// Whole runs of planar mechanisms by the driver: the crank-driven four-bar linkage
// (no mass: every step is a solution of the constraints alone) and the double
// pendulum (two bodies on two links, second-order method).
//
//   build/bin/mechanism_bench                                    both
//   build/bin/mechanism_bench --benchmark_filter=FourBar         one of them
//
// Counters per step, the starting solution (step 0) included: steps/s, s/step and
// newton/step (Newton iterations of the accepted attempts).
#include <benchmark/benchmark.h>

#include "model_runs.h"
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/headless_host.h"
#include "engine/driver.h"
#include "engine/run_setup.h"
#include "note/in_process.h"
#include "note/model_file.h"

namespace movra {
namespace {

// A model read once, as the simulator reads it; every benchmark run copies it.
using Mechanism = LoadedModel;

Mechanism readExample(const char* name) {
  Mechanism result;
  result.source = std::string("examples/") + name;
  note::HandOverImage image;
  std::vector<note::FileError> errors;
  const std::filesystem::path path = std::filesystem::path(MOVRA_SOURCE_DIR) / result.source;
  if (!note::readModelFilePath(path.string(), image, errors)) {
    result.error = errors.empty() ? "unreadable model" : errors.front().message;
    return result;
  }
  const note::ReadOutcome outcome = note::readImage(image, *result.model, 2);
  if (!outcome.ok()) {
    result.error = outcome.messages.empty() ? "model refused" : outcome.messages.front().text;
  }
  return result;
}

const Mechanism& fourBar() {
  static const Mechanism loaded = readExample("four_bar.model");
  return loaded;
}

const Mechanism& doublePendulum() {
  static const Mechanism loaded = readExample("double_pendulum.model");
  return loaded;
}


// One turn of the crank is 1000 steps of 1 ms.
void BM_FourBarRun(benchmark::State& state) {
  timeModelRuns(state, fourBar());
}
BENCHMARK(BM_FourBarRun)->ArgName("steps")->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// 1 ms steps; 5000 steps are 5 s of chaotic motion.
void BM_DoublePendulumRun(benchmark::State& state) {
  timeModelRuns(state, doublePendulum());
}
BENCHMARK(BM_DoublePendulumRun)
    ->ArgName("steps")
    ->Arg(100)
    ->Arg(5000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace movra

int main(int argc, char** argv) {
  // The frame rings of these runs must not meet those of a simulator running beside.
  const std::string tag = "bench-" + std::to_string(getpid());
  setenv("MOVRA_SHM_TAG", tag.c_str(), 0);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
