// Thermal evaluators on hand-assembled systems: the material row of a table,
// Jacobians against central differences, the worked values of the wall and the
// radiation law, and every validation message in the order the checks run.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "elements/conventions.h"
#include "elements/evaluator.h"
#include "elements/thermal/thermal.h"
#include "input/model_checks.h"
#include "support/element_fixture.h"
#include "support/model_fixture.h"

namespace movra {
namespace {

constexpr double kSigma = 5.67e-08;

class ThermalTest : public testing::ElementFixture {
 protected:
  void SetUp() override {
    model->parameters[kCircuitRelativeToleranceEntry] = 0.001;
    model->parameters[kCircuitAbsoluteToleranceEntry] = 1e-7;
    skipElementsWithoutEvaluator = true;  // the flow elements in the wall's test
  }

  // A ":u" lookup table with rows of a temperature and its values.
  void table(int id, std::initializer_list<std::vector<double>> rows) {
    const int s = ++model->count.parameterStatements;
    ParameterStatement& statement = model->parameterStatements[s];
    statement.typeCode = 80;
    statement.id = id;
    statement.firstPoolRow = model->parameterRowsUsed;
    statement.rowCount = static_cast<int>(rows.size());
    statement.returnValueCount = static_cast<int>(rows.begin()->size()) - 1;
    for (const std::vector<double>& row : rows) {
      for (size_t c = 0; c < row.size(); ++c) {
        model->parameterRows[model->parameterRowsUsed][c] = row[c];
      }
      ++model->parameterRowsUsed;
    }
  }

  ElementEntry& element(int code, std::initializer_list<int> unknowns,
                        std::initializer_list<double> parameters, int tableId = 0) {
    ElementEntry& e = add(code, unknowns, parameters);
    e.tableId = tableId;
    return e;
  }

  int pass(int iteration = 2) {
    run->iteration = iteration;
    return ElementFixture::pass();
  }

  // The first iteration (material rows, validation) and then every J entry
  // against central differences of F over the later iterations.
  void expectJacobianMatchesDifferences(const std::string& label, double step = 1e-4) {
    ASSERT_EQ(pass(1), 0) << label << (log.texts.empty() ? "" : log.texts.back());
    ElementFixture::expectJacobianMatchesDifferences(
        label, {.step = step, .relative = 1e-6, .absolute = 1e-6});
  }

  void recordingPass() { ElementFixture::recordingPass(3, 0); }

  // The message of a first pass (initial pass and first iteration) that must fail.
  std::string refusal() {
    run->initialPass = 1;
    log.texts.clear();
    EXPECT_EQ(pass(1), 9);
    run->initialPass = 0;
    return log.texts.empty() ? std::string() : log.texts.back();
  }
};

// ---- the material row ----

TEST_F(ThermalTest, MaterialRowInterpolatesLinearlyAndHoldsTheEndRowsOutsideTheTable) {
  table(300, {{0, 10, 100, 1000}, {100, 20, 300, 1000}, {200, 60, 300, 3000}});
  const ParameterStatement& t = model->parameterStatements[1];
  double row[4];
  ASSERT_TRUE(thermal::materialRow(*model, t, 25, row, 3));
  EXPECT_DOUBLE_EQ(row[0], 25);
  EXPECT_DOUBLE_EQ(row[1], 12.5);
  EXPECT_DOUBLE_EQ(row[2], 150);
  ASSERT_TRUE(thermal::materialRow(*model, t, 150, row, 3));
  EXPECT_DOUBLE_EQ(row[1], 40);
  EXPECT_DOUBLE_EQ(row[3], 2000);
  ASSERT_TRUE(thermal::materialRow(*model, t, 100, row, 3));  // on a row
  EXPECT_DOUBLE_EQ(row[1], 20);
  ASSERT_TRUE(thermal::materialRow(*model, t, -50, row, 3));
  EXPECT_DOUBLE_EQ(row[1], 10);
  ASSERT_TRUE(thermal::materialRow(*model, t, 1e6, row, 3));
  EXPECT_DOUBLE_EQ(row[1], 60);
  ASSERT_TRUE(thermal::materialRow(*model, t, NAN, row, 3));  // no NaN comes out
  EXPECT_DOUBLE_EQ(row[1], 10);
  // A table narrower than the element needs is refused, not read past its rows.
  EXPECT_FALSE(thermal::materialRow(*model, t, 25, row, 5));
}

// ---- 41 and 42 ----

TEST_F(ThermalTest, SourcesAndAdvectionStampTheirDerivatives) {
  table(200, {{0, 0.6, 1000, 4000}, {100, 0.7, 950, 4200}});
  element(41, {1, 2, 3}, {10});
  element(42, {1, 4}, {0, 1, 0.05}, 200);  // advection 0.05 kg/s from 1 to 4
  element(42, {4, 0}, {0, 0, 3});          // heat-flow source out of 4
  element(42, {4, 2}, {0, 1, 0.02}, 200);
  setX({60, 20, 0.5, 40});
  expectJacobianMatchesDifferences("sources");
}

TEST_F(ThermalTest, TemperatureSourceOwnsItsRowAndAdvectionCarriesTheInletEnthalpy) {
  table(200, {{0, 0.6, 1000, 4000}, {100, 0.6, 1000, 4200}});
  element(41, {1, 2, 3}, {10});
  setX({20, 0, 0});
  ASSERT_EQ(pass(1), 0);
  EXPECT_DOUBLE_EQ(run->F[3], -10.0);  // 10 - (20 - 0)

  model->count.elements = 0;
  ElementEntry& link = element(42, {1, 2}, {0, 1, 0.0}, 200);
  setX({50, 10, 0});
  ASSERT_EQ(pass(1), 0);
  // P3 = 0 still couples the nodes through 1e-9·c_p, c_p at the inlet (50 degC).
  EXPECT_NEAR(run->jacobian(2, 1), 1e-9 * 4100, 1e-15);
  EXPECT_EQ(run->jacobian(2, 2), 0.0);  // the outlet temperature plays no part
  link.realSlots[3] = 0.1;
  ASSERT_EQ(pass(1), 0);
  EXPECT_NEAR(run->F[2], (0.1 + 1e-9) * 4100 * 50, 1e-6);
  EXPECT_NEAR(run->F[1], -(0.1 + 1e-9) * 4100 * 50, 1e-6);
}

TEST_F(ThermalTest, HeatFlowElementRefusesItsDataInTheOrderTheChecksRun) {
  element(42, {1, 2}, {0, 2, 1}, 200);
  EXPECT_EQ(refusal(), "形状が？ \n\n element 1 of code 42");
  model->elements[1].realSlots[2] = 1;
  model->elements[1].tableId = 0;
  EXPECT_EQ(refusal(), "表ｉｄが？_e \n\n element 1 of code 42");
  model->elements[1].tableId = 200;
  EXPECT_EQ(refusal(), "表ｉｄが空　　:u で未設定？ \n\n element 1 of code 42");
  table(200, {{0, 0.6, 1000, -1}});
  model->elements[1].realSlots[3] = -1;
  EXPECT_EQ(refusal(), "移流のデータが？．\n\n element 1 of code 42");
  model->elements[1].realSlots[3] = 1;
  EXPECT_EQ(refusal(), "物性データが？．\n\n element 1 of code 42");
  // Mode 0 needs no table at all.
  model->elements[1].realSlots[2] = 0;
  model->elements[1].tableId = 0;
  run->initialPass = 1;
  EXPECT_EQ(pass(1), 0);
}

// ---- 43 ----

TEST_F(ThermalTest, WallHalvesStoreAndConductWithTheirDerivatives) {
  table(200, {{0, 50, 7800, 500}, {200, 40, 7800, 600}});
  for (int shape : {1, 2, 20, 3, 30}) {
    model->count.elements = 0;
    const double r1 = shape == 1 ? 2.0 : 0.05;
    element(43, {1, 2, 3, 4}, {0, static_cast<double>(shape), r1, 0.1, 0.5, 0, 100}, 200);
    setX({80, 20, 55, 0});
    run->a0H[0] = 10.0;  // a0
    run->a0H[1] = 70;
    run->a0H[2] = 20;
    run->a0H[3] = 50;
    expectJacobianMatchesDifferences("shape " + std::to_string(shape));
  }
}

TEST_F(ThermalTest, SlabOfAreaTwoThicknessOneTenthAndLambdaFiftyConducts2000PerHalf) {
  table(200, {{0, 50, 0, 0}});
  element(43, {1, 2, 3, 4}, {0, 1, 2, 0.1}, 200);
  setX({30, 10, 20, 0});
  ASSERT_EQ(pass(1), 0);
  EXPECT_DOUBLE_EQ(run->jacobian(1, 1), -2000.0);
  EXPECT_DOUBLE_EQ(run->jacobian(3, 3), -4000.0);
  EXPECT_DOUBLE_EQ(run->F[1], -2000.0 * 10);
  EXPECT_DOUBLE_EQ(run->F[4], 0.0);  // the unused exchanged heat is held at 0
  EXPECT_DOUBLE_EQ(run->jacobian(4, 4), 1.0);
  model->elements[1].returnBlockId = 1100;
  recordingPass();
  EXPECT_DOUBLE_EQ(store(1102), 20000.0);  // the flow through the wall, a to b
  EXPECT_DOUBLE_EQ(store(1101), 20.0);
}

TEST_F(ThermalTest, HollowCylinderOfInnerRadiusZeroIsComputedWithAThousandthOfTheOuter) {
  table(200, {{0, 1, 0, 0}});
  element(43, {1, 2, 3, 4}, {0, 3, 0, 0.1, 2}, 200);
  element(43, {5, 6, 7, 8}, {0, 3, 1e-4, 0.1, 2}, 200);
  setX({1, 0, 0.5, 0, 1, 0, 0.5, 0});
  ASSERT_EQ(pass(1), 0);
  EXPECT_DOUBLE_EQ(run->jacobian(1, 1), run->jacobian(5, 5));
}

// A double-pipe exchanger: supplies held by temperature sources (unknowns 7, 8
// with their flows 9, 10), streams 1 -> 2 (hot) and 3 -> 4 (cold) between
// advection links, the overall wall on the two inlets (middle 5, exchanged heat 6).
class ExchangerTest : public ThermalTest {
 protected:
  void build(double coldDirection) {
    table(200, {{0, 0.6, 1000, specificHeat, 5e-3, 2e-4}});  // constant properties
    table(210, {{0, wallLambda, 8000, 500}});
    supplyHot = &element(41, {7, 0, 9}, {90});
    element(41, {8, 0, 10}, {20});
    element(42, {7, 1}, {0, 1, hotFlow}, 200);
    hot = &element(47, {1, 2}, {0, 1, 0.02, 2, hotFlow}, 200);
    element(42, {2, 0}, {0, 1, hotFlow}, 200);
    element(42, {8, 3}, {0, 1, coldFlow}, 200);
    cold = &element(47, {3, 4}, {0, 1, 0.02, 2, coldFlow}, 200);
    element(42, {4, 0}, {0, 1, coldFlow}, 200);
    wall = &element(43, {1, 3, 5, 6}, {0, 4, 0.01, 0.012, 2}, 200);
    wall->tableId = 210;
    wall->returnBlockId = 1100;
    wall->variableSlots[kThermalLinkSlot] = 4;
    wall->variableSlots[kThermalLinkSlot + 1] = 7;
    place(*hot, 11, 0, 12, 1, 0);
    place(*cold, 13, coldDirection > 0 ? 0 : 1, 14, coldDirection > 0 ? 1 : 0, -1);
    setX({90, 60, 20, 40, 0, 0, 90, 20, 0, 0});
  }
  // Gives a flow element nodes at (x1, y) and (x2, y).
  void place(ElementEntry& e, int n1, double x1, int n2, double x2, double y) {
    e.node[1] = n1;
    e.node[2] = n2;
    model->nodes.x[n1] = x1;
    model->nodes.x[n2] = x2;
    model->nodes.y[n1] = model->nodes.y[n2] = y;
  }
  // Newton at the iteration numbers of a step until the update is below 1e-10.
  void solve() {
    std::vector<double> delta;
    for (int iteration = 1; iteration <= 30; ++iteration) {
      ASSERT_EQ(pass(iteration), 0) << (log.texts.empty() ? "" : log.texts.back());
      ASSERT_GT(ElementFixture::solve(delta), 0.0);
      double norm = 0;
      for (int u = 1; u <= run->unknownCount; ++u) {
        run->X[u] -= delta[u];
        norm += delta[u] * delta[u];
      }
      if (std::sqrt(norm) < 1e-10) return;
    }
    FAIL() << "no convergence";
  }
  double hotFlow = 0.05;
  double coldFlow = 0.08;
  double specificHeat = 4000;
  double wallLambda = 16;
  ElementEntry* supplyHot = nullptr;
  ElementEntry* hot = nullptr;
  ElementEntry* cold = nullptr;
  ElementEntry* wall = nullptr;
};

TEST_F(ExchangerTest, CounterflowOutletsMatchEffectivenessAndNtu) {
  build(-1);
  setX({90, 10, 20, 40, 0, 0, 90, 20, 0, 0});  // the hot outlet below the cold inlet
  expectJacobianMatchesDifferences("crossed ends", 1e-3);
  setX({90, 60, 20, 40, 0, 0, 90, 20, 0, 0});
  expectJacobianMatchesDifferences("exchanger", 1e-3);
  solve();
  recordingPass();
  const double ua = store(1106);
  // Laminar tubes (Re = 4·m/(π·D·μ) below 2300): Nu = 3.66 on both films.
  const double film = 3.66 * 0.6 * M_PI * 2;
  const double wallR = std::log(1.2) / (2 * M_PI * (2 + 1e-9) * 16);
  EXPECT_NEAR(ua, 1 / (wallR + 2 / film), 1e-9 * ua);
  const double ch = (hotFlow + 1e-9) * 4000, cc = (coldFlow + 1e-9) * 4000;
  const double cmin = std::min(ch, cc), cr = cmin / std::max(ch, cc);
  const double ntu = ua / cmin;
  const double e = (1 - std::exp(-ntu * (1 - cr))) / (1 - cr * std::exp(-ntu * (1 - cr)));
  const double q = e * cmin * (90 - 20);
  EXPECT_NEAR(run->X[6], q, 1e-6 * q);
  EXPECT_NEAR(run->X[2], 90 - q / ch, 1e-6);
  EXPECT_NEAR(run->X[4], 20 + q / cc, 1e-6);
}

TEST_F(ExchangerTest, StreamsDrawnTheSameWayRunInParallel) {
  build(+1);
  solve();
  recordingPass();
  const double ua = store(1106);
  const double ch = (hotFlow + 1e-9) * 4000, cc = (coldFlow + 1e-9) * 4000;
  const double cmin = std::min(ch, cc), cr = cmin / std::max(ch, cc);
  const double e = (1 - std::exp(-ua / cmin * (1 + cr))) / (1 + cr);
  EXPECT_NEAR(run->X[6], e * cmin * 70, 1e-6 * e * cmin * 70);
}

// From a run's start (every temperature 0) to the effectiveness of the
// exchanger, ε = (1 - e^(-NTU(1-Cr)))/(1 - Cr·e^(-NTU(1-Cr))) in counterflow and
// (1 - e^(-NTU(1+Cr)))/(1 + Cr) in parallel flow (Incropera, Table 11.3), with
// the cold stream first as well: Q then flows from the second stream to the first.
// Cr = 0.25 puts NTU 3 past both 2/(1+Cr) and 2/(1-Cr), beyond which the first
// iterate crosses the ends.
TEST_F(ExchangerTest, EveryArrangementAndStreamOrderMatchesEffectivenessAndNtuFromTheStart) {
  hotFlow = 0.02;
  coldFlow = 0.08;
  specificHeat = 40;  // C = m·c_p of 0.8 and 3.2 W/K against laminar films of 13.8 W/K
  const double film = 3.66 * 0.6 * M_PI * 2;
  const double ch = (hotFlow + 1e-9) * specificHeat, cc = (coldFlow + 1e-9) * specificHeat;
  const double cmin = std::min(ch, cc), cr = cmin / std::max(ch, cc);
  for (const bool counterflow : {true, false}) {
    for (const bool coldFirst : {false, true}) {
      for (const double ntu : {0.5, 1.0, 3.0}) {
        const std::string label = std::string(counterflow ? "counterflow" : "parallel") +
                                  (coldFirst ? ", cold first" : ", hot first") + ", NTU " +
                                  std::to_string(ntu);
        model->count.elements = 0;
        model->count.parameterStatements = 0;
        model->parameterRowsUsed = 0;
        wallLambda = std::log(1.2) / (2 * M_PI * (2 + 1e-9) * (1 / (ntu * cmin) - 2 / film));
        build(counterflow ? -1 : +1);
        if (coldFirst) {
          wall->variableSlots[kThermalLinkSlot] = 7;
          wall->variableSlots[kThermalLinkSlot + 1] = 4;
        }
        setX({0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        solve();
        recordingPass();
        ASSERT_NEAR(store(1106), ntu * cmin, 1e-9 * ntu * cmin) << label;
        const double e =
            counterflow ? (1 - std::exp(-ntu * (1 - cr))) / (1 - cr * std::exp(-ntu * (1 - cr)))
                        : (1 - std::exp(-ntu * (1 + cr))) / (1 + cr);
        const double q = e * cmin * 70;
        EXPECT_NEAR(run->X[6], coldFirst ? -q : q, 1e-6 * q) << label;
        EXPECT_NEAR(run->X[2], 90 - q / ch, 1e-6) << label;
        EXPECT_NEAR(run->X[4], 20 + q / cc, 1e-6) << label;
      }
    }
  }
}

TEST_F(ExchangerTest, ExchangerRefusesPartnersThatAreNoStreamsOrCrossEachOther) {
  build(-1);
  const std::string line = " \n\n element 9 of code 43";
  wall->variableSlots[kThermalLinkSlot] = 3;  // an advection link
  EXPECT_EQ(refusal(), "総括の壁面？ 42 47" + line);
  wall->variableSlots[kThermalLinkSlot] = 4;
  model->nodes.y[14] = 5;  // the cold stream now runs along y
  model->nodes.x[14] = 0;
  EXPECT_EQ(refusal(), "壁面の方向が横と縦？ 0 1" + line);
  model->nodes.y[14] = -1;
  model->nodes.x[14] = 0;
  // Equal end differences fall back to the arithmetic mean.
  setX({90, 60, 30, 60, 0, 0, 90, 30, 0, 0});
  ASSERT_EQ(pass(1), 0);
  EXPECT_NEAR(run->F[6], -30.0, 1e-9);
}

TEST_F(ExchangerTest, FlowElementsRefuseTheirDataInTheOrderTheChecksRun) {
  build(-1);
  const std::string line = " \n\n element 4 of code 47";
  hot->realSlots[5] = NAN;
  EXPECT_EQ(refusal(), "数値が？" + line);
  hot->realSlots[5] = hotFlow;
  model->parameterRows[0][4] = 0;  // μ = 0
  EXPECT_EQ(refusal(), "物性データが？．\n\n element 4 of code 47");
  model->parameterRows[0][4] = 5e-3;
  hot->realSlots[2] = 2;
  EXPECT_EQ(refusal(), "形状や流速が？" + line);
  hot->realSlots[2] = 1;
  model->elements[3].realSlots[2] = 0;  // the feeding link becomes a heat source
  EXPECT_EQ(refusal(), "入口 or 出口が移流でない？" + line);
  model->elements[3].realSlots[2] = 1;
  hot->realSlots[3] = 0;
  EXPECT_EQ(refusal(), "形状寸法が？" + line);
  hot->realSlots[3] = 0.02;
  hot->tableId = 0;
  EXPECT_EQ(refusal(), "表ｉｄが？_e" + line);
  hot->tableId = 220;
  EXPECT_EQ(refusal(), "表ｉｄが空　　:u で未設定？" + line);
}

TEST_F(ThermalTest, BodyInAFlowRefusesShapeVelocityAndSize) {
  table(500, {{0, 0.025, 1.2, 1007, 1.8e-5, 0.0034}});
  ElementEntry& body = element(46, {1, 2}, {0, 4, 5, 0.1, 1}, 500);
  const std::string line = " \n\n element 1 of code 46";
  EXPECT_EQ(refusal(), "形状 or 流速が？" + line);
  body.realSlots[2] = 2;
  body.realSlots[3] = -1;
  EXPECT_EQ(refusal(), "形状 or 流速が？" + line);
  body.realSlots[3] = 5;
  body.realSlots[5] = 0;
  EXPECT_EQ(refusal(), "形状寸法が？" + line);
  body.realSlots[2] = 3;  // a sphere needs no length
  setX({60, 20});
  run->initialPass = 1;
  ASSERT_EQ(pass(1), 0);
  // Whitaker: Nu = 2 + (0.4·Re^½ + 0.06·Re^⅔)·Pr^0.4, h = Nu·λ/D, A = π·D².
  const double re = 1.2 * 5 * 0.1 / 1.8e-5, pr = 1.8e-5 * 1007 / 0.025;
  const double nu = 2 + (0.4 * std::sqrt(re) + 0.06 * std::pow(re, 2.0 / 3)) * std::pow(pr, 0.4);
  EXPECT_NEAR(-run->jacobian(1, 1), nu * 0.025 / 0.1 * M_PI * 0.01 + 2e-9, 1e-9);
}

TEST_F(ThermalTest, WallRefusesTablesMaterialsAndGeometryWithTheirValues) {
  element(43, {1, 2, 3, 4}, {0, 1, 2, 0.1}, 0);
  const std::string line = " \n\n element 1 of code 43";
  EXPECT_EQ(refusal(), "表ｉｄが？_e" + line);
  model->elements[1].tableId = 200;
  EXPECT_EQ(refusal(), "表ｉｄが空　　:u で未設定？" + line);
  table(200, {{0, 50, -1, 500}});
  EXPECT_EQ(refusal(), "物性データが？．\n\n element 1 of code 43");
  model->parameterRows[0][2] = 7800;
  // A wall that conducts nothing leaves its middle node floating: refused, not 解けない.
  model->parameterRows[0][1] = 0;
  EXPECT_EQ(refusal(), "物性データが？．\n\n element 1 of code 43");
  model->parameterRows[0][1] = 50;
  model->elements[1].realSlots[3] = 0;  // area 0
  EXPECT_EQ(refusal(), "形状データが？." + line);
  model->elements[1].realSlots[3] = 2;
  model->elements[1].realSlots[4] = 0;
  EXPECT_EQ(refusal(), "形状データが？." + line);
  model->elements[1].realSlots[2] = 2;
  model->elements[1].realSlots[3] = 0.2;
  model->elements[1].realSlots[4] = 0.2;
  EXPECT_EQ(refusal(), "形状データが..？" + line);
  model->elements[1].realSlots[2] = 3;
  model->elements[1].realSlots[4] = 0.3;
  model->elements[1].realSlots[5] = 0;
  EXPECT_EQ(refusal(), "形状データが？... 2.000000e-01 3.000000e-01 0.000000e+00" + line);
  model->elements[1].realSlots[2] = 30;
  EXPECT_EQ(pass(1), 0);  // a cylinder with core accepts L = 0
  model->elements[1].realSlots[2] = 5;
  EXPECT_EQ(refusal(), "形状が？" + line);
}

// ---- 48 ----

TEST_F(ThermalTest, RadiationStampsTheKelvinFourthPowerAndItsDerivatives) {
  table(200, {{0, 0.8, 0.6}, {500, 0.9, 0.5}});
  element(48, {1, 2}, {0, 1, 1, 2}, 200);
  element(48, {1, 3}, {0, 2, 0.1, 0.3}, 200);
  element(48, {2, 3}, {0, 3, 0.1, 0.2, 1}, 200);
  element(48, {3, 4}, {0, 4, 0.05, 1}, 200);
  element(42, {0, 4}, {0, 0, 1});
  setX({400, 100, 30, 20});
  expectJacobianMatchesDifferences("radiation", 1e-3);
}

TEST_F(ThermalTest, RadiationOfBlackPlatesUsesTheCappedEmissivityAndStopsAtEqualTemperatures) {
  table(200, {{0, 1, 1}});
  element(48, {1, 2}, {0, 1, 1, 1}, 200).returnBlockId = 1100;
  setX({20, 20});
  ASSERT_EQ(pass(1), 0);
  EXPECT_EQ(run->F[1], -1e-9 * 20);  // the leak alone
  EXPECT_EQ(run->F[2], -1e-9 * 20);
  setX({100, 0});
  ASSERT_EQ(pass(1), 0);
  const double r = 1 / 0.999 + (1 / 0.999 - 1);
  const double q = kSigma / r * (std::pow(373.15, 4) - std::pow(273.15, 4));
  EXPECT_NEAR(-run->F[1], q + 1e-9 * 100, 1e-9 * q);
  recordingPass();
  EXPECT_NEAR(store(1107), kSigma / r, 1e-20);
  EXPECT_NEAR(store(1108), 0.999, 1e-15);
}

TEST_F(ThermalTest, SurfaceResistanceKeepsItsEmissivityOffZeroAndOne) {
  table(200, {{0, 0, 0}, {100, 1, 1}});
  ElementEntry& surface = element(48, {1, 2}, {0, 4, -0.1, 2}, 200);  // concave
  surface.returnBlockId = 1100;
  setX({0, 0});
  ASSERT_EQ(pass(1), 0);
  recordingPass();
  const double area = 2 * M_PI * 0.1 * 2;
  EXPECT_DOUBLE_EQ(store(1104), area);
  EXPECT_NEAR(store(1107), kSigma * 1e-4 * area / (1 - 1e-4), 1e-20);
  setX({100, 100});  // ε = 1 there: held at 0.9999, K finite
  ASSERT_EQ(pass(1), 0);
  recordingPass();
  EXPECT_NEAR(store(1107), kSigma * 0.9999 * area / 1e-4, 1e-9);
  surface.realSlots[4] = -1;
  EXPECT_EQ(refusal(), "データが？ \n\n element 1 of code 48");
}

TEST_F(ThermalTest, RadiationBelowAbsoluteZeroIsRefusedAndAnIterateThereStaysFinite) {
  table(200, {{0, 0.5, 0.5}});
  element(48, {1, 2}, {0, 1, 1, 1}, 200);
  setX({-300, 20});
  EXPECT_EQ(refusal(),
            "絶対零度より低い温度？ -3.000000e+02 2.000000e+01 \n\n element 1 of code 48");
  // Inside an iteration the law runs on as T·|T|³: finite, and still monotonic.
  setX({20, 20});
  ASSERT_EQ(pass(1), 0);
  setX({-400, 20});
  ASSERT_EQ(pass(2), 0);
  EXPECT_TRUE(std::isfinite(run->F[1]));
  EXPECT_GT(run->F[1], 0.0);  // heat flows into the (impossibly) cold node
  EXPECT_LT(run->jacobian(1, 1), 0.0);
}

TEST_F(ThermalTest, RadiationRefusesItsDataInTheOrderTheChecksRun) {
  const std::string line = " \n\n element 1 of code 48";
  element(48, {1, 2}, {0, 6, 1, 1}, 200);
  EXPECT_EQ(refusal(), "形状ｉｄが？" + line);
  model->elements[1].realSlots[2] = 1;
  model->elements[1].tableId = 0;
  EXPECT_EQ(refusal(), "表ｉｄが？_e" + line);
  model->elements[1].tableId = 200;
  EXPECT_EQ(refusal(), "表ｉｄが空　　:u で未設定？" + line);
  table(200, {{0, 1.5, 0.5}});
  EXPECT_EQ(refusal(), "物性データが？ 1.500000e+00 5.000000e-01" + line);
  model->parameterRows[0][1] = 0.5;
  model->elements[1].realSlots[4] = 0.5;  // A2 below A1
  EXPECT_EQ(refusal(), "データが？" + line);
  model->elements[1].realSlots[2] = 2;
  model->elements[1].realSlots[3] = 1;
  model->elements[1].realSlots[4] = 1;  // r1 = r2
  EXPECT_EQ(refusal(), "データが？" + line);
}

TEST_F(ThermalTest, SpaceResistanceChecksItsSurfacesAndTheirPlacement) {
  table(200, {{0, 0.5, 0.5}});
  ElementEntry& space = element(48, {2, 4}, {0, 5, 0.3});
  const std::string line = " \n\n element 1 of code 48";
  EXPECT_EQ(refusal(), "一節 or 次節が表面抵抗でない？" + line);
  ElementEntry& s1 = element(48, {1, 2}, {0, 3, 0.1, 1, 1}, 200);
  ElementEntry& s2 = element(48, {3, 4}, {0, 4, 0.1, 1}, 200);
  space.variableSlots[kThermalLinkSlot] = 2;
  space.variableSlots[kThermalLinkSlot + 1] = 3;
  EXPECT_EQ(refusal(), "表面抵抗の形状ｉｄでない？ 3" + line);
  s1.realSlots[2] = 4;
  s1.realSlots[4] = 0;
  EXPECT_EQ(refusal(), "長さが？　1.000000e-01 0.000000e+00 3.000000e-01" + line);
  s1.realSlots[4] = 1;
  s1.realSlots[3] = -0.1;
  EXPECT_EQ(refusal(), "要素の方向が？　凸～凹の順？ +r -1.000000e-01 1.000000e-01 3.000000e-01" + line);
  s1.realSlots[3] = 0.1;
  space.realSlots[3] = 0.2;  // axes 0.2 apart, radii 0.1 + 0.1: touching
  EXPECT_EQ(refusal(), "凹面の r1 は負の値？ 1.000000e-01 1.000000e-01 2.000000e-01" + line);
  s2.realSlots[3] = -0.5;
  EXPECT_EQ(refusal(), "凸面と凹面間は距離不要？ -5.000000e-01 2.000000e-01" + line);
  space.realSlots[3] = 0;
  s2.realSlots[4] = 2;
  EXPECT_EQ(refusal(), "長さが？　 L1:1.000000e+00 L2:2.000000e+00" + line);
  s2.realSlots[4] = 1;
  setX({100, 90, 20, 30});
  run->initialPass = 1;
  ASSERT_EQ(pass(1), 0);
  // A single convex surface inside a concave one sees only the concave one.
  EXPECT_NEAR(space.realSlots[52], kSigma * (2 * M_PI * 0.1 + 1e-9), 1e-15);
}

TEST_F(ThermalTest, ViewFactorOfTwoParallelCylindersMatchesTheCrossedStringsRule) {
  // Two equal cylinders of radius r at axis distance d see each other with
  // F = (sqrt(X² - 1) + asin(1/X) - X)/π, X = d/(2r) (Hottel's crossed strings).
  table(200, {{0, 0.5, 0.5}});
  ElementEntry& space = element(48, {2, 4}, {0, 5, 0.5});
  element(48, {1, 2}, {0, 4, 0.1, 1}, 200);
  element(48, {3, 4}, {0, 4, 0.1, 1}, 200);
  space.variableSlots[kThermalLinkSlot] = 2;
  space.variableSlots[kThermalLinkSlot + 1] = 3;
  setX({100, 90, 20, 30});
  ASSERT_EQ(pass(1), 0);
  const double x = 0.5 / (2 * 0.1);
  const double f = (std::asin(1 / x) + std::sqrt(x * x - 1) - x) / M_PI;
  EXPECT_NEAR(model->elements[2].realSlots[51], f, 2e-5);
  EXPECT_NEAR(model->elements[3].realSlots[51], f, 2e-5);  // equal areas
  EXPECT_NEAR(space.realSlots[52], kSigma * 2 * M_PI * 0.1 * f, 1e-4 * kSigma);
}

// Shares stay shares: the longer second cylinder is seen no more than fully, so
// the concave surface around the first one keeps 1 - F12 ≥ 0 and a positive K;
// and cylinders a micrometre apart (touching once the radii are guarded) give the
// touching factor 1/2 - 1/π, not NaN.
TEST_F(ThermalTest, SpaceResistanceKeepsEveryViewFactorWithinZeroAndOne) {
  table(200, {{0, 0.5, 0.5}});
  ElementEntry& space = element(48, {2, 4}, {0, 5, 0.3});
  element(48, {1, 2}, {0, 4, 0.1, 1}, 200);
  ElementEntry& longer = element(48, {3, 4}, {0, 4, 0.1, 10}, 200);
  ElementEntry& around = element(48, {2, 6}, {0, 5, 0});
  element(48, {5, 6}, {0, 4, -0.5, 1}, 200);
  space.variableSlots[kThermalLinkSlot] = 2;
  space.variableSlots[kThermalLinkSlot + 1] = 3;
  around.variableSlots[kThermalLinkSlot] = 2;
  around.variableSlots[kThermalLinkSlot + 1] = 5;
  setX({100, 90, 20, 30, 20, 30});
  ASSERT_EQ(pass(1), 0);
  const double x = 0.3 / (2 * 0.1);
  const double f = (std::asin(1 / x) + std::sqrt(x * x - 1) - x) / M_PI;
  EXPECT_NEAR(model->elements[2].realSlots[51], f, 2e-5);
  EXPECT_NEAR(longer.realSlots[51], f / 10, 2e-6);  // reciprocity, A1·F12 = A2·F21
  const double a1 = 2 * M_PI * 0.1 + 1e-9;
  EXPECT_NEAR(around.realSlots[52], kSigma * a1 * (1 - f), 2e-5 * kSigma);

  longer.realSlots[4] = 1;
  space.realSlots[3] = 0.2 + 1e-6;
  ASSERT_EQ(pass(1), 0);
  EXPECT_NEAR(model->elements[2].realSlots[51], 0.5 - 1 / M_PI, 1e-5);
  EXPECT_NEAR(space.realSlots[52], kSigma * a1 * (0.5 - 1 / M_PI), 1e-5 * kSigma);
}

// ---- 44, 45 ----

TEST_F(ThermalTest, NaturalConvectionRefusesBadGeometryWithItsOwnMessages) {
  table(500, {{0, 0.025, 1.2, 1007, 1.8e-5, 0.0034}});
  ElementEntry& plate = element(44, {1, 2}, {0, 1, 0.3, 0.2, 2}, 500);
  EXPECT_EQ(refusal(), "数値が？ \n\n element 1 of code 44");
  plate.realSlots[5] = 0;
  plate.realSlots[2] = 2;
  plate.realSlots[3] = 0;
  EXPECT_EQ(refusal(), "数値が？ \n\n element 1 of code 44");
  plate.typeCode = 45;
  plate.realSlots[2] = 1;
  plate.realSlots[3] = 0.3;
  plate.realSlots[5] = 0.01;
  plate.realSlots[6] = 2;
  EXPECT_EQ(refusal(), "数値が？  \n\n element 1 of code 44");
  plate.realSlots[2] = 2;
  plate.realSlots[3] = 0.3;
  plate.realSlots[4] = 0.2;
  EXPECT_EQ(refusal(), "形状データが？ \n\n element 1 of code 44");
  plate.realSlots[2] = 3;
  plate.realSlots[4] = 0.4;
  plate.realSlots[5] = 0;
  EXPECT_EQ(refusal(), "数値が？  \n\n element 1 of code 44");
  model->parameterRows[0][5] = 0;  // β = 0: no buoyancy, no correlation
  EXPECT_EQ(refusal(), "物性データが？．\n\n element 1 of code 44");
  plate.tableId = 510;
  EXPECT_EQ(refusal(), "表ｉｄが空　　:u で未設定？ \n\n element 1 of code 44");
}

// A static run starts with the plate at its fluid's temperature, where the
// horizontal correlations give h = 0: the first iterate must not run off to
// 1e10 K on the 1e-9 W/K floor, and the settled state is the correlation's own.
TEST_F(ThermalTest, HorizontalPlateStartsAStaticRunFromASoundFilm) {
  table(500, {{0, 0.025, 1.2, 1007, 1.8e-5, 0.0034}});
  for (const double orientation : {1.0, -1.0}) {
    model->count.elements = 0;
    element(44, {1, 2}, {0, 1, 0.3, 0.2, orientation}, 500);
    element(41, {2, 0, 3}, {20});     // the fluid held at 20 degC
    element(42, {0, 1}, {0, 0, 10});  // 10 W into the plate
    setX({20, 20, 0});
    std::vector<double> delta;
    for (int iteration = 1; iteration <= 60; ++iteration) {
      ASSERT_EQ(pass(iteration), 0);
      ASSERT_GT(ElementFixture::solve(delta), 0.0);
      for (int u = 1; u <= 3; ++u) run->X[u] -= delta[u];
      if (iteration == 1) {
        EXPECT_LT(run->X[1] - run->X[2], 1e3) << orientation;
      }
    }
    const double rise = run->X[1] - run->X[2];
    // Heated side up: Nu = [(0.54·Ra^¼)⁵ + (0.15·Ra^⅓)⁵]^⅕, down: 0.27·Ra^¼, over L* = A/P.
    const double l = 0.06, ra = 9.81 * 0.0034 * rise * l * l * l / (1.5e-5 * 0.025 / (1.2 * 1007));
    const double nu =
        orientation > 0
            ? std::pow(std::pow(0.54 * std::pow(ra, 0.25), 5) + std::pow(0.15 * std::cbrt(ra), 5),
                       0.2)
            : 0.27 * std::pow(ra, 0.25);
    EXPECT_NEAR(nu * 0.025 / l * 0.06 * rise, 10, 1e-6) << orientation;
  }
}

TEST_F(ThermalTest, HorizontalGapBelowTheOnsetOfConvectionConducts) {
  table(500, {{0, 0.025, 1.2, 1007, 1.8e-5, 0.0034}});
  // 2 mm of air heated from below at 10 K: Ra ≈ 14, far below 1708.
  element(45, {1, 2}, {0, 1, 0.5, 0.4, 0.002, 1}, 500);
  setX({25, 15});
  ASSERT_EQ(pass(1), 0);
  EXPECT_NEAR(-run->jacobian(1, 1), 0.025 * 0.2 / (0.002 + 1e-9) + 2e-9, 1e-9);
  // Concentric spheres that close to each other use the ratio 1.
  model->count.elements = 0;
  element(45, {1, 2}, {0, 2, 0.1, 0.101}, 500);
  ASSERT_EQ(pass(1), 0);
  EXPECT_NEAR(-run->jacobian(1, 1), 0.025 * 4 * M_PI * 0.1 * 0.101 / (0.001 + 1e-9) + 2e-9, 1e-6);
}

// Raithby and Hollands for concentric spheres as Incropera gives it, worked out
// by hand for r1 0.1, r2 0.15 and ΔT 10 on the air-like row (λ 0.025, ρ 1.2,
// c_p 1007, μ 1.8e-5, β 0.0034): L_c = 0.05, Ra_Lc = 134349.91,
// Ra_s = L_c·Ra_Lc/((Di·Do)^4·(Di^-1.4 + Do^-1.4)^5) = 702.5348, Pr = 0.72504,
// k_eff/k = 0.74·(Pr/(0.861 + Pr))^¼·Ra_s^¼ = 3.132641, G = k_eff·π·Di·Do/L_c.
TEST_F(ThermalTest, ConcentricSpheresTakeTheGeometricRayleighNumberOfTheShell) {
  table(500, {{0, 0.025, 1.2, 1007, 1.8e-5, 0.0034}});
  element(45, {1, 2}, {0, 2, 0.1, 0.15}, 500).returnBlockId = 1100;
  setX({25, 15});
  ASSERT_EQ(pass(1), 0);
  EXPECT_NEAR(-run->jacobian(1, 1) - 2e-9, 0.2952444681548922, 1e-7 * 0.2952);
  recordingPass();
  EXPECT_NEAR(store(1103), 3.1326411018259175, 1e-7 * 3.13);
  EXPECT_NEAR(store(1104), 702.5348250130559, 1e-6 * 702.5);
}

// The figures below come from the published laws worked out on their own in Python
// (air-like row: λ 0.025, ρ 1.2, c_p 1007, μ 1.8e-5, β 0.0034; r1 0.02, r2 0.05, L 1,
// ΔT 10; Di = 0.04, Do = 0.1):
//   Ra = lambda x: 9.81*β*ΔT*x**3/(ν*α);  Pr = μ*c_p/λ
//   103: ns = ((0.518*Ra(Di)**.25*(1+(0.559/Pr)**.6)**(-5/12))**15
//              + (0.1*Ra(Di)**(1/3))**15)**(1/15)
//        Nu = ((2/log(1+2/ns))**15 + (2/log(Do/Di))**15)**(1/15);  G = Nu*λ*π*L
//   130: d = (Do-Di)/2;  Rac = log(Do/Di)**4*Ra(d)/(d**3*(Di**-.6+Do**-.6)**5)
//        k = 0.386*(Pr/(0.861+Pr))**.25*Rac**.25;  G = 2π*L*λ*(1+k**15)**(1/15)/log(Do/Di)
TEST_F(ThermalTest, ConcentricCylinderFormsFollowTheirLawsAndFallToConductionAtRest) {
  table(500, {{0, 0.025, 1.2, 1007, 1.8e-5, 0.0034}});
  struct Case {
    int code;
    double shape;
    double conductance;  // W/K at ΔT = 10
  };
  const Case cases[] = {{45, 103, 0.5843154633489621},
                        {44, 103, 0.5843154633489621},  // the full shape on either keyword
                        {44, 130, 0.4568554876046779},
                        {45, 130, 0.4568554876046779},
                        {45, 3, 0.4568554750644991},     // 13: max(1, k) instead of the blend
                        {45, 93, 0.5843154633489621}};   // 93 + 10 is 103 as well
  const double conduction = 2 * M_PI * 0.025 / std::log(2.5);
  for (const Case& c : cases) {
    const std::string label = std::to_string(c.code) + "/" + std::to_string(c.shape);
    model->count.elements = 0;
    element(c.code, {1, 2}, {0, c.shape, 0.02, 0.05, 1}, 500);
    setX({25, 15});
    ASSERT_EQ(pass(1), 0) << label;
    EXPECT_NEAR(-run->jacobian(1, 1) - 2e-9, c.conductance, 1e-9 * c.conductance) << label;
    EXPECT_NEAR(run->F[1], -c.conductance * 10, 1e-6) << label;
    // Equal walls: no buoyancy, only conduction through the annulus, 2πλL/ln(r2/r1).
    setX({20, 20});
    ASSERT_EQ(pass(), 0) << label;
    EXPECT_NEAR(-run->jacobian(1, 1) - 2e-9, conduction, 1e-12) << label;
  }
  // Walls that touch still give a finite conductance.
  model->count.elements = 0;
  element(45, {1, 2}, {0, 103, 0.02, 0.02, 1}, 500);
  setX({25, 15});
  ASSERT_EQ(pass(1), 0);
  EXPECT_TRUE(std::isfinite(run->jacobian(1, 1)));
  // Their geometry is refused with the gap message, from either keyword.
  model->elements[1].realSlots[4] = 0.01;
  EXPECT_EQ(refusal(), "数値が？  \n\n element 1 of code 45");
  model->elements[1].typeCode = 44;
  model->elements[1].realSlots[2] = 130;
  model->elements[1].realSlots[4] = 0.05;
  model->elements[1].realSlots[5] = 0;
  EXPECT_EQ(refusal(), "数値が？  \n\n element 1 of code 45");  // the text of the line as added
}

// Every shape raises the range flag beyond its fit, and the flag reaches the
// statement's display record that the view colours the symbol by.
TEST_F(ThermalTest, EveryConvectionShapeFlagsAnOutOfRangeUseInItsDisplayRecord) {
  table(500, {{0, 0.025, 1.2, 1007, 1.8e-5, 0.0034}});
  struct Case {
    const char* what;
    int code;
    std::vector<double> inside;
    std::vector<double> outside;
  };
  // ΔT = 10 K: g·β·ΔT/(ν·α) ≈ 1.07e9 per m³.
  const Case cases[] = {
      {"vertical plate, Ra_a 1e-3", 44, {0, 1, 0.3, 0.2, 0}, {0, 1, 1e-4, 0.2, 0}},
      {"plate heated up, Ra 1e3", 44, {0, 1, 0.3, 0.2, 1}, {0, 1, 0.04, 0.04, 1}},
      {"plate heated down, Ra 1e3", 44, {0, 1, 0.3, 0.2, -1}, {0, 1, 0.04, 0.04, -1}},
      {"sphere, Ra 1e15", 44, {0, 2, 0.05}, {0, 2, 50}},
      {"cylinder, Ra 1e-8", 44, {0, 3, 0.02, 1}, {0, 3, 1e-6, 1}},
      {"vertical gap, H/δ 250", 45, {0, 1, 0.5, 0.4, 0.02, 0}, {0, 1, 0.5, 0.4, 0.002, 0}},
      {"horizontal gap, Ra 1e9", 45, {0, 1, 0.5, 0.4, 0.02, 1}, {0, 1, 5, 4, 1, 1}},
      {"spheres, Ra < 100", 45, {0, 2, 0.1, 0.15}, {0, 2, 0.1, 0.101}},
      {"cylinders 13, Ra_c 6e8", 45, {0, 3, 0.02, 0.05, 1}, {0, 3, 1, 3, 1}},
      {"cylinders 103, Ra_Di 9e9", 45, {0, 103, 0.02, 0.05, 1}, {0, 103, 1, 3, 1}},
      {"cylinders 130, Ra_c 6e8", 45, {0, 130, 0.02, 0.05, 1}, {0, 130, 1, 3, 1}},
  };
  run->displayFlag = 7;
  const auto flagOf = [this](int code, const std::vector<double>& parameters) {
    model->count.elements = 0;
    ElementEntry& e = element(code, {1, 2}, {}, 500);
    for (size_t k = 0; k < parameters.size(); ++k) e.realSlots[k + 1] = parameters[k];
    model->records[e.statementLine].valueBlock[kDisplayState] = -1;
    setX({25, 15});
    EXPECT_EQ(pass(1), 0) << (log.texts.empty() ? "" : log.texts.back());
    return model->records[e.statementLine].valueBlock[kDisplayState];
  };
  for (const Case& c : cases) {
    EXPECT_EQ(flagOf(c.code, c.inside), 0.0) << c.what;
    EXPECT_EQ(flagOf(c.code, c.outside), 1.0) << c.what;
  }
  // A liquid metal (Pr ≈ 0.02) lies outside the annulus fits whatever the size.
  model->parameterRows[0][4] = 5e-7;
  EXPECT_EQ(flagOf(45, {0, 103, 0.02, 0.05, 1}), 1.0);
  EXPECT_EQ(flagOf(45, {0, 130, 0.02, 0.05, 1}), 1.0);
  run->displayFlag = 0;
}

}  // namespace
}  // namespace movra
