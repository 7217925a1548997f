// The driver's step grid for models with a PWM statement, read from model text the
// way the editor hands it over.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/in_process_run.h"

namespace movra {
namespace {

using Outcome = testing::InProcessRun;

// A 10 V supply switched by the PWM signal p20 into a 10-ohm load.
std::string pwmModel(const std::string& duty, const std::string& period, const std::string& dt,
                     const std::string& frequency) {
  return "V 1 0, 10\n"
         "Sw 1 2, 0.5, 0.5, 0, 0.001, 0, p20\n"
         "R 2 0, 10\n"
         ":pwm 20\n"
         "   " + duty + "\n"
         "   " + period + "\n"
         ".o x2.9\n"
         ".t 1\n   0\n   0.02\n   " + dt + "\n   1\n   -1\n   0\n   " + frequency + "\n";
}

std::unique_ptr<Outcome> simulate(const std::string& text, int handOverMode = 2) {
  return testing::runModelText(text, handOverMode);
}

TEST(PwmGrid, FrequencyThatDividesTheStepSetsPeriodHalfStepsAndSubSteps) {
  auto outcome = simulate(pwmModel("0.5", "0", "0.002", "1000"));
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  EXPECT_DOUBLE_EQ(outcome->run->pwmPeriod, 0.001);
  EXPECT_DOUBLE_EQ(outcome->run->hSim, 0.0005);
  EXPECT_EQ(outcome->run->stepsPerOutput, 4);
  EXPECT_EQ(outcome->run->method, 1);
}

TEST(PwmGrid, FrequencyThatDoesNotDivideTheStepIsRefused) {
  auto outcome = simulate(pwmModel("0.5", "0", "0.0025", "1000"));
  EXPECT_EQ(outcome->status, kRunRefused);
  EXPECT_NE(outcome->messages.last().find("pwm周波数*dt が整数でない？　5.000000e-01"), std::string::npos)
      << outcome->messages.last();
  outcome = simulate(pwmModel("0.5", "0", "0.002", "2e6"));
  EXPECT_NE(outcome->messages.last().find("pwm周波数が大き過ぎ？"), std::string::npos);
}

TEST(PwmGrid, PeriodFromTheStatementIsFittedToTheStep) {
  auto outcome = simulate(pwmModel("0.5", "0.3m", "1m", "0"));
  ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
  EXPECT_NEAR(outcome->run->pwmPeriod, 1e-3 / 3, 1e-15);
  ASSERT_EQ(outcome->host.titleNotices.size(), 1u);
  EXPECT_NE(outcome->host.titleNotices[0].find("<注意：pwm 周期 P=3.333333e-04 で計算>"), std::string::npos);
  // The initial check refuses instead of changing the period.
  outcome = simulate(pwmModel("0.5", "0.3m", "1m", "0"), 1);
  EXPECT_EQ(outcome->status, kRunRefused);
  EXPECT_NE(outcome->messages.last().find("刻み巾が pwm 周期の整数倍でない？"), std::string::npos);
  outcome = simulate(pwmModel("0.5", "2m", "1m", "0"));
  EXPECT_NE(outcome->messages.last().find("pwm周期が刻み巾より大きい？"), std::string::npos);
  outcome = simulate(pwmModel("0.5", "0", "1m", "0"));
  EXPECT_NE(outcome->messages.last().find("pwm周波数が？"), std::string::npos);
}

TEST(PwmGrid, DutyIsClampedAndTheSwitchSignalFollowsTheHalves) {
  // Duty 0: the on part shrinks to 1 % of the period and the signal stays off.
  auto off = simulate(pwmModel("0", "0", "0.002", "1000"));
  ASSERT_EQ(off->status, 0);
  EXPECT_DOUBLE_EQ(off->run->pwmDutyNow, 0.01);
  // A duty inside the limits is taken as it is.
  auto quarter = simulate(pwmModel("0.25", "0", "0.002", "1000"));
  ASSERT_EQ(quarter->status, 0);
  EXPECT_DOUBLE_EQ(quarter->run->pwmDutyNow, 0.25);
}

// Every PWM step is recorded, so the energies recorded step by step add the power
// times that step: over 20 ms at duty 0.25 a 10 V supply puts 10 W into 10 Ohm for
// a quarter of the time, 0.05 J, whatever the number of steps per half. (They used
// to add the power times the whole output step at every half: 8 times too much.)
TEST(PwmGrid, EnergiesAddEachStepOnce) {
  for (const char* steps : {"1", "4"}) {
    std::string model = pwmModel("0.25", "0", "0.002", "1000");
    model.replace(model.find("V 1 0, 10"), 9, "V 1 0, 10 * p2");
    model.replace(model.find("R 2 0, 10"), 9, "R 2 0, 10 {h1000}");
    model.replace(model.find(".o x2.9"), 7, ".o x2.9, c1010");
    auto outcome = simulate(model + "   " + steps + "\n");
    ASSERT_EQ(outcome->status, 0) << outcome->messages.last();
    const int last = outcome->run->lastFrame;
    EXPECT_NEAR(std::fabs(outcome->output(last, 3)), 0.05, 0.05 * 0.01) << steps << " steps per part";
  }
}

}  // namespace
}  // namespace movra
