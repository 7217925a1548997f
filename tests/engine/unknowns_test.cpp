#include "engine/unknowns.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/engine_fixture.h"

namespace movra {
namespace {

using testing::EngineFixture;

const std::string kTooMany = " 変数の数が５００を超える ";

TEST(AllocateUnknowns, NumbersKeysByFirstUseAndSharesNodes) {
  EngineFixture f;
  const int a = f.addElement(23, {10, 20, 1005});
  const int b = f.addElement(23, {20, 30, 1006});
  const int c = f.addElement(24, {30, 10});
  f.model->count.stateSlots = 4;
  ASSERT_EQ(f.allocate(), 0);
  EXPECT_EQ(f.run->unknownCount, 5);
  EXPECT_EQ(f.run->stateSlotCount, 4);
  EXPECT_EQ(f.unknownOf(a, 1), 1);
  EXPECT_EQ(f.unknownOf(a, 2), 2);
  EXPECT_EQ(f.unknownOf(a, 3), 3);
  EXPECT_EQ(f.unknownOf(b, 1), 2);  // node 20 again
  EXPECT_EQ(f.unknownOf(b, 2), 4);
  EXPECT_EQ(f.unknownOf(b, 3), 5);
  EXPECT_EQ(f.unknownOf(c, 1), 4);
  EXPECT_EQ(f.unknownOf(c, 2), 1);
  EXPECT_EQ(f.run->unknownOfKey[20], 2);
  EXPECT_EQ(f.run->unknownOfKey[0], 0);
  EXPECT_TRUE(f.messages.shown.empty());
}

TEST(AllocateUnknowns, KeysBelowThreeAllocateNothing) {
  EngineFixture f;
  const int a = f.addElement(21, {1, 2, 0, 7, -4, 2});
  ASSERT_EQ(f.allocate(), 0);
  EXPECT_EQ(f.run->unknownCount, 1);
  for (int slot : {1, 2, 3, 5, 6}) EXPECT_EQ(f.unknownOf(a, slot), 0) << slot;
  EXPECT_EQ(f.unknownOf(a, 4), 1);
}

TEST(AllocateUnknowns, StopsAsSoonAsFiveHundredIsExceeded) {
  // 50 elements of 10 distinct keys reach exactly 500; one more key in a last
  // element is the 501st.
  for (bool extraElement : {false, true}) {
    EngineFixture f;
    int key = 3;
    for (int e = 0; e < 50; ++e) {
      const int row = f.addElement(60, {});
      for (int slot = 1; slot <= 10; ++slot) f.element(row).variableSlots[slot] = key++;
    }
    if (extraElement) {
      f.addElement(60, {3, 4, key});
      EXPECT_EQ(f.allocate(), 9);
      ASSERT_EQ(f.messages.shown.size(), 1u);
      EXPECT_EQ(f.messages.last(), kTooMany);
      EXPECT_EQ(f.run->unknownCount, 0);
    } else {
      EXPECT_EQ(f.allocate(), 0);
      EXPECT_EQ(f.run->unknownCount, 500);
      EXPECT_TRUE(f.messages.shown.empty());
    }
  }
}

TEST(AllocateUnknowns, StopsAfterTheElementThatExceedsNotLater) {
  EngineFixture f;
  int key = 3;
  for (int e = 0; e < 51; ++e) {
    const int row = f.addElement(60, {});
    for (int slot = 1; slot <= 10; ++slot) f.element(row).variableSlots[slot] = key++;
  }
  const int later = f.addElement(60, {5000});
  EXPECT_EQ(f.allocate(), 9);
  EXPECT_EQ(f.messages.last(), kTooMany);
  // The element after the one that went over was never visited.
  EXPECT_EQ(f.element(later).variableSlots[1], 5000);
}

TEST(AllocateUnknowns, RefusesTooManyStateSlotsAndKeysOutsideTheMap) {
  {
    EngineFixture f;
    f.addElement(5, {10});
    f.model->count.stateSlots = 501;
    EXPECT_EQ(f.allocate(), 9);
    EXPECT_EQ(f.messages.last(), " npd over! 501");
  }
  {
    EngineFixture f;
    f.addElement(5, {10});
    f.model->count.stateSlots = 500;
    EXPECT_EQ(f.allocate(), 0);
    EXPECT_EQ(f.run->stateSlotCount, 500);
  }
  {
    EngineFixture f;
    f.addElement(5, {10, kUnknownKeyCapacity}, "K 1 2");
    EXPECT_EQ(f.allocate(), 9);
    ASSERT_EQ(f.messages.shown.size(), 1u);
    EXPECT_NE(f.messages.last().find(std::to_string(kUnknownKeyCapacity)), std::string::npos);
    EXPECT_NE(f.messages.last().find("K 1 2"), std::string::npos);
  }
}

// Clearing follows the profile of what was written: every entry written through
// jacobian(), inside rows and columns 0..N or not, is zero afterwards; F is cleared
// over 0..N only.
TEST(EquationSystem, ClearZeroesEveryWrittenEntryAndTheResidualToN) {
  EngineFixture f;
  movra::Run& run = *f.run;
  run.unknownCount = 3;
  for (int r = 0; r <= 4; ++r) {
    run.F[r] = 1.0 + r;
    for (int c = 0; c <= 4; ++c) run.jacobian(r, c) = 10.0 * r + c + 1.0;
  }
  run.jacobian(7, 2) = 4.0;
  run.X[0] = 5.0;
  clearEquationSystem(run);
  EXPECT_EQ(run.X[0], 0.0);
  for (int r = 0; r <= 7; ++r) {
    for (int c = 0; c <= 4; ++c) EXPECT_EQ(run.J[r * kRowStride + c], 0.0) << r << "," << c;
  }
  for (int r = 0; r <= 4; ++r) EXPECT_EQ(run.F[r] == 0.0, r <= 3) << r;
  // The profile is empty again: a solve of nothing written finds column 1 empty.
  EXPECT_EQ(run.jacobianProfile.rowLast[7], -1);
  EXPECT_EQ(run.jacobianProfile.columnLast[2], -1);
}

// The scratch column 0 (a grounded terminal) does not stretch a row's span back to
// column 0, yet is cleared in every row written, also in a row that holds nothing
// else and in the highest row; spans of 1 to 17 entries are all cleared whole.
TEST(EquationSystem, ScratchColumnStaysOutOfTheSpansAndIsStillCleared) {
  EngineFixture f;
  movra::Run& run = *f.run;
  run.unknownCount = 40;
  run.jacobian(3, 0) = 1.0;
  run.jacobian(3, 2) = 2.0;
  run.jacobian(5, 0) = 3.0;
  run.jacobian(40, 0) = 4.0;
  const JacobianProfile& profile = run.jacobianProfile;
  EXPECT_EQ(profile.rowFirst[3], 2);
  EXPECT_EQ(profile.rowLast[3], 2);
  EXPECT_EQ(profile.rowLast[5], -1);
  EXPECT_EQ(profile.highest, 40);
  for (int length = 1; length <= 17; ++length) {
    for (int c = 0; c < length; ++c) run.jacobian(10 + length, 3 + c) = 1.0 + c;
  }
  clearEquationSystem(run);
  for (int r = 0; r <= 40; ++r) {
    for (int c = 0; c <= 20; ++c) EXPECT_EQ(run.J[r * kRowStride + c], 0.0) << r << "," << c;
  }
  EXPECT_EQ(profile.highest, -1);
}

TEST(EquationSystem, SaveAndRestoreCopyUnknownsAndStateSlots) {
  EngineFixture f;
  movra::Run& run = *f.run;
  run.unknownCount = 2;
  run.stateSlotCount = 2;
  for (int i = 0; i <= 5; ++i) run.X[i] = i + 0.5;
  run.previous[5] = -1.0;
  saveState(run, run.previous);
  EXPECT_EQ(run.previous[0], 0.0);
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(run.previous[i], i + 0.5);
  EXPECT_EQ(run.previous[5], -1.0);
  for (int i = 1; i <= 5; ++i) run.X[i] = 0.0;
  restoreState(run, run.previous);
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(run.X[i], i + 0.5);
  EXPECT_EQ(run.X[5], 0.0);
}

class IntegrationCoefficients : public ::testing::Test {
 protected:
  void SetUp() override {
    run.unknownCount = 2;
    run.stateSlotCount = 1;
    for (int i = 1; i <= 3; ++i) {
      run.X[i] = 2.0 * i;         // X_n
      run.previous[i] = 3.0 - i;  // X_{n-1}
      run.a0H[i] = -77.0;
    }
  }
  std::unique_ptr<movra::Run> owner = makeRun();
  movra::Run& run = *owner;
};

TEST_F(IntegrationCoefficients, StaticLeavesTheHistoryAlone) {
  run.a0H[0] = 4.0;
  setIntegrationCoefficients(run, 0, 5, 2, 0.1, 0.1);
  EXPECT_EQ(run.a0(), 0.0);
  EXPECT_EQ(run.history(1), -77.0);
}

TEST_F(IntegrationCoefficients, FirstStepAndFirstOrder) {
  for (int method : {1, 2}) {
    setIntegrationCoefficients(run, method, 0, 0, 0.25, 0.5);
    EXPECT_EQ(run.a0(), 1.0);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(run.history(i), run.X[i]);
  }
  setIntegrationCoefficients(run, 1, 7, 2, 0.25, 0.5);
  EXPECT_DOUBLE_EQ(run.a0(), 4.0);
  // Step counter 1 stays first order with method 2, whatever the nominal count.
  setIntegrationCoefficients(run, 2, 1, 2, 0.25, 0.5);
  EXPECT_DOUBLE_EQ(run.a0(), 4.0);
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(run.history(i), run.X[i]);
}

TEST_F(IntegrationCoefficients, SecondOrderOnlyAfterTwoNominalSteps) {
  const double dt = 0.2;
  for (int nominal : {0, 1}) {
    setIntegrationCoefficients(run, 2, 5, nominal, 0.1, dt);
    EXPECT_DOUBLE_EQ(run.a0(), 1.0 / 0.1) << nominal;
    EXPECT_EQ(run.history(2), run.X[2]);
  }
  setIntegrationCoefficients(run, 2, 5, 2, dt, dt);
  // a0·(u − H) must be the two-step formula (1.5u − 2X_n + 0.5X_{n−1})/Δt.
  for (int i = 1; i <= 3; ++i) {
    const double u = 1.7 * i - 0.3;
    const double bdf2 = (1.5 * u - 2.0 * run.X[i] + 0.5 * run.previous[i]) / dt;
    EXPECT_NEAR(run.a0() * (u - run.history(i)), bdf2, 1e-12) << i;
  }
}

TEST_F(IntegrationCoefficients, ZeroLengthAttemptTakesTheNominalStep) {
  setIntegrationCoefficients(run, 1, 3, 0, 0.0, 0.5);
  EXPECT_DOUBLE_EQ(run.a0(), 2.0);
  setIntegrationCoefficients(run, 1, 3, 0, -1.0, 0.0);
  EXPECT_DOUBLE_EQ(run.a0(), 1.0);
  setIntegrationCoefficients(run, 2, 3, 2, 0.1, 0.0);
  EXPECT_TRUE(std::isfinite(run.a0()));
}

}  // namespace
}  // namespace movra
