// Thermal networks run as a user runs them (movra-note run, out.txt) and held
// against closed forms: a body cooling through a wall, steady conduction through
// shells, radiation between plates and cylinders, natural-convection coefficients
// from the correlations worked out here from the air table, and the energy
// balance of every thermal example. out.txt prints four significant digits, so
// 5e-4 of a value's magnitude is part of every tolerance.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/batch_runs.h"

namespace {

using movra::testing::Rows;
using movra::testing::readColumns;

const std::string kSource = std::string(MOVRA_SOURCE_DIR);
constexpr double kPrinted = 5e-4;
constexpr double kSigma = 5.67e-08;

// Writes a model into a scratch folder, runs it and returns out.txt's rows.
Rows runModel(const std::string& name, const std::string& text) {
  const std::string directory = movra::testing::scratchDirectory("thermal_" + name);
  const std::string path = directory + "/" + name + ".model";
  std::ofstream(path) << text;
  movra::testing::runBatch(path, directory);
  return readColumns(directory + "/out.txt");
}

Rows runExample(const std::string& name) {
  const std::string directory = movra::testing::scratchDirectory("thermal_" + name);
  movra::testing::runBatch(kSource + "/examples/" + name + ".model", directory);
  return readColumns(directory + "/out.txt");
}

// The rows of a ":u" table in a materials file, read here on their own.
Rows tableRows(const std::string& file, int id) {
  std::ifstream in(kSource + "/materials/" + file);
  std::string line;
  Rows rows;
  bool inside = false;
  while (std::getline(in, line)) {
    const std::string code = line.substr(0, line.find("//"));
    if (code.rfind(":u", 0) == 0) {
      inside = std::stoi(code.substr(2)) == id;
      continue;
    }
    if (!inside || code.find_first_not_of(" \t") == std::string::npos) continue;
    std::istringstream values(code);
    std::vector<double> row;
    double v = 0;
    while (values >> v) row.push_back(v);
    rows.push_back(row);
  }
  return rows;
}

std::vector<double> interpolate(const Rows& rows, double t) {
  if (t <= rows.front()[0]) return rows.front();
  if (t >= rows.back()[0]) return rows.back();
  size_t k = 1;
  while (rows[k][0] < t) ++k;
  const double w = (t - rows[k - 1][0]) / (rows[k][0] - rows[k - 1][0]);
  std::vector<double> out(rows[k].size());
  for (size_t c = 0; c < out.size(); ++c) out[c] = rows[k - 1][c] + w * (rows[k][c] - rows[k - 1][c]);
  return out;
}

// Trapezoid integral of column c over rows of step h.
double integral(const Rows& rows, size_t c, double h) {
  double sum = 0;
  for (size_t k = 1; k < rows.size(); ++k) sum += 0.5 * (rows[k][c] + rows[k - 1][c]) * h;
  return sum;
}

const char kStatic[] = ".t 0\n   0\n   1\n   1\n   1\n.ic\n";

// ---- a body through a wall ----

TEST(ThermalValidation, BodyThroughAWallApproachesTheFixedTemperatureWithTauRC) {
  // Wall: area 2, thickness 0.1, λ = 50, no capacity: 2000 W/K per half, R = 1e-3 K/W.
  // Body: a block of λ = 1e6 (no inner resistance to speak of), C = 1e6 J/K.
  const Rows rows = runModel("tau", R"(
:u 200
   0    50  0  0
:u 300
   0    1e6  1000  1000
t 2 0, 20
Hc 1 2, p200, 1, 2, 0.1 {h1100}
Hc 1 3, p300, 1, 1, 1 {h1200}
.o x1.9, c1102, c1218
.t 2
   0
   3000
   5
   1
.ic
)");
  ASSERT_EQ(rows.size(), 601u);
  const double tau = 1e-3 * 1e6;
  double worst = 0;
  // Step 0 is the starting step; from step 1 on the body follows 20·(1 - e^(-t/τ)),
  // from the temperature it had after step 0.
  const double start = rows[0][1];
  for (size_t k = 1; k < rows.size(); ++k) {
    const double t = 5.0 * static_cast<double>(k);
    const double expected = 20 - (20 - start) * std::exp(-t / tau);
    worst = std::max(worst, std::fabs(rows[k][1] - expected));
  }
  EXPECT_LT(worst, 0.02);  // second-order steps of τ/200, and 4 printed digits
  // Energy: the heat through the wall is the heat the body stored.
  const double through = -integral(rows, 2, 5.0);
  const double stored = integral(rows, 3, 5.0);
  EXPECT_NEAR(through, stored, 2e-3 * stored);
  EXPECT_NEAR(stored, 1e6 * (rows.back()[1] - rows[0][1]), 5e-3 * stored);
}

// ---- shells ----

TEST(ThermalValidation, ShellsConductAsTheirClosedFormsWithinTheTwoHalfError) {
  // λ = 10; inner face held at 100, outer at 0; r1 = 0.05, r2 = 0.1, L = 2.
  const std::string head = ":u 200\n   0  10  0  0\nt 1 0, 100\n";
  const double r1 = 0.05, r2 = 0.1, l = 2, lambda = 10;
  const double cylinder = 2 * M_PI * lambda * l / std::log(r2 / r1) * 100;
  const double sphere = 4 * M_PI * lambda * r1 * r2 / (r2 - r1) * 100;
  struct Case {
    int shape;
    double expected;
    double error;  // of the two-half model, stated
  } cases[] = {
      // Hollow shapes: both halves exact in series (logarithms and 1/r add up).
      {3, cylinder, 0.0},
      {2, sphere, 0.0},
      // With a core: the first half takes the mean area, which at r1/r2 = 1/2
      // overrates the cylinder by 1.2 % and the sphere by 9.9 %.
      {30, cylinder, 0.012},
      {20, sphere, 0.099},
  };
  for (const Case& c : cases) {
    std::ostringstream text;
    text << head << "Hc 1 0, p200, " << c.shape << ", " << r1 << ", " << r2 << ", " << l
         << " {h1100}\n.o c1102\n" << kStatic;
    const Rows rows = runModel("shell" + std::to_string(c.shape), text.str());
    ASSERT_EQ(rows.size(), 2u);
    const double q = rows.back()[1];
    EXPECT_NEAR(q / c.expected - 1, c.error, 2e-3) << "shape " << c.shape << ": " << q;
  }
}

// ---- radiation ----

TEST(ThermalValidation, RadiationBetweenPlatesAndCylindersFollowsTheEnclosureLaws) {
  // ε = 0.8 at node 1, 0.3 at node 2 (two columns: surface 1, surface 2).
  const std::string head = ":u 200\n   0  0.8  0.3\nt 1 0, 300\nt 2 0, 50\n";
  const double t1 = 573.15, t2 = 323.15;
  const double drive = kSigma * (std::pow(t1, 4) - std::pow(t2, 4));
  const double a1 = 2 * M_PI * 0.1 * 1.5, a2 = 2 * M_PI * 0.2 * 1.5;
  struct Case {
    std::string shape;
    double expected;
  } cases[] = {
      {"1, 2, 2", 2 * drive / (1 / 0.8 + 1 / 0.3 - 1)},  // parallel plates
      {"3, 0.1, 0.2, 1.5", a1 * drive / (1 / 0.8 + (1 / 0.3 - 1) * a1 / a2)},
      {"2, 0.1, 0.2", 4 * M_PI * 0.01 * drive /
                          (1 / 0.8 + (1 / 0.3 - 1) * 0.01 / 0.04)},  // spheres
  };
  for (const Case& c : cases) {
    const Rows rows = runModel("radiation", head + "Hr 1 2, p200, " + c.shape +
                                                " {h1100}\n.o c1102\n" + kStatic);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_NEAR(rows.back()[1], c.expected, kPrinted * c.expected) << c.shape;
  }
}

TEST(ThermalValidation, SurfaceAndSpaceResistancesAddUpToTheEnclosure) {
  // Coaxial cylinders built from parts: surface resistance of the inner cylinder
  // (1 -> 3), of the outer one (concave, 2 -> 4) and the space between (3 -> 4).
  const Rows rows = runModel("network", R"(
:u 200
   0  0.8  0.3
:u 210
   0  0.3  0.3
t 1 0, 300
t 2 0, 50
Hr 1 3, p200, 4, 0.1, 1.5 {h1100}
Hr 2 4, p210, 4, -0.2, 1.5 {h1200}
Hr 3 4, , 5, 0 {h1300}
.o c1102, c1202
.t 0
   0
   1
   1
   1
.ic
)");
  ASSERT_EQ(rows.size(), 2u);
  const double a1 = 2 * M_PI * 0.1 * 1.5, a2 = 2 * M_PI * 0.2 * 1.5;
  const double drive = kSigma * (std::pow(573.15, 4) - std::pow(323.15, 4));
  const double expected = a1 * drive / (1 / 0.8 + (1 / 0.3 - 1) * a1 / a2);
  // The radiosity nodes carry the surfaces' own 1e-4 clamps and the radius nudge.
  EXPECT_NEAR(rows.back()[1], expected, 2e-3 * expected);
  EXPECT_NEAR(-rows.back()[2], expected, 2e-3 * expected);
}

// ---- natural convection ----

TEST(ThermalValidation, NaturalConvectionCoefficientsFollowTheCorrelationsOnTheAirTable) {
  const Rows air = tableRows("air.model", 500);
  ASSERT_EQ(air.size(), 9u);
  const double hot = 80, cold = 20;
  const std::vector<double> p = interpolate(air, (hot + cold) / 2);
  const double lambda = p[1], rho = p[2], cp = p[3], mu = p[4], beta = p[5];
  const double nu = mu / rho, alpha = lambda / (rho * cp), pr = mu * cp / lambda;
  const auto ra = [&](double x) { return 9.81 * beta * (hot - cold) * x * x * x / (nu * alpha); };
  // Vertical plate 0.3 m high (Churchill and Chu), sphere of 0.05 m radius
  // (Churchill), horizontal cylinder of 0.02 m radius (Churchill and Chu).
  const double plate = std::pow(0.825 + 0.387 * std::pow(ra(0.3), 1.0 / 6) /
                                            std::pow(1 + std::pow(0.492 / pr, 9.0 / 16), 8.0 / 27),
                                2) * lambda / 0.3;
  const double sphere = (2 + 0.589 * std::pow(ra(0.1), 0.25) /
                                 std::pow(1 + std::pow(0.469 / pr, 9.0 / 16), 4.0 / 9)) *
                        lambda / 0.1;
  const double cylinder = std::pow(0.6 + 0.387 * std::pow(ra(0.04), 1.0 / 6) /
                                               std::pow(1 + std::pow(0.559 / pr, 9.0 / 16), 8.0 / 27),
                                   2) * lambda / 0.04;
  const Rows rows = runModel("convection", "t 1 0, 80\nt 2 0, 20\n.include " + kSource +
                                               "/materials/air.model\n"
                                               "Ne 1 2, p500, 1, 0.3, 0.2, 0 {h1100}\n"
                                               "Ne 1 2, p500, 2, 0.05 {h1200}\n"
                                               "Ne 1 2, p500, 3, 0.02, 1 {h1300}\n"
                                               ".o c1114, c1214, c1314, c1102\n" +
                                               ".t 2\n   0\n   2\n   1\n   1\n.ic\n");
  ASSERT_EQ(rows.size(), 3u);
  const std::vector<double>& last = rows.back();  // the properties of step 2 are at 50 degC
  EXPECT_NEAR(last[1], plate, kPrinted * plate);
  EXPECT_NEAR(last[2], sphere, kPrinted * sphere);
  EXPECT_NEAR(last[3], cylinder, kPrinted * cylinder);
  EXPECT_NEAR(last[4], plate * 0.06 * 60, kPrinted * plate * 3.6);
}

// The two further concentric-cylinder forms as a model file writes them (shape 103
// on Ni, 130 on Ne), against the laws worked out here from the air table.
TEST(ThermalValidation, ConcentricCylinderFormsMatchKuehnGoldsteinAndRaithbyHollands) {
  const Rows air = tableRows("air.model", 500);
  const double hot = 30, cold = 20, r1 = 0.02, r2 = 0.05, length = 1;
  const std::vector<double> p = interpolate(air, (hot + cold) / 2);
  const double lambda = p[1], rho = p[2], cp = p[3], mu = p[4], beta = p[5];
  const double nu = mu / rho, alpha = lambda / (rho * cp), pr = mu * cp / lambda;
  const auto ra = [&](double x) { return 9.81 * beta * (hot - cold) * x * x * x / (nu * alpha); };
  const double di = 2 * r1, dout = 2 * r2, logRatio = std::log(dout / di);
  const double film = std::pow(std::pow(0.518 * std::pow(ra(di), 0.25) *
                                            std::pow(1 + std::pow(0.559 / pr, 0.6), -5.0 / 12),
                                        15) + std::pow(0.1 * std::cbrt(ra(di)), 15),
                               1.0 / 15);
  const double nuInner = std::pow(std::pow(2 / std::log(1 + 2 / film), 15) +
                                      std::pow(2 / logRatio, 15), 1.0 / 15);
  const double kuehnGoldstein = nuInner * lambda * M_PI * length;
  const double gap = (dout - di) / 2;
  const double raC = std::pow(logRatio, 4) * ra(gap) /
                     (std::pow(gap, 3) * std::pow(std::pow(di, -0.6) + std::pow(dout, -0.6), 5));
  const double k = 0.386 * std::pow(pr / (0.861 + pr), 0.25) * std::pow(raC, 0.25);
  const double raithbyHollands =
      2 * M_PI * length * lambda * std::pow(1 + std::pow(k, 15), 1.0 / 15) / logRatio;
  const Rows rows = runModel("cylinders", "t 1 0, 30\nt 2 0, 20\n.include " + kSource +
                                              "/materials/air.model\n"
                                              "Ni 1 2, p500, 103, 0.02, 0.05, 1 {h1100}\n"
                                              "Ne 1 2, p500, 130, 0.02, 0.05, 1 {h1200}\n"
                                              ".o c1116, c1216, c1117, c1217, c1102\n" + kStatic);
  ASSERT_GE(rows.size(), 2u);
  const std::vector<double>& last = rows.back();  // properties at the mean, 25 degC
  EXPECT_NEAR(last[1], kuehnGoldstein, kPrinted * kuehnGoldstein);
  EXPECT_NEAR(last[2], raithbyHollands, kPrinted * raithbyHollands);
  EXPECT_EQ(last[3], 0);  // both inside their fits
  EXPECT_EQ(last[4], 0);
  EXPECT_NEAR(last[5], kuehnGoldstein * 10, kPrinted * kuehnGoldstein * 10);
}

// ---- the examples: energy balance ----

TEST(ThermalValidation, ResistorHeatingABlockBalancesJouleHeatAgainstStorageAndLosses) {
  const Rows rows = runExample("resistor_heats_body");
  ASSERT_EQ(rows.size(), 721u);
  // Columns: T, Joule heat, convection, radiation, storage.
  const double in = integral(rows, 2, 20);
  const double out = integral(rows, 3, 20) + integral(rows, 4, 20);
  const double stored = integral(rows, 5, 20);
  EXPECT_NEAR(in, out + stored, 3e-3 * in);
  // Steady at the end: the losses carry the Joule heat.
  EXPECT_NEAR(rows.back()[2], rows.back()[3] + rows.back()[4], 2e-3 * rows.back()[2]);
  // The heat stored is the block's capacity times its rise (aluminium c_p
  // interpolated: 903 J/(kg K) at 27 degC, 949 at 127 degC).
  const Rows aluminium = tableRows("aluminium.model", 530);
  const double t = rows.back()[1];
  double capacity = 0;
  for (int k = 0; k < 100; ++k) capacity += interpolate(aluminium, (k + 0.5) * t / 100)[3] * t / 100;
  EXPECT_NEAR(stored, 2702 * 5e-4 * capacity, 5e-3 * stored);
}

TEST(ThermalValidation, CompositeWallStoresWhatTheWindBringsAndTheStoreDoesNotGet) {
  const Rows rows = runExample("composite_wall");
  ASSERT_EQ(rows.size(), 433u);
  // Columns: outer face, brick | insulation, inner face, into the store, from the
  // wind (face to air), storage of brick, glass fibre, plaster.
  const double h = 1200;
  const double in = -integral(rows, 5, h);
  const double stored = integral(rows, 6, h) + integral(rows, 7, h) + integral(rows, 8, h);
  const double through = integral(rows, 4, h);
  EXPECT_NEAR(in, stored + through, 5e-3 * in);
  // Near steady after six days: one heat flow through every layer.
  EXPECT_NEAR(-rows.back()[5], rows.back()[4], 0.03 * rows.back()[4]);
  // The step reaches the store late: a tenth of the final flow after six hours.
  EXPECT_LT(rows[18][4], 0.1 * rows.back()[4]);
}

TEST(ThermalValidation, CounterflowExchangerMatchesEffectivenessAndNtuAndBalances) {
  const Rows rows = runExample("counterflow_exchanger");
  ASSERT_EQ(rows.size(), 6u);
  const std::vector<double>& r = rows.back();  // hot out, cold out, Q, UA
  const Rows water = tableRows("water.model", 510);
  // The advection links carry c_p at their own inlet temperatures.
  const double ch = 0.1 * interpolate(water, 90)[3];
  const double cc = 0.2 * interpolate(water, 15)[3];
  const double cmin = std::min(ch, cc), cr = cmin / std::max(ch, cc);
  const double ntu = r[4] / cmin;
  const double e = (1 - std::exp(-ntu * (1 - cr))) / (1 - cr * std::exp(-ntu * (1 - cr)));
  const double q = e * cmin * (90 - 15);
  // c_p changes along the streams by about 0.3 %.
  EXPECT_NEAR(r[3], q, 0.01 * q);
  EXPECT_NEAR(r[1], 90 - r[3] / ch, 0.5);
  EXPECT_NEAR(r[2], 15 + r[3] / cc, 0.5);
  // What the hot stream gives up, the cold stream takes up, each counted as the
  // links count enthalpy: mass flow times c_p(T)·T at the link's inlet.
  const double hotGives = 0.1 * (interpolate(water, 90)[3] * 90 - interpolate(water, r[1])[3] * r[1]);
  const double coldTakes = 0.2 * (interpolate(water, r[2])[3] * r[2] - interpolate(water, 15)[3] * 15);
  EXPECT_NEAR(hotGives, r[3], kPrinted * r[3] + 0.1 * 5e-4 * 4200 * 50);
  EXPECT_NEAR(coldTakes, r[3], kPrinted * r[3] + 0.2 * 5e-4 * 4200 * 40);
}

}  // namespace
