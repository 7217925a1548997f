// Circuits checked against numbers nobody here wrote: ngspice's transient analysis
// of the same circuit, and the closed form where there is one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kData = std::string(MOVRA_SOURCE_DIR) + "/tests/data/validation/";

struct Sample {
  double t;
  double v;
};

std::vector<std::vector<double>> readColumns(const std::string& path) {
  std::vector<std::vector<double>> rows;
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) {
    std::istringstream fields(line);
    std::vector<double> row;
    double value = 0;
    while (fields >> value) row.push_back(value);
    if (!row.empty()) rows.push_back(row);
  }
  return rows;
}

// Runs the model through movra-note; returns out.txt's rows.
std::vector<std::vector<double>> simulate(const std::string& model, const std::string& directory) {
  const std::string command = "MOVRA_SHM_TAG=validation-" + std::to_string(getpid()) +
                              " MOVRA_OUTPUT_DIR=" + directory + " " + MOVRA_BINARY_DIR +
                              "/bin/movra-note run " + kData + model + " > " + directory + "/log.txt 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return readColumns(directory + "/out.txt");
}

// Runs ngspice in batch mode on a netlist whose "@OUT@" names the data file.
std::vector<Sample> ngspice(const std::string& netlist, const std::string& directory) {
  std::ifstream in(kData + netlist);
  std::stringstream text;
  text << in.rdbuf();
  std::string circuit = text.str();
  const std::string data = directory + "/ngspice.txt";
  circuit.replace(circuit.find("@OUT@"), 5, data);
  const std::string path = directory + "/circuit.cir";
  std::ofstream(path) << circuit;
  const std::string command = "ngspice -b " + path + " > " + directory + "/ngspice.log 2>&1";
  // ngspice's exit code says nothing useful in batch mode; its data file does.
  std::system(command.c_str());
  std::vector<Sample> samples;
  for (const auto& row : readColumns(data)) samples.push_back({row[0], row[1]});
  EXPECT_FALSE(samples.empty()) << "no ngspice data: is ngspice installed (scripts/debian-packages.txt)?";
  return samples;
}

double interpolate(const std::vector<Sample>& samples, double t) {
  size_t i = 1;
  while (i + 1 < samples.size() && samples[i].t < t) ++i;
  const Sample& a = samples[i - 1];
  const Sample& b = samples[i];
  if (b.t <= a.t) return a.v;
  return a.v + (b.v - a.v) * (t - a.t) / (b.t - a.t);
}

std::string scratchDirectory(const char* name) {
  std::string directory = ::testing::TempDir() + name + std::to_string(getpid());
  std::system(("mkdir -p " + directory).c_str());
  return directory;
}

TEST(CircuitValidation, RcStepFollowsNgspiceAndTheClosedForm) {
  const std::string directory = scratchDirectory("rc_step_");
  const auto rows = simulate("../../../examples/rc_circuit.model", directory);
  ASSERT_EQ(rows.size(), 501u);
  const auto reference = ngspice("rc_step.cir", directory);
  ASSERT_GT(reference.size(), 100u);
  double worst = 0;
  for (const auto& row : rows) {
    // Columns: time, node 1, node 2 (the capacitor).
    worst = std::fmax(worst, std::fabs(row[2] - interpolate(reference, row[0])));
  }
  // The second-order method at 10 us steps against a 1 ms time constant; the
  // printed values carry four digits, 0.5 mV at 5 V.
  EXPECT_LT(worst, 2e-3);
  // One time constant after the switch: 5 (1 - 1/e).
  EXPECT_NEAR(rows[100][2], 5 * (1 - std::exp(-1.0)), 5e-3);
}

TEST(CircuitValidation, UnderdampedRlcRingsLikeNgspice) {
  const std::string directory = scratchDirectory("rlc_step_");
  const auto rows = simulate("rlc_step.model", directory);
  ASSERT_EQ(rows.size(), 2001u);
  const auto reference = ngspice("rlc_step.cir", directory);
  double worst = 0;
  for (const auto& row : rows) worst = std::fmax(worst, std::fabs(row[1] - interpolate(reference, row[0])));
  // Ten periods at 200 steps per period: the second-order method's phase and
  // damping error stays within a few hundredths of the 1 V step.
  EXPECT_LT(worst, 0.03);
  // First overshoot: exp(-zeta pi / sqrt(1 - zeta^2)) with zeta = 0.158.
  const double zeta = 10.0 / 2 * std::sqrt(1e-6 / 1e-3);
  double peak = 0;
  for (const auto& row : rows) peak = std::fmax(peak, row[1]);
  EXPECT_NEAR(peak, 1 + std::exp(-zeta * M_PI / std::sqrt(1 - zeta * zeta)), 5e-3);
}

}  // namespace
