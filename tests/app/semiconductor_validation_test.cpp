// Diode, MOSFET and transistor circuits against ngspice running the same circuit,
// and against the ideal figures of the converters.
//
// The diode model in ngspice is fitted to the same forward point: our diode with
// V_F = 0.7 V and I_F = 1 A has n = 1 and Is = I_F / (exp(V_F / Vt) - 1) with
// Vt = 0.02585 V; ngspice gets that Is with N = 1, and its temperature is set to
// 26.83 degC (TNOM too, so Is is not rescaled), where kT/q is that same Vt. Both
// diodes then follow one exponential wherever currents of a working circuit lie;
// ours differs only below 0 V (linear instead of -Is), above its limit voltage
// (0.9 V, thousands of amperes) and by its 1e-9 S leaks. The MOSFET is ngspice's
// level 1 with KP = 2 K, the bulk junction (Is = 1e-14 A) as body diode, and the
// gate capacitance as two explicit capacitors; the transistor is ngspice's
// Gummel-Poon model with only IS, BF and BR set, which is Ebers-Moll.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "support/batch_runs.h"

namespace {

using movra::testing::readColumns;
using movra::testing::readFile;
using movra::testing::Rows;

const std::string kSource = MOVRA_SOURCE_DIR;
constexpr double kVt = 0.02585;
const double kDiodeIs = 1.0 / (std::exp(0.7 / kVt) - 1.0);

// The common head of every netlist: the temperature at which kT/q = Vt.
const char kNetlistHead[] = ".options temp=26.83 tnom=26.83\n";

Rows simulate(const std::string& modelText, const std::string& directory) {
  const std::string path = directory + "/circuit.model";
  std::ofstream(path) << modelText;
  movra::testing::runBatch(path, directory);
  return readColumns(directory + "/out.txt");
}

// ngspice -b on the netlist; "@OUT@" names its data file. Returns the rows of
// wrdata (each vector after its own scale column).
Rows ngspice(std::string netlist, const std::string& directory) {
  const std::string data = directory + "/ngspice.txt";
  netlist.replace(netlist.find("@OUT@"), 5, data);
  const std::string path = directory + "/circuit.cir";
  std::ofstream(path) << netlist;
  const std::string command = "ngspice -b " + path + " > " + directory + "/ngspice.log 2>&1";
  // ngspice's exit code says nothing useful in batch mode; its data file does.
  std::system(command.c_str());
  Rows rows = readColumns(data);
  EXPECT_FALSE(rows.empty()) << "no ngspice data: is ngspice installed? "
                             << readFile(directory + "/ngspice.log");
  return rows;
}

// Linear interpolation of column `column` of the reference at time t.
double interpolate(const Rows& reference, double t, size_t column) {
  auto later =
      std::lower_bound(reference.begin(), reference.end(), t,
                       [](const std::vector<double>& row, double time) { return row[0] < time; });
  if (later == reference.begin()) return (*later)[column];
  if (later == reference.end()) return reference.back()[column];
  const auto& a = *(later - 1);
  const auto& b = *later;
  if (b[0] <= a[0]) return a[column];
  return a[column] + (b[column] - a[column]) * (t - a[0]) / (b[0] - a[0]);
}

struct Range {
  double low = INFINITY;
  double high = -INFINITY;
  void add(double v) {
    low = std::min(low, v);
    high = std::max(high, v);
  }
};

Range rangeFrom(const Rows& rows, size_t column, double from) {
  Range range;
  for (const auto& row : rows) {
    if (row[0] >= from - 1e-12) range.add(row[column]);
  }
  return range;
}

// Time average of a column of ngspice's uneven points from `from` to the end.
double timeMean(const Rows& rows, size_t column, double from) {
  double sum = 0, span = 0;
  for (size_t k = 1; k < rows.size(); ++k) {
    if (rows[k - 1][0] < from) continue;
    const double dt = rows[k][0] - rows[k - 1][0];
    sum += 0.5 * (rows[k][column] + rows[k - 1][column]) * dt;
    span += dt;
  }
  return sum / span;
}

std::string exampleText(const std::string& name) {
  return readFile(kSource + "/examples/" + name + ".model");
}

// The example with its duty row replaced.
std::string withDuty(std::string text, double duty) {
  const std::string row = "   0.5             // duty";
  const size_t at = text.find(row);
  EXPECT_NE(at, std::string::npos);
  char written[64];
  std::snprintf(written, sizeof written, "   %.3g             // duty", duty);
  return text.replace(at, row.size(), written);
}

TEST(SemiconductorValidation, HalfWaveRectifierFollowsNgspice) {
  const std::string directory = movra::testing::scratchDirectory("half_wave");
  const Rows rows = simulate(exampleText("half_wave_rectifier"), directory);
  ASSERT_EQ(rows.size(), 3001u);
  const Rows reference =
      ngspice(readFile(kSource + "/tests/data/validation/half_wave.cir"), directory);
  ASSERT_GT(reference.size(), 1000u);
  double worst = 0;
  for (const auto& row : rows)
    worst = std::max(worst, std::fabs(row[2] - interpolate(reference, row[0], 1)));
  // ngspice at 2 us steps is the reference; ours takes 20 us second-order steps.
  // The diode's turn-on at each crest is the fastest event: the charging pulse
  // lasts about 1.5 ms, 75 of our steps, which leaves the formula a few mV. The
  // print carries four digits (0.5 mV at 9 V).
  EXPECT_LT(worst, 8e-3);
  // Peak and trough of the output over the last period.
  const Range ours = rangeFrom(rows, 2, 0.04);
  const Range theirs = rangeFrom(reference, 1, 0.04);
  EXPECT_NEAR(ours.high, theirs.high, 3e-3);
  EXPECT_NEAR(ours.low, theirs.low, 3e-3);
  // Ideal ripple: the load current (9.2 mA) drains C from the crest until the
  // rising sine meets the output again, most of a period: below the whole
  // period's 9.2 mA / (50 Hz 100 uF) = 1.84 V, above three quarters of it.
  EXPECT_LT(ours.high - ours.low, 9.2e-3 / (50 * 100e-6));
  EXPECT_GT(ours.high - ours.low, 0.75 * 9.2e-3 / (50 * 100e-6));
  std::printf("half-wave rectifier: worst gap %.3g V; peak %.4g / %.4g V, trough %.4g / %.4g V\n",
              worst, ours.high, theirs.high, ours.low, theirs.low);
}

// The buck converter of the example at duty d in ngspice: the gate pulse starts
// each period with its off part, as the PWM steps do.
std::string buckNetlist(double duty) {
  char text[2048];
  std::snprintf(text, sizeof text,
                "* Buck converter, 20 kHz, duty %g\n%s"
                "V1 1 0 PWL(0 0 1n 24)\n"
                "M1 1 4 2 2 NSW L=1 W=1\n"
                ".model NSW NMOS(LEVEL=1 VTO=2 KP=%.9g LAMBDA=0 IS=1e-14)\n"
                "Cgd 1 4 0.5n\nCgs 4 2 0.5n\nRleak 1 2 1e7\n"
                "VG 4 2 PULSE(0 10 %.9g 10n 10n %.9g 50u)\n"
                "D1 0 2 DFIT\n.model DFIT D(IS=%.9g N=1)\n"
                "L1 2 3a 1m\nVL 3a 3 0\nC1 3 0 100u\nR1 3 0 5\n"
                ".tran 0.1u 20m 0 0.5u uic\n"
                ".control\nrun\nwrdata @OUT@ v(3) i(VL)\n.endc\n.end\n",
                duty, kNetlistHead, 2.0 / ((2 * 8.0 - 0.25) * 0.05), (1 - duty) * 50e-6,
                duty * 50e-6 - 10e-9, kDiodeIs);
  return text;
}

TEST(SemiconductorValidation, BuckConverterFollowsNgspiceAndTheIdealFigure) {
  for (double duty : {0.25, 0.5, 0.75}) {
    const std::string directory = movra::testing::scratchDirectory("buck");
    const Rows rows = simulate(withDuty(exampleText("buck_converter"), duty), directory);
    ASSERT_EQ(rows.size(), 801u);
    const Rows reference = ngspice(buckNetlist(duty), directory);
    ASSERT_GT(reference.size(), 1000u);
    // Columns: time, output, inductor current, the output's mean over the latest
    // period. ngspice: time, v(3), time, i(L).
    const double mean = rows.back()[3];
    const double theirMean = timeMean(reference, 1, 0.018);
    // Two first-order steps per period end exactly at the switching instants, so
    // the inductor current (a ramp while the output barely moves) is exact there;
    // the output, 19 mV of ripple at most, enters each step at its end value,
    // which shifts the mean by a fraction of that ripple. The print: 5 mV.
    EXPECT_NEAR(mean, theirMean, 0.02) << duty;
    // The inductor current's extremes fall on the switching instants, where both
    // programs have points: its ripple, 0.23 to 0.31 A, agrees to within the
    // print. Its level does not quite: each step charges C with the inductor
    // current of the step's end, so the charge balance makes d·i_max +
    // (1 - d)·i_min, not the triangle's mean, equal the load current. That lifts
    // the band by (1/2 - d)·ripple, 58 mA at d = 0.25, which ngspice's fine steps
    // do not have.
    const Range ours = rangeFrom(rows, 2, 0.018);
    const Range theirs = rangeFrom(reference, 3, 0.018);
    const double ripple = theirs.high - theirs.low;
    EXPECT_NEAR(ours.high - ours.low, ripple, 4e-3) << duty;
    const double lift = (0.5 - duty) * ripple;
    EXPECT_NEAR(ours.high, theirs.high + lift, 4e-3) << duty;
    EXPECT_NEAR(ours.low, theirs.low + lift, 4e-3) << duty;
    // Ideal: the switch node is Vin less the channel's drop for d P and one diode
    // drop below ground for (1 - d) P; its mean is the output's. The channel is
    // 1/(K (2 (Von - Vt) - Vds)) ~ 50 mOhm, the diode N ln(I/Is + 1).
    const double current = mean / 5.0;
    const double ideal =
        duty * (24.0 - current * 0.05) - (1 - duty) * kVt * std::log(current / kDiodeIs + 1);
    EXPECT_NEAR(mean, ideal, 0.02) << duty;
    EXPECT_NEAR(mean, duty * 24.0, 0.8) << duty;
    std::printf(
        "buck d = %.2f: mean %.4g V (ngspice %.4g, ideal %.4g); inductor %.4g..%.4g A "
        "(ngspice %.4g..%.4g)\n",
        duty, mean, theirMean, ideal, ours.low, ours.high, theirs.low, theirs.high);
  }
}

TEST(SemiconductorValidation, BoostConverterFollowsNgspiceAndTheIdealFigure) {
  const std::string directory = movra::testing::scratchDirectory("boost");
  const Rows rows = simulate(exampleText("boost_converter"), directory);
  ASSERT_EQ(rows.size(), 1601u);
  char netlist[2048];
  std::snprintf(netlist, sizeof netlist,
                "* Boost converter, 20 kHz, duty 0.5\n%s"
                "V1 1 0 PWL(0 0 1n 12)\nL1 1 2 1m\n"
                "M1 2 4 0 0 NSW L=1 W=1\n"
                ".model NSW NMOS(LEVEL=1 VTO=2 KP=%.9g LAMBDA=0 IS=1e-14)\n"
                "Cgd 2 4 0.5n\nCgs 4 0 0.5n\nRleak 2 0 1e7\n"
                "VG 4 0 PULSE(0 10 25u 10n 10n 24.99u 50u)\n"
                "D1 2 3 DFIT\n.model DFIT D(IS=%.9g N=1)\n"
                "C1 3 0 100u\nR1 3 0 20\n"
                ".tran 0.1u 40m 0 0.5u uic\n"
                ".control\nrun\nwrdata @OUT@ v(3)\n.endc\n.end\n",
                kNetlistHead, 2.0 / ((2 * 8.0 - 0.25) * 0.05), kDiodeIs);
  const Rows reference = ngspice(netlist, directory);
  ASSERT_GT(reference.size(), 1000u);
  const double mean = rows.back()[3];
  const double theirMean = timeMean(reference, 1, 0.038);
  // Here the output carries the ripple (the diode feeds C in pulses):
  // Io d P / C = 1.16 A 25 us / 100 uF = 0.29 V. The off step sees the output at
  // its end, the top of that ripple, for the whole off part, so the energy balance
  // puts our mean about half the ripple low; that is the price of two steps per
  // period, and the bound.
  const double ripple = mean / 20.0 * 0.5 * 50e-6 / 100e-6;
  EXPECT_NEAR(mean, theirMean, 0.5 * ripple + 0.02);
  EXPECT_LT(mean, theirMean);
  // Ideal Vin / (1 - d) = 24 V less the diode at the inductor current Io / (1 - d)
  // and the channel's share, d Io/(1 - d) R_on / (1 - d).
  const double inductor = mean / 20.0 / 0.5;
  const double ideal =
      (12.0 - 0.5 * inductor * 0.05) / 0.5 - kVt * std::log(inductor / kDiodeIs + 1);
  EXPECT_NEAR(theirMean, ideal, 0.03);
  EXPECT_NEAR(mean, ideal, 0.5 * ripple + 0.03);
  std::printf("boost d = 0.5: mean %.4g V (ngspice %.4g, ideal %.4g, ripple %.3g V)\n", mean,
              theirMean, ideal, ripple);
}

// One step per PWM part sees the inductor current of the part's end for the whole
// part: at d = 0.6 the supply's period-mean current comes out some 7 % high. With K
// equal steps per part (row 8 of ".t") the error is backward Euler's, first order
// in the step: it should halve as K doubles.
TEST(SemiconductorValidation, BoostSupplyCurrentApproachesNgspiceAsPwmPartsAreSplit) {
  std::string text = withDuty(exampleText("boost_converter"), 0.6);
  const auto replace = [&text](const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
  };
  replace("V 1 0, 12 * p2, 0", "V 1 0, 12 * p2, 0 {h1000}");
  replace(".o x3.9, c1102, c1211", ".o x3.9, c1102, c1211, c1012");
  const std::string frequencyRow = "   20k             // PWM frequency, Hz";
  const auto withSteps = [&](const std::string& row) {
    std::string split = text;
    split.replace(split.find(frequencyRow), frequencyRow.size(), frequencyRow + "\n" + row);
    return split;
  };
  char netlist[2048];
  std::snprintf(netlist, sizeof netlist,
                "* Boost converter, 20 kHz, duty 0.6\n%s"
                "V1 1 0 PWL(0 0 1n 12)\nL1 1 2 1m\n"
                "M1 2 4 0 0 NSW L=1 W=1\n"
                ".model NSW NMOS(LEVEL=1 VTO=2 KP=%.9g LAMBDA=0 IS=1e-14)\n"
                "Cgd 2 4 0.5n\nCgs 4 0 0.5n\nRleak 2 0 1e7\n"
                "VG 4 0 PULSE(0 10 20u 10n 10n 29.99u 50u)\n"
                "D1 2 3 DFIT\n.model DFIT D(IS=%.9g N=1)\n"
                "C1 3 0 100u\nR1 3 0 20\n"
                ".tran 0.1u 40m 0 0.5u uic\n"
                ".control\nrun\nwrdata @OUT@ i(V1)\n.endc\n.end\n",
                kNetlistHead, 2.0 / ((2 * 8.0 - 0.25) * 0.05), kDiodeIs);
  const std::string directory = movra::testing::scratchDirectory("boost_split");
  const Rows reference = ngspice(netlist, directory);
  ASSERT_GT(reference.size(), 1000u);
  const double theirs = std::fabs(timeMean(reference, 1, 0.038));

  // Without the row and with K = 1 the run is the same to the last printed digit.
  const Rows unsplit = simulate(text, directory);
  ASSERT_EQ(unsplit.size(), 1601u);
  EXPECT_EQ(simulate(withSteps("   1"), directory), unsplit);

  double error[17] = {};
  for (int k : {1, 2, 4, 16}) {
    const Rows rows = simulate(withSteps("   " + std::to_string(k)), directory);
    // Frames stay at the ends of the halves whatever K is.
    ASSERT_EQ(rows.size(), 1601u) << k;
    EXPECT_NEAR(rows.back()[0], 0.04, 1e-12) << k;
    error[k] = std::fabs(rows.back()[4]) / theirs - 1;
    std::printf("boost d = 0.6, K = %d: supply mean %.4g A (ngspice %.4g), error %+.2f %%\n", k,
                std::fabs(rows.back()[4]), theirs, 100 * error[k]);
  }
  EXPECT_GT(error[1], 0.04);
  EXPECT_NEAR(error[2] / error[1], 0.5, 0.15);
  EXPECT_NEAR(error[4] / error[2], 0.5, 0.15);
  EXPECT_LT(std::fabs(error[16]), 0.01);
  // A part cannot be split into a fraction or nothing. (Shared memory and the census
  // of this test's own, so that a run of another test is no second calculation.)
  setenv("MOVRA_SHM_TAG", ("split-" + std::to_string(getpid())).c_str(), 1);
  for (const char* bad : {"   0.5", "   -2", "   2000"}) {
    const std::string path = directory + "/bad.model";
    std::ofstream(path) << withSteps(bad);
    const auto refused = movra::testing::runNote("run " + path + " --batch " + directory);
    EXPECT_EQ(refused.exitCode, 1) << bad;
    EXPECT_NE(refused.output.find("pwm の分割数が？"), std::string::npos) << refused.output;
  }
}

TEST(SemiconductorValidation, TransistorFollowsNgspicesBipolarModel) {
  // Collector current over a base-current sweep: 10 V through 1 kOhm to the
  // collector, the base fed from 0 to 300 uA. Forward active up to about 97 uA,
  // saturated beyond.
  const std::string sweep =
      "I 0 2, 300u * p1, 0\nQ 3 2 0, 100, 1e-14, 2 {h1000}\nR 1 3, 1k\nV 1 0, 10, 0\n"
      ".o c1002, c1004, x3.9\n.t 0\n   0\n   1\n   0.01\n   1\n.ic\n";
  const std::string directory = movra::testing::scratchDirectory("bjt_sweep");
  const Rows rows = simulate(sweep, directory);
  ASSERT_EQ(rows.size(), 101u);
  const Rows reference =
      ngspice(std::string("* base current sweep\n") + kNetlistHead +
                  "IB 0 2 DC 0\nQ1 3 2 0 QFIT\n.model QFIT NPN(IS=1e-14 BF=100 BR=2)\n"
                  "RC 1 3 1k\nVCC 1 0 10\n.dc IB 0 300u 3u\n"
                  ".control\nrun\nwrdata @OUT@ v(3)\n.endc\n.end\n",
              directory);
  ASSERT_EQ(reference.size(), 101u);
  double worst = 0;
  for (size_t k = 0; k < rows.size(); ++k) {
    // Columns: time, Ic, Ib, collector. ngspice: Ib, v(3).
    const double theirs = (10.0 - reference[k][1]) / 1e3;
    worst = std::max(worst, std::fabs(rows[k][1] - theirs));
    EXPECT_NEAR(rows[k][3], reference[k][1], 2e-3) << k;
    EXPECT_NEAR(rows[k][2], 3e-6 * k, 1e-3 * 3e-6 * k + 1e-11) << k;
  }
  // Four printed digits of up to 10 mA; ngspice's own GMIN (1e-12 S) and our
  // leaks move nothing at this scale.
  EXPECT_LT(worst, 5e-6);
  // Forward active: beta; saturated: Vce(sat) = Vt ln((1 + (Ic/Ib)(1 + 1/BR) ...)) ~ 0.1 V.
  EXPECT_NEAR(rows[20][1] / rows[20][2], 100.0, 0.1);
  EXPECT_LT(rows[100][3], 0.15);

  // A switching stage: 5 V, 1 kHz sine through 10 kOhm into the base, 1 kOhm to
  // 10 V at the collector; cut off, active and saturated in every period.
  const std::string stage =
      "V 4 0, 5 * sin(2 * pi * 1000 * p1), 0\nR 4 2, 10k\nQ 3 2 0, 100, 1e-14, 2\nR 1 3, 1k\n"
      "V 1 0, 10, 0\n.o x3.9\n.t 2\n   0\n   2m\n   2u\n   1\n.ic\n";
  const std::string stageDirectory = movra::testing::scratchDirectory("bjt_stage");
  const Rows out = simulate(stage, stageDirectory);
  ASSERT_EQ(out.size(), 1001u);
  const Rows wave = ngspice(std::string("* switching stage\n") + kNetlistHead +
                                "VIN 4 0 SIN(0 5 1k)\nRB 4 2 10k\nQ1 3 2 0 QFIT\n"
                                ".model QFIT NPN(IS=1e-14 BF=100 BR=2)\nRC 1 3 1k\nVCC 1 0 10\n"
                                ".tran 0.5u 2m 0 0.5u\n"
                                ".control\nrun\nwrdata @OUT@ v(3)\n.endc\n.end\n",
                            stageDirectory);
  double stageWorst = 0;
  for (const auto& row : out)
    stageWorst = std::max(stageWorst, std::fabs(row[1] - interpolate(wave, row[0], 1)));
  // Without capacitances the stage is algebraic: the gap is the print (5 mV at
  // 10 V) and the interpolation of ngspice's points on the steep edges.
  EXPECT_LT(stageWorst, 0.03);
  std::printf("transistor: sweep worst Ic gap %.3g A; stage worst Vc gap %.3g V\n", worst,
              stageWorst);
}

// Bad data stops `check` (and `run`) at the element's own line of the model file
// with the element's message.
TEST(SemiconductorValidation, BadDataIsReportedAtTheModelLine) {
  struct Case {
    const char* line;
    const char* message;
  };
  const Case cases[] = {
      {"D 1 2, 0, 1", "データが？"},                   // no forward voltage
      {"D 1 2, 0.7, -1", "データが？"},                // negative forward current
      {"M 1 3 2, 2, 0, 10, 5", "データが？"},          // no on-resistance
      {"M 1 3 2, 2, 0.05, 1, 5", "@ 条件データが？"},  // gate voltage below threshold
      {"Q 2 3 0, 0", "データが？ b"},                  // no current gain
  };
  const std::string directory = movra::testing::scratchDirectory("semiconductor_bad");
  for (const Case& c : cases) {
    const std::string path = directory + "/bad.model";
    std::ofstream(path) << "V 1 0, 5, 0\nR 2 0, 1k\n"
                        << c.line << "\nV 3 0, 10, 0\n.t 2\n   0\n   1m\n   10u\n   1\n";
    const std::string command = "MOVRA_SHM_TAG=semiconductor-" + std::to_string(getpid()) + " " +
                                MOVRA_BINARY_DIR + "/bin/movra-note check " + path + " 2>&1";
    std::string output;
    std::FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    const int status = pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << c.line << ": " << output;
    EXPECT_NE(output.find(path + ":3: " + c.message), std::string::npos)
        << c.line << ": " << output;
  }
}

}  // namespace
