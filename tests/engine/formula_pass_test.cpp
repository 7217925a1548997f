#include "engine/formula_pass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "input/model_text.h"
#include "input/statement_reader.h"
#include "support/model_fixture.h"

namespace movra {
namespace {

using Rows = std::vector<std::string>;
constexpr double kPi = 3.141592653589793;

// A statement line with the record fields the editor fills for parameter statements.
struct Line {
  testing::RecordLine line;
  std::vector<int> returnValues;
  int columnCount = 0;
  int mode = 0;  // the editor's variant
};

// A function statement "keyword id" whose block is the id line and the expression
// lines; the expression lines are records of their own that stay out of the text.
void addFunction(std::vector<Line>& lines, const std::string& keyword, int type,
                 const std::string& id, const Rows& rows) {
  lines.push_back({{keyword + " " + id, type, static_cast<int>(rows.size())}});
  lines.back().line.block = id;
  for (const std::string& row : rows) lines.back().line.block += "\n" + row;
  for (const std::string& row : rows) lines.push_back({{"  " + row, 0, 0, 1}});
}

// ":u ids" with its argument line, data rows and a closing line.
void addTable(std::vector<Line>& lines, const std::vector<int>& ids, const std::string& argument,
              const Rows& rows) {
  std::string head;
  for (int id : ids) head += (head.empty() ? "" : ", ") + std::to_string(id);
  Rows body = rows;
  body.insert(body.begin(), argument);
  body.push_back("end");
  Line table{
      {":u " + head, 80, static_cast<int>(body.size())}, ids, static_cast<int>(ids.size()) + 1};
  table.line.block = head;
  for (const std::string& row : body) {
    table.line.block += "\n" + row;
    table.line.continuation.push_back("  " + row);
  }
  lines.push_back(table);
}

std::string quoted(int record, const std::string& text) {
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "$%3d  ", record);
  return prefix + text + " ";
}

class FormulaPassTest : public ::testing::Test {
 protected:
  void SetUp() override { reporter.setSink(log.sink()); }

  // Reads the lines as the simulator does and prepares a run with output step dt.
  void read(const std::vector<Line>& lines) {
    std::vector<testing::RecordLine> records;
    for (const Line& l : lines) records.push_back(l.line);
    testing::handOver(*model, records);
    for (size_t r = 0; r < lines.size(); ++r) {
      StatementRecord& record = model->records[r];
      record.returnValueCount = static_cast<int>(lines[r].returnValues.size());
      for (size_t j = 0; j < lines[r].returnValues.size(); ++j) {
        record.returnValueIds[j + 1] = lines[r].returnValues[j];
      }
      record.columnCount = lines[r].columnCount;
      record.mode = lines[r].mode;
    }
    ASSERT_EQ(numberModelText(*model, reporter, ""), 0);
    ASSERT_EQ(readStatements(*model, reporter), 0) << last();
  }
  // One call of mode 0 at step kt, entry 1 at the end of the coming step.
  int step(int kt) {
    run->kt = kt;
    model->parameters[1] = kt * dt;
    return runFormulaPass(*model, *run, reporter, kFormulaStatements);
  }
  double& entry(int id) { return model->parameters[id]; }
  std::string last() const { return log.texts.empty() ? "" : log.texts.back(); }

  // A statement without a line of its own, with its field block given.
  ParameterStatement& blockless(int kind, int target, int key, std::initializer_list<double> fields,
                                int subMode = 0) {
    const int p = ++model->count.parameterStatements;
    ParameterStatement& s = model->parameterStatements[p];
    s.typeCode = kind;
    s.statementLine = -1;
    s.id = target;
    s.returnValueIds[2] = key;
    s.returnValueIds[3] = subMode;
    s.firstPoolRow = model->parameterRowsUsed;
    s.rowCount = 10;
    model->parameterRowsUsed += 10;
    int k = 1;
    for (double value : fields) model->parameterRows[s.firstPoolRow][k++] = value;  // fields 2..
    return s;
  }

  std::unique_ptr<Model> model = makeModel();
  std::unique_ptr<movra::Run> run = [] {
    auto fresh = makeRun();
    fresh->dtOut = 0.1;
    return fresh;
  }();
  const double dt = 0.1;
  Reporter reporter;
  testing::MessageLog log;
};

// ---- step flags and random numbers ----

TEST_F(FormulaPassTest, StepFlagsMarkTheStartAndOnlyTheFirstStep) {
  const double expected[][3] = {{0, 0, 1}, {1, 1, 0}, {1, 0, 0}, {1, 0, 0}};  // entries 2, 3, 4
  for (int kt = 0; kt < 4; ++kt) {
    entry(0) = 7.0;
    for (int mode : {kFormulaStatements, kFormulaElementFields}) {
      run->kt = kt;
      ASSERT_EQ(runFormulaPass(*model, *run, reporter, mode), 0);
      EXPECT_EQ(entry(0), 0.0);
      for (int k = 0; k < 3; ++k) EXPECT_EQ(entry(2 + k), expected[kt][k]) << kt << " " << k;
    }
  }
}

// The two generators, written out independently of the engine.
struct ReferenceGenerators {
  uint64_t g = 13;
  uint64_t s = (3ull * 22695477ull + 1ull) % 4294967296ull;  // seeded, one value discarded
  double shortUniform() {
    g = (109 * g + 1021) % 32768;
    return (static_cast<double>(g) + 0.05) / 32767.1;
  }
  double libraryUniform() {
    s = (s * 22695477ull + 1ull) % 4294967296ull;
    return 2.0 * (static_cast<double>((s / 65536) % 32768) + 0.5) / 32768.0 - 1.0;
  }
};

TEST_F(FormulaPassTest, RandomEntriesFollowBothGeneratorsAndRestartAtStepZero) {
  std::vector<double> firstRun;
  for (int repeat = 0; repeat < 2; ++repeat) {
    ReferenceGenerators reference;
    for (int kt = 0; kt < 6; ++kt) {
      ASSERT_EQ(step(kt), 0);
      if (kt == 0) {
        EXPECT_EQ(entry(5), 0.0);
        EXPECT_EQ(entry(6), 0.0);
        for (int k = 0; k <= 40; ++k) EXPECT_EQ(entry(9800 + k), 0.0);
        continue;
      }
      const double u1 = reference.shortUniform();
      const double u2 = reference.shortUniform();
      const double r = std::sqrt(-2.0 * std::log(u1));
      EXPECT_NEAR(entry(5), r * std::cos(2 * kPi * u2), 1e-12);
      EXPECT_NEAR(entry(6), r * std::sin(2 * kPi * u2), 1e-12);
      for (int k = 0; k <= 40; ++k) EXPECT_DOUBLE_EQ(entry(9800 + k), reference.libraryUniform());
      if (repeat == 0) {
        firstRun.push_back(entry(5));
        firstRun.push_back(entry(9840));
      } else {
        EXPECT_EQ(entry(5), firstRun[2 * (kt - 1)]);
        EXPECT_EQ(entry(9840), firstRun[2 * (kt - 1) + 1]);
      }
    }
  }
}

// ---- function statements ----

TEST_F(FormulaPassTest, IntegratorAndDifferentiator) {
  std::vector<Line> lines;
  addFunction(lines, ":int", 93, "11", {"2*p20"});
  addFunction(lines, ":dif", 94, "12", {"p20"});
  read(lines);
  entry(11) = 3.0;  // the initial value
  double integral = 3.0;
  double previous = 0.0;
  for (int kt = 0; kt <= 5; ++kt) {
    const double v = 0.5 + 0.25 * kt * kt;
    entry(20) = v;
    ASSERT_EQ(step(kt), 0) << last();
    if (kt > 0) integral += 2 * v * dt;
    EXPECT_DOUBLE_EQ(entry(11), integral) << kt;
    EXPECT_NEAR(entry(12), kt == 0 ? 0.0 : (v - previous) / dt, 1e-12) << kt;
    EXPECT_EQ(formulaField(*model, 2, 1), v);
    previous = v;
  }
  // Divergence of the integrator stops the pass before the differentiator.
  entry(20) = 1e17;
  entry(12) = -1.0;
  EXPECT_EQ(step(6), 9);
  EXPECT_EQ(last(), " 発散？　2.000000e+16 \n\n " + quoted(0, ":int 11"));
  EXPECT_EQ(entry(12), -1.0);
}

TEST_F(FormulaPassTest, InputExpressionFailures) {
  std::vector<Line> lines;
  addFunction(lines, ":set", 90, "13", {"1/p21"});
  addFunction(lines, ":set", 90, "14", {"p21 +* 2"});
  read(lines);
  entry(21) = 4.0;
  EXPECT_EQ(step(0), 9);  // the second statement
  EXPECT_EQ(entry(13), 0.25);
  EXPECT_EQ(last(), "入力式が？.   51  p21 +* 2 \n\n " + quoted(2, ":set 14") + " ");
  entry(21) = 0.0;
  EXPECT_EQ(step(1), 9);
  EXPECT_EQ(last(), "入力式が？  ０除算？ 91  1/p21 \n\n " + quoted(0, ":set 13") + " ");
}

TEST_F(FormulaPassTest, FirstOrderLag) {
  std::vector<Line> lines;
  addFunction(lines, ":lag", 95, "11", {"p20", "0"});
  addFunction(lines, ":lag", 95, "12", {"p20", "0.3"});
  read(lines);
  // Implicit Euler from y0 = 0 under a unit step: y_n = 1 - (T/(T + dt))^n.
  const double rho = 0.3 / (0.3 + dt);
  for (int kt = 0; kt <= 8; ++kt) {
    entry(20) = kt == 0 ? 0.0 : 1.0;
    ASSERT_EQ(step(kt), 0) << last();
    EXPECT_EQ(entry(11), entry(20));
    EXPECT_NEAR(entry(12), kt == 0 ? 0.0 : 1.0 - std::pow(rho, kt), 1e-12) << kt;
  }
  std::snprintf(model->records[3].blockText, kBlockTextBytes, "12\np20\n-0.3");
  EXPECT_EQ(step(9), 9);
  EXPECT_EQ(last(), " データが？　-3.000000e-01 \n\n " + quoted(3, ":lag 12"));
}

TEST_F(FormulaPassTest, SecondOrderLagStepResponseAndGrab) {
  const double omega = 20.0;
  const double zeta = 0.2;
  std::vector<Line> lines;
  addFunction(lines, ":lag2", 96, "11", {"p20", "20", "0.2"});
  addFunction(lines, ":lag2", 96, "12", {"p20", "20", "0.2"});
  read(lines);
  // Eliminating w from the scheme, e = y - 1 under a unit step obeys
  //   a e_n = (c + 1/dt) e_{n-1} - e_{n-2}/dt,  e_0 = e_{-1} = -1 (y0 = 0, w0 = 0),
  // solved by alpha r1^n + beta r2^n with the roots of a r^2 - (c + 1/dt) r + 1/dt.
  using Complex = std::complex<double>;
  const double c = (2 * zeta * omega * dt + 1) / dt;
  const double a = dt * omega * omega + c;
  const Complex root = std::sqrt(Complex((c + 1 / dt) * (c + 1 / dt) - 4 * a / dt));
  const Complex r1 = ((c + 1 / dt) + root) / (2 * a);
  const Complex r2 = ((c + 1 / dt) - root) / (2 * a);
  const Complex beta = (-1.0 + 1.0 / r1) / (1.0 / r2 - 1.0 / r1);
  const Complex alpha = -1.0 - beta;
  for (int kt = 0; kt <= 40; ++kt) {
    entry(20) = kt == 0 ? 0.0 : 1.0;
    ASSERT_EQ(step(kt), 0) << last();
    const double closed = 1.0 + (alpha * std::pow(r1, kt) + beta * std::pow(r2, kt)).real();
    EXPECT_NEAR(entry(11), closed, 1e-9) << kt;
  }
  EXPECT_NE(std::pow(std::abs(r1), 40), 0.0);  // the response had not died out yet

  // A grab (entry -10096 = 1) puts both lags on their input at rest: the first
  // moves the flag to 2, the second to 0, and the lags then stay where they are.
  entry(20) = 5.0;
  entry(-10096) = 1.0;
  ASSERT_EQ(step(41), 0);
  EXPECT_EQ(entry(11), 5.0);
  EXPECT_EQ(entry(12), 5.0);
  EXPECT_EQ(entry(-10096), 0.0);
  ASSERT_EQ(step(42), 0);
  EXPECT_DOUBLE_EQ(entry(11), 5.0);

  std::snprintf(model->records[0].blockText, kBlockTextBytes, "11\np20\n-20\n0.2");
  EXPECT_EQ(step(43), 9);
  EXPECT_EQ(last(), " データが？　-2.000000e+01 2.000000e-01 \n\n " + quoted(0, ":lag2 11"));
}

TEST_F(FormulaPassTest, PiControllerLimitsAndAntiWindup) {
  // Lines: input, offset f2, kp f3, ki f4, bias f5, upper f6, lower f7.
  std::vector<Line> lines;
  addFunction(lines, ":pi", 81, "11", {"p20", "p21", "2", "10", "0.1", "p22", "p23"});
  read(lines);
  // Unlimited (lower not below upper): u_n = kp e + bias + ki e dt (n - 1), the
  // integral lagging one output step.
  entry(20) = 0.4;
  entry(21) = 0.1;
  const double e = 0.5;
  for (int kt = 0; kt <= 5; ++kt) {
    ASSERT_EQ(step(kt), 0) << last();
    EXPECT_NEAR(entry(11), kt == 0 ? 0.1 : 2 * e + 0.1 + 10 * e * dt * (kt - 1), 1e-12) << kt;
  }
  // Limited to [-1, 1]: a long positive error does not wind the integral up, so the
  // output leaves the upper limit at once when the error turns.
  entry(22) = 1.0;
  entry(23) = -1.0;
  entry(20) = 5.0;
  for (int kt = 0; kt <= 60; ++kt) {
    ASSERT_EQ(step(kt), 0);
    EXPECT_EQ(entry(11), kt == 0 ? 0.1 : 1.0) << kt;
  }
  entry(20) = -5.0;
  ASSERT_EQ(step(61), 0);
  EXPECT_EQ(entry(11), -1.0);
}

TEST_F(FormulaPassTest, SumWritesTheTargetAndTheEntryOfOppositeSign) {
  std::vector<Line> lines;
  addFunction(lines, ":sum", 82, "15", {"p20", "3", "1", "2", "", "4"});
  read(lines);
  entry(20) = 1.5;
  ASSERT_EQ(step(3), 0) << last();
  EXPECT_EQ(entry(15), 1.5 * 3 + 1 + 2 + 4);
  EXPECT_EQ(entry(-15), entry(15));
  entry(20) = 1e15;
  EXPECT_EQ(step(4), 9);
  EXPECT_EQ(last(), " 発散？56　15 0 0 3.000000e+15 \n\n " + quoted(0, ":sum 15"));
}

TEST_F(FormulaPassTest, FunctionTableInterpolatesBetweenRowsAndHoldsItsEnds) {
  std::vector<Line> lines;
  addTable(lines, {11, 12}, "p20 + 0", {"0 1 10", "1 3 30", "3 4 0"});
  addTable(lines, {13, 14, 9}, "p20", {"0 1 2", "2 3 4"});
  read(lines);
  const auto between = [](double x, double x0, double x1, double y0, double y1) {
    return y0 + (x - x0) / (x1 - x0) * (y1 - y0);
  };
  struct Case {
    double x, v11, v12;
  } cases[] = {{0.5, between(0.5, 0, 1, 1, 3), between(0.5, 0, 1, 10, 30)},
               {2.0, between(2, 1, 3, 3, 4), between(2, 1, 3, 30, 0)},
               {-1.0, 1, 10},
               {7.0, 4, 0},
               {1.0, 3, 30}};
  entry(9) = 77.0;
  for (const Case& c : cases) {
    entry(20) = c.x;
    ASSERT_EQ(step(1), 0) << last();
    EXPECT_DOUBLE_EQ(entry(11), c.v11) << c.x;
    EXPECT_DOUBLE_EQ(entry(12), c.v12) << c.x;
  }
  EXPECT_DOUBLE_EQ(entry(13), between(1, 0, 2, 1, 3));
  EXPECT_DOUBLE_EQ(entry(14), between(1, 0, 2, 2, 4));
  EXPECT_EQ(entry(9), 77.0);  // "no value here" is not written
}

TEST_F(FormulaPassTest, GeneratorStatements) {
  std::vector<Line> lines;
  addFunction(lines, ":sin", 83, "11", {"p1", "2", "50", "90", "0.5"});
  addFunction(lines, ":sdeg", 85, "12", {"p1", "2", "3600", "30", "0.5"});
  addFunction(lines, ":ramp", 86, "13", {"p1", "4"});
  const size_t ramp = lines.size();
  addFunction(lines, ":ramp", 86, "14", {"p1", "4", "-1"});
  lines[ramp].mode = 3;
  read(lines);
  for (int kt = 0; kt <= 3; ++kt) {
    ASSERT_EQ(step(kt), 0) << last();
    const double t = kt * dt;
    EXPECT_NEAR(entry(11), std::sqrt(2.0) * (2 * std::sin(2 * kPi * 50 * t - kPi / 2) + 0.5),
                1e-12);
    EXPECT_NEAR(entry(12), 2 * std::sin((3600 * t + 30) * kPi / 180) + 0.5, 1e-12);
    EXPECT_EQ(entry(13), 4.0);
    EXPECT_DOUBLE_EQ(entry(14), 4 * t - 1);
  }
}

TEST_F(FormulaPassTest, StatementsLeftOutOfTheTextAreSkipped) {
  std::vector<Line> lines;
  addFunction(lines, ":set", 90, "13", {"1/0"});
  addFunction(lines, ":set", 90, "14", {"2"});
  read(lines);
  model->records[0].echoFlag = 1;
  EXPECT_EQ(step(1), 0) << last();
  EXPECT_EQ(entry(14), 2.0);
}

// ---- statements without a line of their own ----

TEST_F(FormulaPassTest, BlocksReadTheirInputThroughTheKey) {
  run->unknownOfKey[51] = 4;
  run->X[4] = 0.3;
  blockless(2, 30, 51, {2.0, 5.0, 30.0, 0.5});  // sine: A, f, phi, B
  blockless(14, 31, -7, {1.5, 0.25}, 3);        // line: f2 x + f3 of entry -7
  blockless(14, 32, -7, {1.5}, 1);              // constant
  blockless(50, 33, 0, {});                     // no such kind: nothing happens
  entry(-7) = 4.0;
  entry(33) = 9.0;
  ASSERT_EQ(step(2), 0) << last();
  EXPECT_DOUBLE_EQ(entry(30),
                   std::sqrt(2.0) * (2.0 * std::sin(2 * kPi * 5 * 0.3 - 30 * kPi / 180) + 0.5));
  EXPECT_DOUBLE_EQ(entry(31), 1.5 * 4.0 + 0.25);
  EXPECT_EQ(entry(32), 1.5);
  EXPECT_EQ(entry(33), 9.0);
}

TEST_F(FormulaPassTest, InteractiveSmoothingGetsItsOwnRowsAndFollowsAGrab) {
  std::vector<Line> lines;
  addFunction(lines, ":int", 93, "11", {"1"});
  read(lines);
  const int used = model->parameterRowsUsed;
  ParameterStatement& smoothing = model->parameterStatements[++model->count.parameterStatements];
  smoothing.typeCode = 96;
  smoothing.id = -10071;
  smoothing.returnValueIds[2] = -10081;
  entry(-10081) = 0.7;
  ASSERT_EQ(step(0), 0) << last();
  EXPECT_GE(smoothing.firstPoolRow, used);
  EXPECT_EQ(smoothing.rowCount, 10);
  EXPECT_EQ(entry(-10071), 0.7);
  entry(-10081) = -0.2;
  entry(-10096) = 1.0;
  ASSERT_EQ(step(1), 0);
  EXPECT_EQ(entry(-10071), -0.2);
  EXPECT_EQ(entry(-10096), 2.0);
  EXPECT_EQ(entry(11), 0.1);  // the statement with a line still ran first
}

TEST_F(FormulaPassTest, OwnNoiseGeneratorAdvancesAndRepeatsPerRun) {
  blockless(10, 30, 0, {0.0, 1.0, 5.0});  // offset, amplitude, seed
  std::vector<double> first;
  for (int repeat = 0; repeat < 2; ++repeat) {
    for (int kt = 0; kt < 5; ++kt) {
      ASSERT_EQ(step(kt), 0);
      EXPECT_LT(std::fabs(entry(30)), 1.0);
      if (repeat == 0) {
        first.push_back(entry(30));
      } else {
        EXPECT_EQ(entry(30), first[kt]);
      }
    }
  }
  EXPECT_NE(first[1], first[2]);  // not reseeded at every call
}

TEST_F(FormulaPassTest, OpenKindsReportTheirDataAndDivergence) {
  blockless(6, 30, -7, {1, 2, 3, 4, 5, 6, 7, 8});
  entry(-7) = 3.5;
  ASSERT_EQ(step(1), 0);
  EXPECT_EQ(entry(30), 3.0);  // x = 3 selects field 4
  entry(-7) = 9.0;
  EXPECT_EQ(step(2), 9);
  EXPECT_EQ(last(), " データが？　9.000000e+00 1.000000e+00 8.000000e+00 \n\n ");

  resetModel(*model);
  blockless(3, 31, -7, {0.0, 0.0, 0.0, 1.0}, 2);  // x^3
  entry(-7) = 2e5;
  EXPECT_EQ(step(1), 9);
  EXPECT_EQ(last(), " 発散？53　31 -7 2 8.000000e+15 \n\n ");
}

// ---- element fields ----

class FormulaElementFieldsTest : public FormulaPassTest {
 protected:
  // Element e read from record r with the given field texts.
  ElementEntry& element(int e, int r, int type, const char* text, const Rows& fields) {
    StatementRecord& record = model->records[r];
    clearRecord(record);
    record.typeCode = type;
    for (size_t k = 0; k < fields.size(); ++k) {
      std::snprintf(record.fieldText[k + 1], kFieldTextBytes, "%s", fields[k].c_str());
    }
    ElementEntry& entry = model->elements[e];
    entry.statementLine = r;
    entry.typeCode = type;
    entry.groupFirst = entry.groupLast = e;
    std::snprintf(entry.text, sizeof entry.text, "%s", text);
    if (model->count.elements < e) model->count.elements = e;
    return entry;
  }
  int fields(int kt = 1) {
    run->kt = kt;
    return runFormulaPass(*model, *run, reporter, kFormulaElementFields);
  }
};

TEST_F(FormulaElementFieldsTest, ExpressionsReachRealSlotsAndTheValueBlock) {
  run->unknownOfKey[11] = 3;
  run->X[3] = 0.25;
  // A lone reference is a value like any other; only a table id names a statement.
  ElementEntry& e = element(1, 0, 11, "b 1p", {"p12*2", "x1.1 + 1", "", "p200", "99", "7"});
  e.realSlots[3] = 5.0;
  entry(200) = 6.0;
  ElementEntry& wall = element(2, 1, 43, "Hc 1 2", {"p500", "3"});
  wall.tableId = 500;
  wall.realSlots[1] = 500.0;
  entry(500) = 42.0;
  entry(12) = 1.5;
  entry(-9950) = 1.0;
  ASSERT_EQ(fields(), 0) << last();
  EXPECT_EQ(e.realSlots[1], 3.0);
  EXPECT_EQ(e.realSlots[2], 1.25);
  EXPECT_EQ(e.realSlots[3], 5.0);
  EXPECT_EQ(e.realSlots[4], 6.0);
  EXPECT_EQ(e.realSlots[5], 99.0);
  EXPECT_EQ(e.realSlots[6], 7.0);
  EXPECT_EQ(wall.realSlots[1], 500.0);
  EXPECT_EQ(wall.realSlots[2], 3.0);
  EXPECT_EQ(model->records[0].valueBlock[1], 3.0);
  EXPECT_EQ(model->records[0].valueBlock[2], 1.25);
  EXPECT_EQ(e.given[2], 1);
  EXPECT_EQ(entry(-9950), 0.0);

  run->X[3] = -1.0;  // the next attempt sees the new iterate
  ASSERT_EQ(fields(), 0);
  EXPECT_EQ(e.realSlots[2], 0.0);
}

TEST_F(FormulaElementFieldsTest, SwitchHistoryAndLeftOutRecordsAreKept) {
  ElementEntry& sw = element(1, 0, 27, "Sw 1 0", {"1", "0", "0", "1", "0", "p12", "0", "3", "4"});
  ElementEntry& off = element(2, 1, 23, "R 2 0", {"5"});
  model->records[1].echoFlag = 1;
  sw.realSlots[9] = 0.125;  // time of the last switching request
  entry(12) = 2.5;
  ASSERT_EQ(fields(), 0);
  EXPECT_EQ(sw.realSlots[6], 2.5);
  EXPECT_EQ(sw.realSlots[8], 0.0);
  EXPECT_EQ(sw.realSlots[9], 0.125);
  EXPECT_EQ(off.realSlots[1], 0.0);
}

TEST_F(FormulaElementFieldsTest, ExpandedGroupsShareTheFirstFiveSlots) {
  ElementEntry& head = element(1, 0, 14, "pu 1 2", {"1", "2", "3", "4", "p12", "6"});
  for (int e = 2; e <= 3; ++e) {
    model->elements[e].statementLine = -1;
    model->elements[e].realSlots[6] = -1.0;
  }
  head.groupLast = 3;
  model->count.elements = 3;
  entry(12) = 3.0;
  ASSERT_EQ(fields(), 0);
  for (int e = 2; e <= 3; ++e) {
    for (int k = 1; k <= 5; ++k) EXPECT_EQ(model->elements[e].realSlots[k], k == 5 ? 3.0 : k);
    EXPECT_EQ(model->elements[e].realSlots[6], -1.0);
  }
}

TEST_F(FormulaElementFieldsTest, AFailingFieldStopsThePass) {
  ElementEntry& e = element(1, 0, 21, "V 1 0", {"1", "1/p13"});
  element(2, 1, 21, "V 2 0", {"4"});
  EXPECT_EQ(fields(), 9);
  EXPECT_EQ(last(), " データ式が？_  2  \n\n V 1 0 ");
  EXPECT_EQ(e.realSlots[1], 1.0);
  EXPECT_EQ(model->elements[2].realSlots[1], 0.0);
}

}  // namespace
}  // namespace movra
