#include "input/expression.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

namespace movra {
namespace {

constexpr double kPi = 3.141592653589793;

const int kContext = 0;

// Node quantities read as slot + 0.25, except slot 50 which holds an angle of pi; a
// lost context reads as NaN.
double slotValue(const void* context, int slot) {
  if (context != &kContext) return std::nan("");
  return slot == 50 ? kPi : slot + 0.25;
}

class ExpressionTest : public ::testing::Test {
 protected:
  ExpressionTest() {
    store_[12] = 7.5;
    store_[3] = -2.0;
    store_[7] = std::nan("");
    sources_.parameters = &store_;
    sources_.slotValue = &slotValue;
    sources_.context = &kContext;
  }
  int eval(const char* text) { return evaluateExpression(text, sources_, result_); }

  ParameterStore store_;
  ValueSources sources_;
  EvaluationResult result_;
};

TEST_F(ExpressionTest, ArithmeticAndUnits) {
  const struct {
    const char* text;
    double value;
  } cases[] = {
      {"-2 ^ 2", -std::pow(2.0, 2.0)},  // the sign binds looser than ^
      {"-2+3", 1.0},
      {"2^3^2", std::pow(std::pow(2.0, 3.0), 2.0)},
      {"8/2/2", (8.0 / 2.0) / 2.0},
      {"8-2-2", (8.0 - 2.0) - 2.0},
      {"2+3*4", 2.0 + 3.0 * 4.0},
      {"(2+3)*4", (2.0 + 3.0) * 4.0},
      {"2*(-3)", 2.0 * -3.0},
      {"+3", 3.0},
      {"-(-2)", 2.0},
      {"(-2)^3", -8.0},
      {"2^0.5", std::sqrt(2.0)},
      {"10k", 10e3},
      {"4.7u", 4.7e-6},
      {"2p", 2e-12},
      {"1M+3G", 1e6 + 3e9},
      {"5m*7n", 5e-3 * 7e-9},
      {"10k*2", 10e3 * 2.0},
      {".5 + 5.", 0.5 + 5.0},
      {"1.5E-2", 1.5e-2},
      {"\t1\r\n+\n 2 ", 3.0},
      {"pow(2,3)", 8.0},
      {"pow  (2, 1+2)^2", 64.0},
      {"sin(pi/2)", 1.0},
      {"sin (0) + pi", kPi},
      {"1e-400", 0.0},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(eval(c.text), 0) << c.text;
    EXPECT_DOUBLE_EQ(result_.value, c.value) << c.text;
  }
  // Too large to hold: refused, not handed on as an infinity.
  EXPECT_EQ(eval("1e400"), kNotFiniteResult);
}

TEST_F(ExpressionTest, EveryFailureStatus) {
  const struct {
    const char* text;
    int status;
  } cases[] = {
      {"1~2", 10},         {"sin 1", 11},
      {"sin x (1)", 12},   {"pow 2,3", 13},
      {"pow x (2,3)", 14}, {"pow(2)", 15},
      {"1 2", 21},         {"(1) (2)", 21},
      {"x1 .5", 21},       {"1e +5", 22},
      {"1e+ 5", 23},       {"1,2", 30},
      {"1\v2", 30},        {"\xe3\x81\x82", 30},
      {"3\x82\xa0", 30},   {"1meg", 41},
      {"x", 41},           {"x1.2.3", 41},
      {"1+.", 44},         {"x5.12", 45},
      {"x100.1", 45},      {"p10000", 46},
      {"p1.05", 46},       {"p1e999", 46},
      {"x5.5", 47},        {"x5.8", 47},
      {"1.2.3", 49},       {"1e5e3", 49},
      {"2sin(1)", 50},     {"(1)sin(2)", 50},
      {"2*-3", 51},        {"2^-1", 51},
      {"--1", 51},         {")", 52},
      {"(1))", 52},        {"()", 53},
      {"2*", 53},          {"(1)(2)", 53},
      {"(*2)", 53},        {"(1", 54},
      {"((1)", 54},        {"1/0", 91},
      {"1/(2-2)", 91},     {"(-8)^(1/3)", 92},
      {"0^0", 92},         {"0^(-1)", 92},
      {"0 * pow(10, 400)", 93}, {"pow(10,400) - pow(10,400)", 93},
      {"p7 + 1", 93},  // p7 holds a NaN
      {"sin x(0)", 41},  // the character right before "(" is not checked
  };
  for (const auto& c : cases) EXPECT_EQ(eval(c.text), c.status) << c.text;
}

TEST_F(ExpressionTest, HexadecimalIsNotANumber) {
  // The x starts a reference, so this is the number 0 next to parameter 10.
  EXPECT_EQ(eval("0x10"), 53);
  EXPECT_EQ(result_.operandCount, 2);
  EXPECT_EQ(result_.parameterId, 10);
}

TEST_F(ExpressionTest, ReferencesFillTheResult) {
  const struct {
    const char* text;
    int parameterId, slot, referenceId, digit;
  } cases[] = {
      {"p12", 12, -1, 12, 0},    {"p12.0", 12, -1, 12, 0},     {"par12", 12, -1, 12, 0},
      {"_12", 12, -1, 12, 0},    {"x5.3", -1, 50, 5, 3},       {"x5.9", -1, 1005, 5, 9},
      {"x12.1", -1, 121, 12, 1}, {"node12.2", -1, 122, 12, 2}, {"x0.9", -1, 1000, 0, 9},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(eval(c.text), 0) << c.text;
    EXPECT_EQ(result_.operandCount, 1) << c.text;
    EXPECT_EQ(result_.parameterId, c.parameterId) << c.text;
    EXPECT_EQ(result_.variableSlot, c.slot) << c.text;
    EXPECT_EQ(result_.referenceId, c.referenceId) << c.text;
    EXPECT_EQ(result_.componentDigit, c.digit) << c.text;
    const double expected = c.slot < 0 ? store_.get(c.parameterId) : slotValue(&kContext, c.slot);
    EXPECT_DOUBLE_EQ(result_.value, expected) << c.text;
  }
}

TEST_F(ExpressionTest, AngleInDegreesAndMissingSources) {
  ASSERT_EQ(eval("a5.4"), 0);
  EXPECT_DOUBLE_EQ(result_.value, 180.0);
  EXPECT_EQ(result_.variableSlot, 50);

  ValueSources none;
  EXPECT_EQ(evaluateExpression("p12 + x5.1 + 1", none, result_), 0);
  EXPECT_EQ(result_.value, 1.0);
}

TEST_F(ExpressionTest, CompoundAndPlainExpressions) {
  ASSERT_EQ(eval("p3 * x2.1 + 4"), 0);
  EXPECT_EQ(result_.operandCount, 3);
  EXPECT_EQ(result_.parameterId, 3);
  EXPECT_EQ(result_.variableSlot, 21);
  EXPECT_EQ(result_.referenceId, 2);
  EXPECT_EQ(result_.componentDigit, 1);
  EXPECT_DOUBLE_EQ(result_.value, store_.get(3) * slotValue(&kContext, 21) + 4.0);

  // A plain constant leaves no ids, also after a reference was read before.
  ASSERT_EQ(eval("42"), 0);
  EXPECT_EQ(result_.operandCount, 1);
  EXPECT_EQ(result_.parameterId, -1);
  EXPECT_EQ(result_.variableSlot, -1);
  EXPECT_EQ(result_.referenceId, -1);
  EXPECT_EQ(result_.componentDigit, -1);

  for (const char* blank : {"", "   ", "\t\r\n"}) {
    ASSERT_EQ(eval(blank), 0);
    EXPECT_EQ(result_.operandCount, 0);
    EXPECT_EQ(result_.value, 0.0);
  }
  EXPECT_EQ(eval(nullptr), 0);
}

TEST_F(ExpressionTest, NumbersIgnoreTheProcessLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous != nullptr ? previous : "C";
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no de_DE locale";
  const int status = eval("3.5");
  std::setlocale(LC_NUMERIC, saved.c_str());
  ASSERT_EQ(status, 0);
  EXPECT_EQ(result_.value, 3.5);
}

// Run these under the sanitizer build: they must neither read past the 256 characters
// nor overflow an expansion.
TEST_F(ExpressionTest, LongInputsStayInBounds) {
  std::string sum;
  for (int i = 0; i < 127; ++i) sum += "1+";
  sum += "1 ~~~~";  // the ~ lies beyond the characters looked at
  sum.resize(300, '~');
  ASSERT_EQ(eval(sum.c_str()), 0);
  EXPECT_EQ(result_.value, 128.0);

  // Exactly kExpressionChars characters with no terminator behind them.
  const auto unterminated = [&](const std::string& pattern) {
    auto text = std::make_unique<char[]>(kExpressionChars);
    for (int i = 0; i < kExpressionChars; ++i) text[i] = pattern[i % pattern.size()];
    return eval(text.get());
  };
  EXPECT_EQ(unterminated("pi"), 21);  // "pipi..." gives adjacent numbers
  EXPECT_EQ(unterminated("1p"), 53);
  EXPECT_EQ(unterminated("("), 54);
  EXPECT_EQ(unterminated(".p"), 44);
  EXPECT_EQ(unterminated("_"), 30);  // only the first 100 underscores become letters
  EXPECT_EQ(unterminated("pow(pi,"), 15);
  ASSERT_EQ(unterminated("1k+"), 0);
  EXPECT_EQ(result_.value, 85 * 1e3 + 1);

  std::string pis;
  for (int i = 0; i < 85; ++i) pis += "pi+";
  ASSERT_EQ(eval((pis + "0").c_str()), 0);
  EXPECT_NEAR(result_.value, 85 * kPi, 1e-9);

  const std::string underscores(100, '_');
  EXPECT_EQ(eval(("x" + underscores + "1").c_str()), 0);
  EXPECT_EQ(eval(("x" + underscores + "_1").c_str()), 30);
}

// A text read once and evaluated later gives what evaluating the text gives: the
// same status, references, operand count and value bits, also after the values it
// refers to change, and for every failure.
TEST_F(ExpressionTest, CompiledTextsEvaluateExactlyAsTheText) {
  const char* texts[] = {
      "5 * p2", "1k", "  ", "", "-(3)", "p12*2", "x1.1 + 1", "x5.4 * 2", "x50.4", "x7.9 - x7.1 ",
      "sin(p12) * pow(p3, 3) / 7", "pow(2, 3) * 1k", "2^3^2", "p12^0.5", "p3^0.5", "1/p13",
      "1/(p12-p12)", "0^p3", "pi*p12", "p200", "1e-12 + 3u", "((p12))", "-p3*-1", "1 2",
      "x5.5", "p10000", "2*", "(1", "1/0", "(-8)^(1/3)", "0x10", "3.25e+2 / x12.2"};
  std::string sum;
  for (int i = 0; i < 127; ++i) sum += "p12+";
  sum += "1";
  for (int round = 0; round < 3; ++round) {
    store_[12] = round == 0 ? 7.5 : (round == 1 ? 0.1 : -1e-300);
    store_[3] = round == 2 ? 0.0 : -2.0 - round;
    store_[2] = round;
    for (int i = 0; i <= static_cast<int>(std::size(texts)); ++i) {
      const char* text = i < static_cast<int>(std::size(texts)) ? texts[i] : sum.c_str();
      CompiledExpression compiled;
      compileExpression(text, compiled);
      EvaluationResult direct;
      EvaluationResult fromCompiled;
      const int expected = evaluateExpression(text, sources_, direct);
      EXPECT_EQ(evaluateCompiled(compiled, sources_, fromCompiled), expected) << text;
      EXPECT_EQ(std::memcmp(&direct.value, &fromCompiled.value, sizeof(double)), 0)
          << text << ": " << direct.value << " vs " << fromCompiled.value;
      EXPECT_EQ(fromCompiled.operandCount, direct.operandCount) << text;
      EXPECT_EQ(fromCompiled.parameterId, direct.parameterId) << text;
      EXPECT_EQ(fromCompiled.variableSlot, direct.variableSlot) << text;
      EXPECT_EQ(fromCompiled.referenceId, direct.referenceId) << text;
      EXPECT_EQ(fromCompiled.componentDigit, direct.componentDigit) << text;
    }
  }
  // A constant is reduced once: its result no longer depends on any source.
  CompiledExpression constant;
  compileExpression("pow(2, 3) * 1k", constant);
  EXPECT_TRUE(constant.constant);
  EvaluationResult result;
  EXPECT_EQ(evaluateCompiled(constant, ValueSources{}, result), 0);
  EXPECT_EQ(result.value, 8000.0);
  CompiledExpression reference;
  compileExpression("5 * p2", reference);
  EXPECT_FALSE(reference.constant);
}

TEST(ExpandUnitLettersTest, ExpandsAndStopsSafely) {
  char out[5 * kExpressionChars + 1];
  expandUnitLetters("10k 4.7u, kMGmunp", out, sizeof out);
  EXPECT_STREQ(out, "10e3  4.7e-6 , e3 e6 e9 e-3 e-6 e-9 e-12 ");

  // A piece that does not fit is left out whole; the text stays terminated.
  char small[8];
  expandUnitLetters("1p2", small, sizeof small);
  EXPECT_STREQ(small, "1e-12 2");
  expandUnitLetters("12p", small, 6);
  EXPECT_STREQ(small, "12");

  const std::string many(300, 'p');
  expandUnitLetters(many.c_str(), out, sizeof out);
  EXPECT_EQ(std::strlen(out), 5u * kExpressionChars);
}

}  // namespace
}  // namespace movra
