// A model and a run assembled by hand for tests of element evaluators: elements on
// given unknown indices, without the model reader or the allocation; element
// passes, Newton steps and the check of analytic Jacobians against differences.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "elements/evaluator.h"
#include "engine/linear_solver.h"
#include "engine/newton.h"
#include "engine/run.h"
#include "input/model.h"
#include "input/report.h"
#include "support/model_fixture.h"

namespace movra::testing {

// How closely every analytic J entry must follow the central difference
// (F(x + h) - F(x - h)) / 2h of its column. The allowance is the sum of the
// terms a test file chooses; each file keeps the ones its laws need.
struct JacobianCheck {
  double step = 1e-6;  // h, or h / max(|x|, smallestX) when relative
  bool stepRelativeToX = false;
  double smallestX = 0.0;
  double relative = 0.0;  // times |difference|
  double absolute = 0.0;
  double ofResidual = 0.0;  // times |F| of the row at x
  double ofRowScale = 0.0;  // times the largest |J| of the row at x
  double rounding = 0.0;    // times (|F(x + h)| + |F(x - h)|) / 2h
  bool perturbedPassesMustSucceed = false;
};

// The Newton iteration of one step: at most `limit` iterations, done when the
// update is small by `test` and no element voted against.
struct NewtonSettings {
  enum class Test {
    kUpdateNorm,                  // ||delta|| <= tolerance
    kUpdateNormOverFirstUnknown,  // ||delta|| <= tolerance * (1 + |x1|)
    kEveryUpdate,                 // |delta_u| <= tolerance * max(1, |x_u|) for every u
  };
  int limit = 20;
  double tolerance = 1e-10;
  Test test = Test::kUpdateNorm;
  // The engine's own solver, X <- I - delta, instead of the test's elimination.
  bool engineSolver = false;
};

class ElementFixture : public ::testing::Test {
 protected:
  ElementFixture() {
    reporter.setSink(log.sink());
    run->initialPass = 0;
  }

  // An element with its unknown indices in slots 1.. (0 = ground) and parameters
  // P1..; its statement record is the record of its row.
  ElementEntry& add(int typeCode, std::initializer_list<int> unknowns,
                    std::initializer_list<double> parameters) {
    const int row = ++model->count.elements;
    ElementEntry& element = model->elements[row];
    element = ElementEntry{};
    model->records[row].flags = 0;
    element.typeCode = typeCode;
    element.statementLine = row;
    std::snprintf(element.text, sizeof element.text, "element %d of code %d", row, typeCode);
    int slot = 1;
    for (int unknown : unknowns) {
      element.variableSlots[slot++] = unknown;
      run->unknownCount = std::max(run->unknownCount, unknown);
    }
    slot = 1;
    for (double value : parameters) element.realSlots[slot++] = value;
    return element;
  }

  // The model's only element: its slots as given (0 = ground) and its parameters.
  ElementEntry& onlyElement(int typeCode, const std::vector<int>& slots,
                            const std::vector<double>& parameters) {
    model->count.elements = 0;
    ElementEntry& element = add(typeCode, {}, {});
    std::copy(slots.begin(), slots.end(), element.variableSlots + 1);
    std::copy(parameters.begin(), parameters.end(), element.realSlots + 1);
    return element;
  }

  // Unknowns 1..count of mixed signs and sizes, a0·H and P near them.
  void scatteredState(int count) {
    for (int u = 1; u <= count; ++u) {
      run->X[u] = 0.1 * u * (u % 2 == 0 ? 1.0 : -0.7) + 0.05;
      run->a0H[u] = run->X[u] - 0.02 * (u % 5 - 2);
      run->previous[u] = run->X[u];
    }
  }

  void setX(std::initializer_list<double> values) {
    std::copy(values.begin(), values.end(), run->X + 1);
  }
  double store(int id) const { return model->parameters.get(id); }

  // One element pass at the present iteration. By hand, every entry of F and J is
  // cleared and an evaluator's nonzero result stops it; through the engine, its own
  // pass runs (J cleared by its profile, results above 0 stop it).
  int pass() {
    run->nonConvergence = 0;
    if (enginePass) return runElementPass(*model, *run, reporter);
    const int n = run->unknownCount;
    run->X[0] = 0.0;
    for (int r = 0; r <= n; ++r) {
      run->F[r] = 0.0;
      for (int c = 0; c <= n; ++c) run->jacobian(r, c) = 0.0;
    }
    EvaluationContext context{*model, *run, reporter};
    for (int row = 1; row <= model->count.elements; ++row) {
      const ElementEvaluator evaluate = evaluatorFor(model->elements[row].typeCode);
      if (evaluate == nullptr && skipElementsWithoutEvaluator) continue;
      const int result = evaluate(context, row);
      if (result != 0) return result;
    }
    return 0;
  }

  // Solves J·delta = F by elimination with partial pivoting; returns the smallest
  // pivot magnitude (0 for a singular system).
  double solve(std::vector<double>& delta) {
    const int n = run->unknownCount;
    std::vector<std::vector<double>> a(n, std::vector<double>(n + 1));
    for (int r = 0; r < n; ++r) {
      for (int c = 0; c < n; ++c) a[r][c] = run->jacobian(r + 1, c + 1);
      a[r][n] = run->F[r + 1];
    }
    double smallest = INFINITY;
    for (int k = 0; k < n; ++k) {
      int pivot = k;
      for (int r = k + 1; r < n; ++r) {
        if (std::fabs(a[r][k]) > std::fabs(a[pivot][k])) pivot = r;
      }
      std::swap(a[k], a[pivot]);
      smallest = std::min(smallest, std::fabs(a[k][k]));
      if (a[k][k] == 0.0) return 0.0;
      for (int r = k + 1; r < n; ++r) {
        const double factor = a[r][k] / a[k][k];
        for (int c = k; c <= n; ++c) a[r][c] -= factor * a[k][c];
      }
    }
    delta.assign(n + 1, 0.0);
    for (int k = n - 1; k >= 0; --k) {
      double sum = a[k][n];
      for (int c = k + 1; c < n; ++c) sum -= a[k][c] * delta[c + 1];
      delta[k + 1] = sum / a[k][k];
    }
    return smallest;
  }

  // Newton's method of one step as the engine runs it, by `newtonSettings`.
  // Returns the iterations used, 0 on failure.
  int newton() {
    const NewtonSettings& settings = newtonSettings;
    const int n = run->unknownCount;
    std::vector<double> delta;
    for (int iteration = 1; iteration <= settings.limit; ++iteration) {
      run->iteration = iteration;
      if (settings.engineSolver) std::copy(run->X + 1, run->X + 1 + n, run->iterationStart + 1);
      if (pass() != 0) return 0;
      run->initialPass = 0;
      if (settings.engineSolver) {
        if (solveLinearSystem(*run, model->parameters) != kSolved) return 0;
        delta.assign(run->X, run->X + n + 1);
        std::copy(run->iterationStart + 1, run->iterationStart + 1 + n, run->X + 1);
      } else if (solve(delta) == 0.0) {
        return 0;
      }
      double norm = 0.0;
      bool everyUpdateSmall = true;
      for (int u = 1; u <= n; ++u) {
        run->X[u] -= delta[u];
        norm += delta[u] * delta[u];
        if (std::fabs(delta[u]) > settings.tolerance * std::max(1.0, std::fabs(run->X[u]))) {
          everyUpdateSmall = false;
        }
      }
      bool small = false;
      switch (settings.test) {
        case NewtonSettings::Test::kUpdateNorm:
          small = std::sqrt(norm) <= settings.tolerance;
          break;
        case NewtonSettings::Test::kUpdateNormOverFirstUnknown:
          small = std::sqrt(norm) <= settings.tolerance * (1.0 + std::fabs(run->X[1]));
          break;
        case NewtonSettings::Test::kEveryUpdate:
          small = everyUpdateSmall;
          break;
      }
      if (small && run->nonConvergence == 0) return iteration;
    }
    return 0;
  }

  // One attempt as the driver makes it: the preparation pass, then a0 and H of a
  // backward-Euler step h (a0 = 0 for h = 0), P saved, Newton. False on failure.
  bool driverStep(double h) {
    run->iteration = 0;
    if (runPreparationPass(*model, *run, reporter) != 0) return false;
    run->recordingFlag = 0;
    const int last = run->unknownCount + run->stateSlotCount;
    run->a0H[0] = h > 0.0 ? 1.0 / h : 0.0;
    std::copy(run->X + 1, run->X + 1 + last, run->a0H + 1);
    std::copy(run->X + 1, run->X + 1 + last, run->previous + 1);
    return newton() > 0;
  }

  // The recording pass on the display list emptied first, at the given iteration
  // (none: the present one).
  void recordingPass(std::optional<int> iteration = 3, int displayFlag = 7) {
    run->recordingFlag = 1;
    run->displayFlag = displayFlag;
    if (iteration) run->iteration = *iteration;
    run->display.clear();
    ASSERT_EQ(pass(), 0);
    run->recordingFlag = 0;
    run->displayFlag = 0;
  }

  // Compares every J entry of a pass at iteration 2 with central differences of F.
  void expectJacobianMatchesDifferences(const std::string& label) {
    expectJacobianMatchesDifferences(label, jacobianCheck);
  }
  void expectJacobianMatchesDifferences(const std::string& label, const JacobianCheck& check) {
    const int n = run->unknownCount;
    run->iteration = 2;
    ASSERT_EQ(pass(), 0) << label;
    std::vector<double> analytic((n + 1) * (n + 1)), residual(run->F, run->F + n + 1);
    std::vector<double> rowScale(n + 1, 0.0);
    for (int r = 1; r <= n; ++r) {
      for (int c = 1; c <= n; ++c) {
        analytic[r * (n + 1) + c] = run->jacobian(r, c);
        rowScale[r] = std::max(rowScale[r], std::fabs(run->jacobian(r, c)));
      }
    }
    for (int c = 1; c <= n; ++c) {
      const double saved = run->X[c];
      const double h = check.stepRelativeToX
                           ? check.step * std::max(std::fabs(saved), check.smallestX)
                           : check.step;
      run->X[c] = saved + h;
      const int plusResult = pass();
      const std::vector<double> plus(run->F, run->F + n + 1);
      run->X[c] = saved - h;
      const int minusResult = pass();
      const std::vector<double> minus(run->F, run->F + n + 1);
      run->X[c] = saved;
      if (check.perturbedPassesMustSucceed) {
        ASSERT_EQ(plusResult, 0) << label << ": x" << c << " + h";
        ASSERT_EQ(minusResult, 0) << label << ": x" << c << " - h";
      }
      for (int r = 1; r <= n; ++r) {
        const double numeric = (plus[r] - minus[r]) / (2.0 * h);
        // Only the chosen terms: an unused one must not turn an infinite F into NaN.
        double allowance = check.relative * std::fabs(numeric) + check.absolute;
        if (check.ofResidual != 0.0) allowance += check.ofResidual * std::fabs(residual[r]);
        if (check.ofRowScale != 0.0) allowance += check.ofRowScale * rowScale[r];
        if (check.rounding != 0.0) {
          allowance += check.rounding * (std::fabs(plus[r]) + std::fabs(minus[r])) / (2.0 * h);
        }
        EXPECT_NEAR(analytic[r * (n + 1) + c], numeric, allowance)
            << label << ": J[" << r << "][" << c << "]";
      }
    }
  }

  // The value block of an element's statement record.
  const double* display(const ElementEntry& element) {
    return model->records[element.statementLine].valueBlock;
  }

  // Puts the mechanical node's x, y and rotation keys on unknowns, and marks the
  // node mechanical as the editor does.
  void mechanicalNode(int node, int x, int y, int angle) {
    model->nodes.kind[node] = 1;
    run->unknownOfKey[node * 10 + 1] = x;
    run->unknownOfKey[node * 10 + 2] = y;
    run->unknownOfKey[node * 10] = angle;
  }

  std::unique_ptr<Model> model = makeModel();
  std::unique_ptr<movra::Run> run = makeRun();
  Reporter reporter;
  MessageLog log;

  // What each test file chooses, in SetUp.
  bool enginePass = false;
  bool skipElementsWithoutEvaluator = false;
  NewtonSettings newtonSettings;
  JacobianCheck jacobianCheck;
};

}  // namespace movra::testing
