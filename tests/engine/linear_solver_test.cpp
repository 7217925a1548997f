#include "engine/linear_solver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "engine/run.h"

namespace movra {
namespace {

constexpr int kSmallestPivot = -1100;

class LinearSolver : public ::testing::Test {
 protected:
  // Loads a dense matrix (rows 1..n) and right-hand side into the run.
  void load(const std::vector<std::vector<double>>& a, const std::vector<double>& b) {
    run.unknownCount = static_cast<int>(a.size());
    for (size_t r = 0; r < a.size(); ++r) {
      for (size_t c = 0; c < a.size(); ++c) run.jacobian(r + 1, c + 1) = a[r][c];
      run.F[r + 1] = b[r];
    }
  }
  int solve() { return solveLinearSystem(run, parameters); }

  std::unique_ptr<movra::Run> owner = makeRun();
  movra::Run& run = *owner;
  ParameterStore parameters;
};

TEST_F(LinearSolver, EmptySystemSolves) {
  run.X[1] = 4.0;
  EXPECT_EQ(solve(), kSolved);
  EXPECT_EQ(run.X[1], 4.0);
  EXPECT_EQ(parameters.get(kSmallestPivot), 3e33);
}

TEST_F(LinearSolver, SolvesWithPivotingAndKeepsTheSmallestPivot) {
  // Row 1 has a zero in column 1, so row 2 must be swapped up.
  load({{0.0, 2.0, 1.0}, {4.0, 1.0, 0.0}, {1.0, 0.0, 3.0}}, {5.0, 6.0, 10.0});
  ASSERT_EQ(solve(), kSolved);
  const double a[3][3] = {{0.0, 2.0, 1.0}, {4.0, 1.0, 0.0}, {1.0, 0.0, 3.0}};
  const double b[3] = {5.0, 6.0, 10.0};
  for (int r = 0; r < 3; ++r) {
    double sum = 0.0;
    for (int c = 0; c < 3; ++c) sum += a[r][c] * run.X[c + 1];
    EXPECT_NEAR(sum, b[r], 1e-12) << r;
  }
  // Pivots 4, 2 and 3.125; their product is |det| = 25.
  EXPECT_EQ(parameters.get(kSmallestPivot), 2.0);
  EXPECT_EQ(run.solverNote[0], '\0');
}

TEST_F(LinearSolver, ZeroColumnIsSingularAtThatColumn) {
  // Column 2 is twice column 1, so it is exactly zero from row 2 down once column 1
  // has been eliminated.
  load({{1.0, 2.0, 0.0}, {2.0, 4.0, 1.0}, {3.0, 6.0, 5.0}}, {1.0, 1.0, 1.0});
  run.X[1] = 7.0;
  run.X[2] = 8.0;
  EXPECT_EQ(solve(), kSingular);
  // Pivot row remembered from column 1 (row 3, the largest |3|).
  EXPECT_STREQ(run.solverNote, "0. singuler -> ! 2 3 0 0");
  EXPECT_EQ(run.X[1], 7.0);
  EXPECT_EQ(run.X[2], 8.0);
}

TEST_F(LinearSolver, TinyPivotsFailOrLeaveANote) {
  load({{5e-15}}, {1.0});
  EXPECT_EQ(solve(), kNearlySingular);
  EXPECT_STREQ(run.solverNote, "1.e-14 near singuler -> !  5.000000e-15");

  run.solverNote[0] = '\0';
  load({{5e-10, 0.0}, {0.0, 2.0}}, {1e-9, 4.0});
  ASSERT_EQ(solve(), kSolved);
  EXPECT_STREQ(run.solverNote, "1.e-9 near singuler -> ? 5.000000e-10");
  EXPECT_NEAR(run.X[1], 2.0, 1e-12);
  EXPECT_DOUBLE_EQ(run.X[2], 2.0);
  EXPECT_EQ(parameters.get(kSmallestPivot), 5e-10);
}

TEST_F(LinearSolver, EqualMagnitudesTakeTheLowerRow) {
  // |−2| = |2| in column 1: row 1 stays, so no swap and row 1 is scaled by −2.
  load({{-2.0, 1.0}, {2.0, 3.0}}, {0.0, 8.0});
  ASSERT_EQ(solve(), kSolved);
  EXPECT_EQ(run.jacobian(1, 1), -2.0);  // the diagonal is left as it was
  EXPECT_EQ(run.jacobian(1, 2), -0.5);
  EXPECT_EQ(run.jacobian(2, 1), 2.0);  // not cleared below the pivot
  // -2x + y = 0, 2x + 3y = 8: y = 2, x = 1.
  EXPECT_DOUBLE_EQ(run.X[1], 1.0);
  EXPECT_DOUBLE_EQ(run.X[2], 2.0);
}

TEST_F(LinearSolver, ZeroRightHandSideGivesZeroUpdate) {
  load({{3.0, 1.0, 0.0}, {1.0, 4.0, 1.0}, {0.0, 1.0, 5.0}}, {0.0, 0.0, 0.0});
  for (int i = 1; i <= 3; ++i) run.X[i] = 9.0;
  ASSERT_EQ(solve(), kSolved);
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(run.X[i], 0.0);
}

// Random diagonally dominated systems against the residual and against an
// independent solve (Gauss-Jordan with full pivoting on a copy).
TEST_F(LinearSolver, RandomSystemsMatchAnIndependentSolve) {
  std::mt19937 generator(12345);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  std::bernoulli_distribution sparse(0.3);
  for (int trial = 0; trial < 20; ++trial) {
    const int n = 1 + trial * 7;
    std::vector<std::vector<double>> a(n, std::vector<double>(n, 0.0));
    std::vector<double> b(n);
    for (int r = 0; r < n; ++r) {
      double rowSum = 0.0;
      for (int c = 0; c < n; ++c) {
        if (r != c && sparse(generator)) {
          a[r][c] = value(generator);
          rowSum += std::fabs(a[r][c]);
        }
      }
      a[r][r] = (rowSum + 1.0) * (value(generator) < 0 ? -1.0 : 1.0);
      b[r] = value(generator) * 10.0;
    }
    load(a, b);
    ASSERT_EQ(solve(), kSolved) << n;

    // Gauss-Jordan with full pivoting on an augmented copy.
    std::vector<std::vector<double>> m = a;
    for (int r = 0; r < n; ++r) m[r].push_back(b[r]);
    std::vector<int> column(n);
    for (int c = 0; c < n; ++c) column[c] = c;
    for (int k = 0; k < n; ++k) {
      int pr = k, pc = k;
      for (int r = k; r < n; ++r) {
        for (int c = k; c < n; ++c) {
          if (std::fabs(m[r][c]) > std::fabs(m[pr][pc])) pr = r, pc = c;
        }
      }
      std::swap(m[k], m[pr]);
      for (int r = 0; r < n; ++r) std::swap(m[r][k], m[r][pc]);
      std::swap(column[k], column[pc]);
      for (int r = 0; r < n; ++r) {
        if (r == k) continue;
        const double factor = m[r][k] / m[k][k];
        for (int c = k; c <= n; ++c) m[r][c] -= factor * m[k][c];
      }
    }
    for (int k = 0; k < n; ++k) {
      const double expected = m[k][n] / m[k][k];
      EXPECT_NEAR(run.X[column[k] + 1], expected, 1e-9 * (1.0 + std::fabs(expected))) << n;
    }
    for (int r = 0; r < n; ++r) {
      double sum = 0.0;
      for (int c = 0; c < n; ++c) sum += a[r][c] * run.X[c + 1];
      EXPECT_NEAR(sum, b[r], 1e-9) << n << " row " << r;
    }
  }
}

TEST_F(LinearSolver, FullSizeSystemStaysInsideTheArrays) {
  // A 500 × 500 tridiagonal system: −x_{i−1} + 4x_i − x_{i+1} = 2.
  const int n = kMaxUnknowns;
  run.unknownCount = n;
  for (int i = 1; i <= n; ++i) {
    run.jacobian(i, i) = 4.0;
    if (i > 1) run.jacobian(i, i - 1) = -1.0;
    if (i < n) run.jacobian(i, i + 1) = -1.0;
    run.F[i] = 2.0;
  }
  ASSERT_EQ(solve(), kSolved);
  for (int i = 1; i <= n; ++i) {
    const double left = i > 1 ? run.X[i - 1] : 0.0;
    const double right = i < n ? run.X[i + 1] : 0.0;
    EXPECT_NEAR(-left + 4.0 * run.X[i] - right, 2.0, 1e-12) << i;
  }
}

}  // namespace
}  // namespace movra
