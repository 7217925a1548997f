// The engine's hot paths: the elimination on banded systems of the sizes models
// reach (filled the way an element pass fills them), and whole output steps of a
// 49-section RC ladder run by the driver.
//
//   build/bin/solver_bench                                   everything
//   build/bin/solver_bench --benchmark_filter=Banded         the solver only, the engine's
//                                                            (BM_BandedSolve) beside the
//                                                            plain dense elimination
//
// BM_BandedSolve times the solve alone (manual timing); BM_BandedFill times the
// clearing and stamping that precede every solve, so the two can be told apart.
#include <benchmark/benchmark.h>

#include "model_runs.h"
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/headless_host.h"
#include "engine/driver.h"
#include "engine/linear_solver.h"
#include "engine/run_setup.h"
#include "engine/unknowns.h"
#include "note/in_process.h"
#include "note/model_file.h"
#include "support/dense_solver.h"

namespace movra {
namespace {

// ---- banded systems ----

// A diagonally dominant system with `bandwidth` diagonals, drawn once from a seeded
// generator. fill() writes it into the run as an element pass would: the system is
// cleared first, because the elimination leaves its multipliers below the diagonal.
class BandedSystem {
 public:
  BandedSystem(int size, int bandwidth) : n_(size), half_(bandwidth / 2), width_(2 * half_ + 1) {
    std::mt19937_64 random(0x5eed0000u + static_cast<unsigned>(size * 64 + bandwidth));
    std::uniform_real_distribution<double> entry(-1.0, 1.0);
    std::uniform_real_distribution<double> margin(0.5, 1.5);
    band_.assign(static_cast<size_t>(n_ + 1) * width_, 0.0);
    rhs_.assign(n_ + 1, 0.0);
    for (int r = 1; r <= n_; ++r) {
      double offSum = 0.0;
      for (int d = -half_; d <= half_; ++d) {
        if (d == 0 || r + d < 1 || r + d > n_) continue;
        at(r, d) = entry(random);
        offSum += std::fabs(at(r, d));
      }
      at(r, 0) = offSum + margin(random);
      rhs_[r] = entry(random);
    }
  }

  void fill(Run& run) const {
    run.unknownCount = n_;
    clearEquationSystem(run);
    for (int r = 1; r <= n_; ++r) {
      for (int d = -half_; d <= half_; ++d) {
        const int c = r + d;
        if (c >= 1 && c <= n_) run.jacobian(r, c) = at(r, d);
      }
      run.F[r] = rhs_[r];
    }
  }

  // max |A·X − b| over the rows, with the solution in run.X.
  double residual(const Run& run) const {
    double worst = 0.0;
    for (int r = 1; r <= n_; ++r) {
      double sum = -rhs_[r];
      for (int d = -half_; d <= half_; ++d) {
        const int c = r + d;
        if (c >= 1 && c <= n_) sum += at(r, d) * run.X[c];
      }
      worst = std::fmax(worst, std::fabs(sum));
    }
    return worst;
  }

 private:
  double& at(int r, int d) { return band_[static_cast<size_t>(r) * width_ + d + half_]; }
  double at(int r, int d) const { return band_[static_cast<size_t>(r) * width_ + d + half_]; }

  int n_;
  int half_;
  int width_;
  std::vector<double> band_;
  std::vector<double> rhs_;
};

void bandedArguments(benchmark::internal::Benchmark* b) {
  b->ArgNames({"N", "band"});
  for (int n : {100, 200, 500}) {
    for (int bandwidth : {3, 7, 15}) b->Args({n, bandwidth});
  }
  b->Unit(benchmark::kMicrosecond);
}

void BM_BandedFill(benchmark::State& state) {
  const BandedSystem system(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  auto run = makeRun();
  for (auto _ : state) {
    system.fill(*run);
    benchmark::DoNotOptimize(run->J);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BandedFill)->Apply(bandedArguments);

// The engine's solver, or the plain dense elimination it replaced (the tests keep
// it as the reference for the results): the same systems, side by side.
template <int (*solve)(Run&, ParameterStore&)>
void bandedSolve(benchmark::State& state) {
  const BandedSystem system(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  auto run = makeRun();
  auto parameters = std::make_unique<ParameterStore>();
  int status = kSolved;
  for (auto _ : state) {
    system.fill(*run);
    benchmark::ClobberMemory();
    const auto start = std::chrono::steady_clock::now();
    status = solve(*run, *parameters);
    benchmark::ClobberMemory();
    const auto end = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    if (status != kSolved) break;
    // The dense elimination keeps no profile of its fill-in: the next fill must
    // clear the whole matrix, as it did before the profile existed.
    if (solve != solveLinearSystem) {
      const int n = run->unknownCount;
      for (int r = 0; r <= n; ++r) run->jacobian(r, 0), run->jacobian(r, n), run->jacobian(n, r);
    }
  }
  // A timing of a wrong answer is worth nothing.
  if (status != kSolved) {
    state.SkipWithError(run->solverNote);
  } else if (const double worst = system.residual(*run); worst > 1e-10) {
    char text[64];
    std::snprintf(text, sizeof text, "residual %g", worst);
    state.SkipWithError(text);
  }
}
void BM_BandedSolve(benchmark::State& state) { bandedSolve<solveLinearSystem>(state); }
BENCHMARK(BM_BandedSolve)->Apply(bandedArguments)->UseManualTime();

void BM_BandedSolveDense(benchmark::State& state) { bandedSolve<testing::denseReferenceSolve>(state); }
BENCHMARK(BM_BandedSolveDense)->Apply(bandedArguments)->UseManualTime();

// ---- the RC ladder ----

constexpr int kLadderSections = 49;
constexpr const char* kLadderExample = "examples/rc_ladder49.model";

// V 1 0 switched on at the first step, then R k k+1 = 1 kOhm and C k+1 0 = 1 uF per
// section; second-order method, 10 us steps. The end time is set per benchmark.
std::string generatedLadder() {
  std::string text = "V 1 0, 5 * p2, 0\n";
  for (int k = 1; k <= kLadderSections; ++k) {
    text += "R " + std::to_string(k) + " " + std::to_string(k + 1) + ", 1k\n";
    text += "C " + std::to_string(k + 1) + " 0, 1u\n";
  }
  text += ".o x2.9, x" + std::to_string(kLadderSections + 1) + ".9\n";
  text += ".t 2\n   0\n   10m\n   10u\n   1\n";
  return text;
}

// The ladder read once, as the simulator reads it; every benchmark run copies it.
using Ladder = LoadedModel;

const Ladder& ladder() {
  static const Ladder loaded = [] {
    Ladder result;
    note::HandOverImage image;
    std::vector<note::FileError> errors;
    const std::filesystem::path example = std::filesystem::path(MOVRA_SOURCE_DIR) / kLadderExample;
    bool read = false;
    if (std::filesystem::exists(example)) {
      result.source = kLadderExample;
      read = note::readModelFilePath(example.string(), image, errors);
    } else {
      result.source = "generated ladder";
      read = note::readModelFile(generatedLadder(), image, errors);
    }
    if (!read) {
      result.error = errors.empty() ? "unreadable model" : errors.front().message;
      return result;
    }
    const note::ReadOutcome outcome = note::readImage(image, *result.model, 2);
    if (!outcome.ok()) {
      result.error = outcome.messages.empty() ? "model refused" : outcome.messages.front().text;
    }
    return result;
  }();
  return loaded;
}

// runSimulation over a fixed number of output steps; the counters are per output
// step, step 0 (the starting solution) included. Each timed run also holds the
// run's set-up (unknowns, the frame ring); the 10-step case shows what that costs.
void BM_LadderRun(benchmark::State& state) { timeModelRuns(state, ladder()); }
BENCHMARK(BM_LadderRun)->ArgName("steps")->Arg(10)->Arg(1000)->Unit(benchmark::kMillisecond);

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
