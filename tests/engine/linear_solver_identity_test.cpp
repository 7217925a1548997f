// The engine's solver against the plain dense elimination it replaces: the same
// status, the same note, the same smallest pivot and the same bits in X, J and F,
// on random sparse, banded and ill-conditioned systems, and on systems solved one
// after another in the same run (where only the profile says what to clear).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "engine/linear_solver.h"
#include "engine/run.h"
#include "engine/unknowns.h"
#include "support/dense_solver.h"

namespace movra {
namespace {

constexpr int kSmallestPivot = -1100;

// One system as (row, column, value) writes and a right-hand side.
struct System {
  int n = 0;
  std::vector<std::tuple<int, int, double>> entries;
  std::vector<double> rhs;
};

void load(Run& run, const System& system) {
  run.unknownCount = system.n;
  clearEquationSystem(run);
  for (const auto& [r, c, v] : system.entries) run.jacobian(r, c) += v;
  for (int r = 1; r <= system.n; ++r) run.F[r] = system.rhs[r];
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Solves the system with both solvers and compares. The engine's run may have
// solved `before` already (so leftovers of that solve would show); the reference
// always starts from a clean matrix.
void expectIdentical(const System& system, const std::string& label, const System* before = nullptr) {
  auto engine = makeRun();
  auto reference = makeRun();
  ParameterStore engineParameters;
  ParameterStore referenceParameters;
  if (before != nullptr) {
    load(*engine, *before);
    solveLinearSystem(*engine, engineParameters);
  }
  load(*engine, system);
  load(*reference, system);
  for (int i = 0; i <= system.n + 1; ++i) engine->X[i] = reference->X[i] = 0.25 * i;
  engine->solverNote[0] = reference->solverNote[0] = '\0';
  const int status = solveLinearSystem(*engine, engineParameters);
  const int expected = testing::denseReferenceSolve(*reference, referenceParameters);
  ASSERT_EQ(status, expected) << label;
  EXPECT_STREQ(engine->solverNote, reference->solverNote) << label;
  EXPECT_TRUE(sameBits(engineParameters.get(kSmallestPivot), referenceParameters.get(kSmallestPivot)))
      << label << ": " << engineParameters.get(kSmallestPivot) << " vs "
      << referenceParameters.get(kSmallestPivot);
  int differences = 0;
  for (int i = 0; i <= system.n + 1; ++i) {
    if (!sameBits(engine->X[i], reference->X[i]) && differences++ < 5) {
      ADD_FAILURE() << label << ": X[" << i << "] " << engine->X[i] << " vs " << reference->X[i];
    }
  }
  for (int r = 1; r <= system.n; ++r) {
    if (!sameBits(engine->F[r], reference->F[r]) && differences++ < 5) {
      ADD_FAILURE() << label << ": F[" << r << "]";
    }
    for (int c = 1; c <= system.n; ++c) {
      if (!sameBits(engine->jacobian(r, c), reference->jacobian(r, c)) && differences++ < 5) {
        ADD_FAILURE() << label << ": J[" << r << "][" << c << "]";
      }
    }
  }
}

// Values from a small set give equal magnitudes (pivot ties) and exact
// cancellations (fill-in that comes out exactly zero) often.
double coarseValue(std::mt19937_64& random) {
  static const double values[] = {1.0, -1.0, 2.0, -2.0, 0.5, -0.5, 3.0, 0.25};
  return values[std::uniform_int_distribution<int>(0, 7)(random)];
}

System randomSparse(std::mt19937_64& random, int n, double density, bool coarse) {
  System system;
  system.n = n;
  system.rhs.assign(n + 1, 0.0);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  std::bernoulli_distribution present(density);
  std::bernoulli_distribution zeroRhs(0.2);
  for (int r = 1; r <= n; ++r) {
    for (int c = 1; c <= n; ++c) {
      if (!present(random)) continue;
      system.entries.emplace_back(r, c, coarse ? coarseValue(random) : value(random));
    }
    system.rhs[r] = zeroRhs(random) ? 0.0 : (coarse ? coarseValue(random) : value(random));
  }
  return system;
}

// Bands without diagonal dominance, so that rows are swapped and fill-in runs
// beyond the band.
System banded(std::mt19937_64& random, int n, int half, bool dominant) {
  System system;
  system.n = n;
  system.rhs.assign(n + 1, 0.0);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  for (int r = 1; r <= n; ++r) {
    double sum = 0.0;
    for (int c = std::max(1, r - half); c <= std::min(n, r + half); ++c) {
      if (c == r) continue;
      const double v = value(random);
      sum += std::fabs(v);
      system.entries.emplace_back(r, c, v);
    }
    system.entries.emplace_back(r, r, dominant ? sum + 1.0 : 0.1 * value(random));
    system.rhs[r] = value(random);
  }
  return system;
}

TEST(LinearSolverIdentity, RandomSparseSystems) {
  std::mt19937_64 random(20261208);
  for (int trial = 0; trial < 300; ++trial) {
    const int n = 1 + trial % 60;
    const double density = (trial % 5 + 1) * 0.06;
    const System system = randomSparse(random, n, density, trial % 2 == 0);
    expectIdentical(system, "sparse trial " + std::to_string(trial));
  }
  // Large and very sparse: most columns end near their first row.
  for (int trial = 0; trial < 6; ++trial) {
    System system = randomSparse(random, 300 + trial * 40, 0.01, trial % 2 == 0);
    for (int r = 1; r <= system.n; ++r) system.entries.emplace_back(r, r, 4.0);
    expectIdentical(system, "large sparse trial " + std::to_string(trial));
  }
}

TEST(LinearSolverIdentity, BandedSystemsWithAndWithoutPivoting) {
  std::mt19937_64 random(7);
  for (int n : {100, 200, 500}) {
    for (int half : {1, 3, 7}) {
      for (bool dominant : {true, false}) {
        expectIdentical(banded(random, n, half, dominant),
                        "banded n=" + std::to_string(n) + " half=" + std::to_string(half) +
                            (dominant ? " dominant" : " pivoting"));
      }
    }
  }
}

TEST(LinearSolverIdentity, IllConditionedNearSingularAndSingularSystems) {
  // Hilbert matrices: the pivots shrink until the 1e-9 note, then the 1e-14 stop.
  for (int n : {4, 8, 12, 16}) {
    System system;
    system.n = n;
    system.rhs.assign(n + 1, 1.0);
    for (int r = 1; r <= n; ++r) {
      for (int c = 1; c <= n; ++c) system.entries.emplace_back(r, c, 1.0 / (r + c - 1));
    }
    expectIdentical(system, "hilbert " + std::to_string(n));
  }
  std::mt19937_64 random(99);
  for (int trial = 0; trial < 40; ++trial) {
    const int n = 5 + trial;
    System system = randomSparse(random, n, 0.2, trial % 2 == 0);
    for (int r = 1; r <= n; ++r) system.entries.emplace_back(r, r, 1e-3);
    // Rows scaled over many decades; a copied row (singular); a zero column.
    for (auto& [r, c, v] : system.entries) v *= std::pow(10.0, -(r % 17));
    if (trial % 3 == 1) {
      const int source = 1 + trial % n;
      const int copy = 1 + (trial * 7) % n;
      std::vector<std::tuple<int, int, double>> copied;
      for (auto& [r, c, v] : system.entries) {
        if (r == source) copied.emplace_back(copy, c, v);
      }
      std::erase_if(system.entries, [&](const auto& e) { return std::get<0>(e) == copy; });
      system.entries.insert(system.entries.end(), copied.begin(), copied.end());
    }
    if (trial % 3 == 2) {
      const int column = 1 + (trial * 5) % n;
      std::erase_if(system.entries, [&](const auto& e) { return std::get<1>(e) == column; });
    }
    expectIdentical(system, "ill-conditioned trial " + std::to_string(trial));
  }
  // A NaN travels the same way through both.
  System withNan = randomSparse(random, 12, 0.4, false);
  for (int r = 1; r <= 12; ++r) withNan.entries.emplace_back(r, r, 5.0);
  withNan.entries.emplace_back(7, 3, std::numeric_limits<double>::quiet_NaN());
  expectIdentical(withNan, "nan");
}

// A second system in the same run: the first one's entries and fill-in must be gone
// although only the profile says where they were.
TEST(LinearSolverIdentity, SystemsSolvedOneAfterAnotherInTheSameRun) {
  std::mt19937_64 random(5);
  for (int trial = 0; trial < 40; ++trial) {
    const int n = 10 + trial * 3;
    const System first = trial % 2 == 0 ? banded(random, n, 2 + trial % 4, false)
                                        : randomSparse(random, n, 0.15, true);
    const System second = banded(random, n - trial % 5, 1, trial % 3 == 0);
    expectIdentical(second, "sequence trial " + std::to_string(trial), &first);
  }
}

// Clearing visits only the profile; after any solve (fill-in, swaps, a failure half
// way) and writes to the scratch row and column, the whole of J must be zero again.
TEST(LinearSolverIdentity, ClearingLeavesNoEntryOfJBehind) {
  std::mt19937_64 random(11);
  auto run = makeRun();
  ParameterStore parameters;
  for (int trial = 0; trial < 30; ++trial) {
    const int n = 5 + trial * 7;
    System system = trial % 3 == 0 ? banded(random, n, 1 + trial % 6, false)
                                   : randomSparse(random, n, 0.1, trial % 2 == 0);
    if (trial % 5 == 4) {  // a singular system stops half way
      std::erase_if(system.entries, [&](const auto& e) { return std::get<1>(e) == n / 2 + 1; });
    }
    load(*run, system);
    run->jacobian(0, n / 2) += 3.0;
    run->jacobian(n / 3, 0) -= 1.0;
    solveLinearSystem(*run, parameters);
    clearEquationSystem(*run);
    int left = 0;
    for (int i = 0; i < kRowStride * kRowStride; ++i) left += run->J[i] != 0.0 ? 1 : 0;
    ASSERT_EQ(left, 0) << "trial " << trial;
    for (int r = 0; r <= n; ++r) EXPECT_EQ(run->F[r], 0.0);
  }
}

}  // namespace
}  // namespace movra
