// Diode, MOSFET switch and transistor on hand-assembled systems: the diode's law
// against its closed form on each piece and at the joins, the fits, Jacobians
// against central differences, the late-iteration damping, the MOSFET's
// on-resistance, blocking and body diode, validation messages and records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "elements/circuit/junction.h"
#include "elements/conventions.h"
#include "elements/evaluator.h"
#include "support/element_fixture.h"

namespace movra {
namespace {

constexpr double kVt = 0.02585;

class SemiconductorTest : public testing::ElementFixture {
 protected:
  void SetUp() override {
    model->parameters[kCircuitRelativeToleranceEntry] = 0.001;
    model->parameters[kCircuitAbsoluteToleranceEntry] = 1e-9;
    // A step small enough for the exponentials (truncation (h/Vt)^2/6 ~ 3e-10
    // relative) and an allowance for the rounding of F at that step.
    jacobianCheck = {.step = 1e-6, .relative = 1e-6, .absolute = 1e-15, .rounding = 4e-16};
    newtonSettings = {.limit = 100, .tolerance = 1e-10};
  }

  // The recording pass at the iteration the test left.
  void recordingPass() { ElementFixture::recordingPass(std::nullopt); }

  // Current and conductance of a lone diode from unknown 1 to ground at v.
  JunctionPoint diodeAt(ElementEntry& diode, double v, int iteration = 2) {
    run->X[1] = v;
    run->iteration = iteration;
    EXPECT_EQ(pass(), 0);
    (void)diode;
    // F[1] = -I - 1e-9·v and J[1][1] = -G - 1e-9.
    return {-run->F[1] - kMinimumConductance * v, -run->jacobian(1, 1) - kMinimumConductance};
  }
};

// The closed form of the fitted law, written out independently of the evaluator.
struct ClosedForm {
  double is, n, knee, limit;
  double current(double v) const {
    if (v <= 0) return is / n * v;
    if (v <= limit) return is * (std::exp(v / n) - 1);
    return is * (std::exp(limit / n) - 1) + is * std::exp(limit / n) / n * (v - limit);
  }
};

ClosedForm fittedForm(double vf, double iF) {
  ClosedForm form{iF / (std::exp(vf / kVt) - 1), kVt, 0, 0};
  form.knee = kVt * std::log(kVt / (std::sqrt(2.0) * form.is));
  form.limit = std::max(form.knee + 0.3, vf);
  return form;
}

TEST_F(SemiconductorTest, DiodeFollowsItsClosedFormOnEachPieceAndJoinsSmoothly) {
  // 0.7 V at 1 A: Is = 1/(exp(0.7/Vt) - 1) = 1.7e-12 A, knee 0.60 V, limit 0.90 V.
  ElementEntry& diode = add(25, {1, 0}, {0.7, 1.0});
  run->unknownCount = 1;
  const ClosedForm form = fittedForm(0.7, 1.0);
  ASSERT_GT(form.is, 1e-14);
  for (double v : {-5.0, -0.3, 0.2, 0.55, 0.7, form.limit + 0.01, form.limit + 2.0}) {
    const JunctionPoint point = diodeAt(diode, v);
    EXPECT_NEAR(point.current, form.current(v), 1e-9 * std::fabs(form.current(v)) + 1e-22) << v;
  }
  EXPECT_NEAR(diodeAt(diode, 0.7).current, 1.0, 1e-9);
  EXPECT_EQ(diode.variableSlots[13], 0);
  diodeAt(diode, form.limit + 2.0);
  EXPECT_EQ(diode.variableSlots[13], 1);
  diodeAt(diode, -5.0);
  EXPECT_EQ(diode.variableSlots[13], -1);

  // Current and slope on both sides of the joins at 0 V and at the limit.
  for (double join : {0.0, form.limit}) {
    const JunctionPoint below = diodeAt(diode, join - 1e-12);
    const JunctionPoint above = diodeAt(diode, join + 1e-12);
    EXPECT_NEAR(below.current, above.current, 1e-9 * std::fabs(above.current) + 1e-20) << join;
    EXPECT_NEAR(below.conductance, above.conductance, 1e-9 * above.conductance) << join;
  }
  // The slope at the knee is 1/sqrt2 S.
  EXPECT_NEAR(diodeAt(diode, form.knee).conductance, 1 / std::sqrt(2.0), 1e-9);
}

TEST_F(SemiconductorTest, DiodeFitsFromWhatTheUserGives) {
  run->unknownCount = 1;
  run->recordingFlag = 0;
  // A tiny forward current: Is would fall below 1e-14, so the emission takes over
  // and the diode still passes 1 nA at 0.6 V.
  ElementEntry& diode = add(25, {1, 0}, {0.6, 1e-9});
  diode.returnBlockId = 1000;
  EXPECT_NEAR(diodeAt(diode, 0.6).current, 1e-9, 1e-18);
  run->X[1] = 0.6;
  recordingPass();
  EXPECT_DOUBLE_EQ(store(1005), 1e-14);
  EXPECT_NEAR(store(1008), 0.6 / std::log(1e-9 / 1e-14 + 1) / kVt, 1e-12);

  // Only V_F: the knee (slope 1/sqrt2 S) lands on it, Is above its floor...
  diode.realSlots[1] = 0.5;
  diode.realSlots[2] = 0.0;
  EXPECT_NEAR(diodeAt(diode, 0.5, 1).conductance, 1 / std::sqrt(2.0), 1e-9);
  // ...and with Is at its floor the emission is fitted on the first iteration and
  // kept for the rest of the step.
  diode.realSlots[1] = 1.2;
  EXPECT_NEAR(diodeAt(diode, 1.2, 1).conductance, 1 / std::sqrt(2.0), 1e-7);
  const double fitted = diode.realSlots[8];
  EXPECT_GT(fitted, kVt);
  diode.realSlots[1] = 1.4;
  diodeAt(diode, 1.2, 2);
  EXPECT_EQ(diode.realSlots[8], fitted);
  EXPECT_NEAR(diodeAt(diode, 1.4, 1).conductance, 1 / std::sqrt(2.0), 1e-7);
  EXPECT_GT(diode.realSlots[8], fitted);

  // A negative V_F is "not given": the default junction, Is = 1e-14, n = 1.
  diode.realSlots[1] = -1.0;
  EXPECT_NEAR(diodeAt(diode, 0.6).current, 1e-14 * (std::exp(0.6 / kVt) - 1), 1e-12);
}

TEST_F(SemiconductorTest, LateUnsettledDiodePassesThroughTheExponential) {
  ElementEntry& diode = add(25, {1, 0}, {0.7, 1.0});
  run->unknownCount = 1;
  const ClosedForm form = fittedForm(0.7, 1.0);
  struct Case {
    int iteration, previous, settled;
    double v;
    int piece;
    double evaluatedAt;
  };
  const double strong = form.limit + 1.0;
  for (const Case& c : {Case{6, -1, 0, strong, 0, form.knee}, Case{6, 1, 0, -1.0, 0, form.knee},
                        Case{6, 1, 0, 0.3, 0, 0.3}, Case{6, 0, 0, strong, 1, strong},
                        Case{5, -1, 0, strong, 1, strong}, Case{6, -1, 1, strong, 1, strong}}) {
    diode.variableSlots[16] = c.previous;
    diode.variableSlots[18] = c.settled;
    const JunctionPoint point = diodeAt(diode, c.v, c.iteration);
    EXPECT_EQ(diode.variableSlots[13], c.piece) << c.iteration << " " << c.previous;
    EXPECT_EQ(diode.variableSlots[16], c.piece);
    EXPECT_NEAR(point.current, form.current(c.evaluatedAt),
                1e-9 * std::fabs(form.current(c.evaluatedAt)))
        << c.iteration << " " << c.previous << " " << c.v;
  }
}

TEST_F(SemiconductorTest, DiodeCircuitConvergesFromFarStarts) {
  // 100 V through 10 ohm into the diode, from rest and from a wild start: the
  // tangent keeps every step finite; the answer is I·10 + V_D = 100.
  add(21, {1, 0, 3}, {100.0, 0.0});
  add(23, {1, 2, 4}, {10.0, 0.0, 10.0});
  add(25, {2, 0}, {0.7, 1.0});
  for (double start : {0.0, 50.0, -80.0}) {
    std::fill(run->X, run->X + 5, 0.0);
    run->X[2] = start;
    ASSERT_GT(newton(), 0) << start;
    const double current = (run->X[1] - run->X[2]) / 10.0;
    EXPECT_NEAR(current, fittedForm(0.7, 1.0).current(run->X[2]), 1e-6) << start;
    EXPECT_NEAR(run->X[2], 0.7 + kVt * std::log(current), 1e-3);
  }
}

TEST_F(SemiconductorTest, JacobianMatchesCentralDifferencesInEveryState) {
  struct Case {
    const char* label;
    int typeCode;
    std::vector<int> unknowns;
    std::vector<double> parameters;
    std::vector<double> x;
    double a0;
    int pVariant;
  };
  const std::vector<double> diode = {0.7, 1.0};
  const std::vector<double> mosfet = {2.0, 0.05, 10.0, 5.0, 2e-9};
  const std::vector<double> bjt = {100.0, 1e-14, 2.0};
  const std::vector<Case> cases = {
      {"diode reverse", 25, {3, 1}, diode, {0.2, 0.1, -0.4, 0.3, 0.1}, 0.0, 0},
      {"diode exponential", 25, {3, 1}, diode, {0.1, 0.1, 0.72, 0.3, 0.1}, 0.0, 0},
      {"diode tangent", 25, {3, 0}, diode, {0.1, 0.1, 1.6, 0.3, 0.1}, 0.0, 0},
      {"mosfet triode", 32, {1, 2, 3}, mosfet, {0.4, 10.0, 0.1, 0.0, 0.0}, 2e4, 0},
      {"mosfet saturated", 32, {1, 2, 3}, mosfet, {9.0, 4.0, 0.5, 0.0, 0.0}, 2e4, 0},
      {"mosfet reversed", 32, {1, 2, 3}, mosfet, {0.1, 10.0, 0.4, 0.0, 0.0}, 0.0, 0},
      {"mosfet off, body diode on", 32, {4, 2, 3}, mosfet, {0.0, 0.0, 0.7, -0.05, 0.0}, 0.0, 0},
      {"p mosfet on", 32, {1, 2, 3}, mosfet, {-0.4, -10.0, -0.1, 0.0, 0.0}, 2e4, 1},
      {"p mosfet body diode", 32, {1, 2, 3}, mosfet, {0.75, 0.0, 0.0, 0.0, 0.0}, 0.0, 1},
      {"npn active", 31, {1, 2, 3, 4, 5}, bjt, {5.0, 0.65, 0.0, 1e-3, 1e-5}, 0.0, 0},
      {"npn saturated", 31, {1, 2, 3, 4, 5}, bjt, {0.1, 0.72, 0.0, 1e-3, 1e-3}, 0.0, 0},
      {"npn reverse active", 31, {3, 2, 1, 4, 5}, bjt, {5.0, 0.65, 0.0, 0.0, 0.0}, 0.0, 0},
      {"npn off", 31, {1, 2, 3, 4, 5}, bjt, {5.0, -1.0, 0.0, 0.0, 0.0}, 0.0, 0},
      {"npn past the limit", 31, {1, 2, 0, 4, 5}, bjt, {2.0, 1.3, 0.0, 0.0, 0.0}, 0.0, 0},
      {"pnp active", 31, {1, 2, 3, 4, 5}, bjt, {-5.0, -0.65, 0.0, -1e-3, 0.0}, 0.0, 1},
  };
  for (const Case& c : cases) {
    model->count.elements = 0;
    run->unknownCount = 5;
    ElementEntry& element = add(c.typeCode, {}, {});
    std::copy(c.unknowns.begin(), c.unknowns.end(), element.variableSlots + 1);
    std::copy(c.parameters.begin(), c.parameters.end(), element.realSlots + 1);
    element.pVariant = c.pVariant;
    std::copy(c.x.begin(), c.x.end(), run->X + 1);
    run->a0H[0] = c.a0;
    for (int u = 1; u <= 5; ++u) run->a0H[u] = 0.1 * u;
    run->iteration = 1;
    ASSERT_EQ(pass(), 0) << c.label;
    expectJacobianMatchesDifferences(c.label);
  }
}

// Source-to-ground MOSFET with its gate held by a source and its drain fed by a
// current source: unknowns 1 drain, 2 gate, 3 gate-source current.
TEST_F(SemiconductorTest, MosfetShowsItsOnResistanceBlocksAndConductsBackward) {
  // Vt 2 V, 50 mohm at 10 V and 5 A, gate capacitance 2 nF.
  ElementEntry& drive = add(22, {0, 1}, {5.0});
  ElementEntry& gate = add(21, {2, 0, 3}, {10.0, 0.0});
  ElementEntry& mosfet = add(32, {1, 2, 0}, {2.0, 0.05, 10.0, 5.0, 2e-9});
  mosfet.returnBlockId = 1000;
  ASSERT_GT(newton(), 0);
  // The leaks (1e-7 S across the channel and the drain half of the gate, 1e-9 S
  // of the body diode) move the drain by parts in 1e7.
  EXPECT_NEAR(run->X[1] / 5.0, 0.05, 0.05 * 1e-6);
  EXPECT_NEAR(mosfet.realSlots[20], 1.0 / ((2 * 8.0 - 0.25) * 0.05), 1e-12);
  recordingPass();
  EXPECT_NEAR(store(1002), 5.0, 1e-5);
  EXPECT_NEAR(store(1001), 0.25, 1e-6);
  EXPECT_NEAR(store(1004), 5.0, 1e-5);
  EXPECT_EQ(display(mosfet)[2], 1.0);

  // Gate low: the channel carries nothing, so 1 uA pushed into the drain rises
  // until the leaks carry it: 1e-7 S across the channel, 1e-7 S to the grounded
  // gate, 1e-9 S of the body diode at its cathode and its linear reverse piece,
  // Is/N = 1e-14/Vt S.
  gate.realSlots[1] = 0.0;
  drive.realSlots[1] = 1e-6;
  ASSERT_GT(newton(), 0);
  recordingPass();
  EXPECT_EQ(store(1004), 0.0);
  EXPECT_NEAR(run->X[1], 1e-6 / (1e-7 + 1e-7 + 1e-9 + 1e-14 / kVt), 1e-9);
  EXPECT_EQ(display(mosfet)[2], 2.0);

  // Drawing 1 A out of the drain with the gate low: the body diode (Is 1e-14 A,
  // n = 1) carries it, the drain sits N·ln(I/Is + 1) below the source.
  drive.realSlots[1] = -1.0;
  ASSERT_GT(newton(), 0);
  EXPECT_NEAR(run->X[1], -kVt * std::log(1.0 / 1e-14 + 1), 1e-6);
  recordingPass();
  EXPECT_NEAR(store(1005), -1.0, 1e-6);
  EXPECT_NEAR(store(1002), -1.0, 1e-6);
}

TEST_F(SemiconductorTest, MosfetChannelIsSymmetricAndThePVariantMirrorsIt) {
  ElementEntry& mosfet = add(32, {1, 2, 3}, {2.0, 0.05, 10.0, 5.0, 0.0});
  mosfet.returnBlockId = 1000;
  run->unknownCount = 3;
  auto channelAt = [&](double d, double g, double s) {
    run->X[1] = d;
    run->X[2] = g;
    run->X[3] = s;
    run->iteration = 1;
    EXPECT_EQ(pass(), 0);
    recordingPass();
    return store(1004);
  };
  const double forward = channelAt(0.3, 6.0, 0.0);
  EXPECT_GT(forward, 0.0);
  EXPECT_NEAR(channelAt(0.0, 6.0, 0.3), -forward, 1e-12);
  mosfet.pVariant = 1;
  EXPECT_NEAR(channelAt(-0.3, -6.0, 0.0), -forward, 1e-12);
  // Below threshold nothing flows either way.
  mosfet.pVariant = 0;
  EXPECT_EQ(channelAt(5.0, 1.9, 0.0), 0.0);
}

TEST_F(SemiconductorTest, InvalidDataStopsTheFirstIterationWithItsMessage) {
  struct Case {
    int typeCode;
    std::vector<double> parameters;
    int mode;
    const char* message;
  };
  const char* data = "データが？ \n\n ";
  const char* gain = "@ 条件データが？ \n\n ";
  const char* transistor = "データが？ b \n\n ";
  const std::vector<Case> cases = {
      {25, {0.05, 1.0}, 0, data},
      {25, {0.0, 1.0}, 0, data},
      {25, {0.7, -1.0}, 0, data},
      {25, {0.7, 1.0, -1.0}, 0, data},
      {25, {0.7, 1.0, 0.0, -1.0}, 0, data},
      {25, {0.7, 1.0, 0.0, 1.0}, 9, data},
      {32, {0.0, 0.05, 10.0, 5.0, 0.0}, 0, data},
      {32, {2.0, 0.0, 10.0, 5.0, 0.0}, 0, data},
      {32, {2.0, 1001.0, 10.0, 5.0, 0.0}, 0, data},
      {32, {2.0, 0.05, 0.0, 5.0, 0.0}, 0, data},
      {32, {2.0, 0.05, 10.0, 0.0, 0.0}, 0, data},
      {32, {2.0, 0.05, 10.0, 5.0, -1e-9}, 0, data},
      {32, {2.0, 0.05, 2.0, 5.0, 0.0}, 0, gain},
      {32, {2.0, 1.0, 3.0, 5.0, 0.0}, 0, gain},
      // Ion·Ron = 1.2 V above Von - Vt = 1 V: a positive K exists, but the channel
      // would show 0.067 ohm at 12 A instead of the 0.1 ohm stated.
      {32,
       {2.0, 0.1, 3.0, 12.0, 0.0},
       0,
       "@ 条件データが？ Ion·Ron > Von-Vt 1.200000e+00 1.000000e+00 \n\n "},
      {31, {0.0}, 0, transistor},
      {31, {100.0, -1e-14}, 0, transistor},
      {31, {100.0, 1e-14, -1.0}, 0, transistor},
  };
  for (const Case& c : cases) {
    model->count.elements = 0;
    run->unknownCount = 5;
    ElementEntry& element = add(c.typeCode, {1, 2, 3, 4, 5}, {});
    std::copy(c.parameters.begin(), c.parameters.end(), element.realSlots + 1);
    element.mode = c.mode;
    run->iteration = 1;
    EXPECT_EQ(pass(), 9) << c.typeCode << " " << c.parameters[0];
    ASSERT_FALSE(log.texts.empty());
    EXPECT_EQ(log.texts.back(), std::string(c.message) + element.text);
    // Later iterations of the step do not check again.
    const size_t messages = log.texts.size();
    run->iteration = 2;
    EXPECT_EQ(pass(), 0);
    EXPECT_EQ(log.texts.size(), messages);
  }
  EXPECT_EQ(log.texts.size(), cases.size());
  // The attached diode of a pair is not checked on its own, a valid pair passes.
  model->count.elements = 0;
  ElementEntry& pair = add(25, {1, 2}, {0.7, 1.0, 5.0, 0.01});
  pair.mode = 9;
  add(25, {1, 2}, {}).mode = 11;
  run->iteration = 1;
  EXPECT_EQ(pass(), 0);
}

TEST_F(SemiconductorTest, DiodePairRecordsItsNetCurrentAndTotals) {
  // 0.7 V at 1 A forward, 5.1 V at 10 mA backward (a Zener pair), 6 V reversed.
  ElementEntry& pair = add(25, {1, 2}, {0.7, 1.0, 5.1, 0.01});
  pair.mode = 9;
  pair.returnBlockId = 1000;
  add(25, {1, 2}, {}).mode = 11;
  run->unknownCount = 2;
  run->X[1] = 0.0;
  run->X[2] = 5.1;
  run->dtOut = 0.5;
  run->iteration = 1;
  ASSERT_EQ(pass(), 0);
  recordingPass();
  const ClosedForm forward = fittedForm(0.7, 1.0);
  const double net = forward.current(-5.1) - 0.01;
  EXPECT_NEAR(store(1002), net, 1e-9);
  EXPECT_DOUBLE_EQ(store(1001), -5.1);
  EXPECT_NEAR(store(1003), 5.1 * net, 1e-12);
  EXPECT_NEAR(store(1009), 5.1 * net * 0.5, 1e-12);
  EXPECT_NEAR(store(kPowerTotalEntry), 5.1 * net, 1e-12);
  EXPECT_NEAR(store(1005), forward.is, 1e-24);
  EXPECT_NEAR(store(1006), forward.knee, 1e-12);
  EXPECT_DOUBLE_EQ(store(1008), 1.0);
  EXPECT_EQ(display(pair)[0], store(1002));
  EXPECT_EQ(display(pair)[2], 1.0);
  // Both diodes stamp: the node rows carry the two currents.
  EXPECT_NEAR(run->F[1], -(forward.current(-5.1) - 0.01), 1e-9);
}

TEST_F(SemiconductorTest, TransistorRecordsAndMirrorsAsPnp) {
  ElementEntry& q = add(31, {1, 2, 0, 3, 4}, {100.0, 1e-14, 2.0});
  q.returnBlockId = 1000;
  // Collector at 5 V, base at 0.65 V: forward active. The collector junction is
  // on its linear reverse piece, f(vbc) = (Is/Vt)·vbc.
  ElementEntry& vc = add(21, {1, 0, 5}, {5.0, 0.0});
  ElementEntry& vb = add(21, {2, 0, 6}, {0.65, 0.0});
  ASSERT_GT(newton(), 0);
  recordingPass();
  const double fbe = 1e-14 * (std::exp(0.65 / kVt) - 1);
  const double fbc = 1e-14 / kVt * (0.65 - 5.0);
  const double ic = fbe - fbc * (1 + 1 / 2.0);
  const double ib = fbe / 100.0 + fbc / 2.0;
  EXPECT_NEAR(store(1002), ic, 1e-9 * ic);
  EXPECT_NEAR(store(1004), ib, 1e-9 * ib);
  EXPECT_NEAR(store(1007), ic / ib, 1e-6);
  EXPECT_DOUBLE_EQ(store(1001), 5.0);
  EXPECT_DOUBLE_EQ(store(1005), 0.65);
  EXPECT_NEAR(store(1003), -(5.0 * store(1002) + 0.65 * store(1004)), 1e-12);
  EXPECT_NEAR(store(1006), store(1002) + store(1004), 1e-15);
  // The same bias reversed on a "Qp": every current changes sign.
  q.pVariant = 1;
  vc.realSlots[1] = -5.0;
  vb.realSlots[1] = -0.65;
  ASSERT_GT(newton(), 0);
  recordingPass();
  EXPECT_NEAR(store(1002), -ic, 1e-9 * ic);
  EXPECT_NEAR(store(1004), -ib, 1e-9 * ib);
}

}  // namespace
}  // namespace movra
