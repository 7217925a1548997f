// Field expression evaluation in three stages: rewrite the text (pi, "_", sin, pow,
// blanks), re-space it into tokens and scan them into an operand list, then reduce
// with an operator-precedence stack.
//
// Grammar after rewriting (blanks separate tokens):
//   operand   := number [unit] | letter number      (the number is decimal only)
//   unit      := k M G m u n p                      (e3 e6 e9 e-3 e-6 e-9 e-12)
//   operators := ( ~ ^ * / + - )
// Precedence, higher binds tighter, bottom of the stack -1:
//   (  30   ~ (sine)  20   ^  15   * /  10   + - and signs  1   )  0
// All binary operators are left-associative, ^ included (2^3^2 is 64), and a sign
// binds looser than ^ (-2^2 is -4). A sign is only accepted at the start or after
// "(", since two operators of precedence 1..19 in a row are refused.

#include "input/expression.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

namespace movra {
namespace {

constexpr int kOk = 0;
constexpr int kTildeInText = 10;
constexpr int kSinWithoutParenthesis = 11;
constexpr int kSinNotBlank = 12;
constexpr int kPowWithoutParenthesis = 13;
constexpr int kPowNotBlank = 14;
constexpr int kPowWithoutComma = 15;
constexpr int kOperandsWithoutOperator = 21;
constexpr int kBlankAfterExponentLetter = 22;
constexpr int kBlankAfterExponentSign = 23;
constexpr int kBadCharacter = 30;
constexpr int kReferenceNotLetterAndNumber = 41;
constexpr int kReferenceWithoutLetter = 44;
constexpr int kComponentReferenceRange = 45;
constexpr int kParameterReferenceRange = 46;
constexpr int kUnknownComponentDigit = 47;
constexpr int kNegativeReference = 48;
constexpr int kNumberWithText = 49;
constexpr int kSineAfterOperand = 50;
constexpr int kOperatorsInRow = 51;
constexpr int kUnmatchedClose = 52;
constexpr int kNotOneValue = 53;
constexpr int kUnmatchedOpen = 54;
constexpr int kDivisionByZero = 91;
constexpr int kBadPower = 92;

constexpr int kSubstitutionLimit = 100;  // per rewriting loop
constexpr char kPiText[] = " 3.14159265358979323846 ";
constexpr int kPiTextLength = static_cast<int>(sizeof(kPiText)) - 1;
constexpr double kDegreesPerRadian = 180.0 / 3.141592653589793;

// Only the pi substitution lengthens the text (2 -> 24 characters, at most
// kSubstitutionLimit times); sin, pow and "_" are rewritten in place.
constexpr int kRewriteBytes = kExpressionChars + kSubstitutionLimit * (kPiTextLength - 2) + 1;
// Re-spacing writes at most three characters per character on average: an operator gets
// a blank on each side, a letter one, and the longest unit text ("e-12 ", five) always
// follows a digit or "." that is copied as one character.
constexpr int kSpacedBytes = 3 * (kRewriteBytes - 1) + 1;
// Every token comes from its own characters among those looked at (a whole pi text
// counts as the two letters it replaced), so neither stack can grow past this.
// Pushes are checked anyway.
constexpr int kStackDepth = kExpressionChars + 1;

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
// The C locale's letters, whatever locale the process has switched to; bytes of
// double-byte characters are never letters.
bool isLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isOperator(char c) {
  return c != '\0' && std::strchr("+-*/^~()", c) != nullptr;
}

// The exponent text that replaces a unit letter, nullptr for other characters.
const char* unitExponent(char c) {
  static constexpr struct {
    char letter;
    const char* exponent;
  } kUnits[] = {{'k', "e3"},  {'M', "e6"},  {'G', "e9"},  {'m', "e-3"},
                {'u', "e-6"}, {'n', "e-9"}, {'p', "e-12"}};
  for (const auto& unit : kUnits) {
    if (unit.letter == c) return unit.exponent;
  }
  return nullptr;
}

// Appends into a fixed buffer, always leaving room for the terminator.
struct Writer {
  char* out;
  int size;
  int length = 0;
  bool overflow = false;

  bool fits(int count) const { return length + count < size; }
  void put(char c) {
    if (fits(1)) {
      out[length++] = c;
    } else {
      overflow = true;
    }
  }
  void put(const char* text) {
    while (*text != '\0') put(*text++);
  }
  void terminate() { out[length] = '\0'; }
};

struct RewriteText {
  char chars[kRewriteBytes];
  int length = 0;
};

int find(const RewriteText& text, const char* needle, int from) {
  const int needleLength = static_cast<int>(std::strlen(needle));
  for (int i = from; i + needleLength <= text.length; ++i) {
    if (std::memcmp(text.chars + i, needle, needleLength) == 0) return i;
  }
  return -1;
}

int findChar(const RewriteText& text, char c, int from) {
  for (int i = from; i < text.length; ++i) {
    if (text.chars[i] == c) return i;
  }
  return -1;
}

bool replace(RewriteText& text, int at, int oldLength, const char* with, int newLength) {
  const int grown = text.length - oldLength + newLength;
  if (grown >= kRewriteBytes) return false;
  std::memmove(text.chars + at + newLength, text.chars + at + oldLength,
               text.length - at - oldLength);
  std::memcpy(text.chars + at, with, newLength);
  text.length = grown;
  text.chars[grown] = '\0';
  return true;
}

// A call name at `name` (three letters) must be followed by "(". Between them only
// blanks may stand, except that the character right before "(" is not looked at.
int findCallParenthesis(const RewriteText& text, int name, int missing, int notBlank, int& open) {
  open = findChar(text, '(', name + 3);
  if (open < 0) return missing;
  for (int i = name + 3; i < open - 1; ++i) {
    if (!isBlank(text.chars[i])) return notBlank;
  }
  return kOk;
}

int rewriteSin(RewriteText& text) {
  for (int n = 0; n < kSubstitutionLimit; ++n) {
    const int name = find(text, "sin", 0);
    if (name < 0) break;
    int open = 0;
    const int status = findCallParenthesis(text, name, kSinWithoutParenthesis, kSinNotBlank, open);
    if (status != kOk) return status;
    std::memcpy(text.chars + name, " ~ ", 3);
  }
  return kOk;
}

// pow(a,b) becomes " (a)^(b)" in place: a moves two places left, "(" goes before it,
// ")^(" takes the two freed places and the comma, the rest of the name turns blank.
int rewritePow(RewriteText& text) {
  for (int n = 0; n < kSubstitutionLimit; ++n) {
    const int name = find(text, "pow", 0);
    if (name < 0) break;
    int open = 0;
    const int status = findCallParenthesis(text, name, kPowWithoutParenthesis, kPowNotBlank, open);
    if (status != kOk) return status;
    const int comma = findChar(text, ',', open + 1);
    if (comma < 0) return kPowWithoutComma;
    char* chars = text.chars;
    std::memmove(chars + open - 1, chars + open + 1, comma - open - 1);
    chars[open - 2] = '(';
    for (int i = name; i < open - 2; ++i) chars[i] = ' ';
    std::memcpy(chars + comma - 2, ")^(", 3);
  }
  return kOk;
}

void collapseBlanks(RewriteText& text) {
  int length = 0;
  for (int i = 0; i < text.length; ++i) {
    const char c = text.chars[i];
    if (!isBlank(c)) {
      text.chars[length++] = c;
    } else if (length == 0 || text.chars[length - 1] != ' ') {
      text.chars[length++] = ' ';
    }
  }
  text.length = length;
  text.chars[length] = '\0';
}

int checkSpaces(const RewriteText& text) {
  const char* chars = text.chars;
  for (int i = 0; i < text.length; ++i) {
    if (chars[i] != ' ') continue;
    const char before = i > 0 ? chars[i - 1] : '\0';
    const char after = i + 1 < text.length ? chars[i + 1] : '\0';
    const bool endsOperand = before == ')' || before == '.' || isDigit(before) || isLetter(before);
    const bool startsOperand = after == '(' || after == '.' || isDigit(after) || isLetter(after);
    if (endsOperand && startsOperand) return kOperandsWithoutOperator;
    if (before == 'e' || before == 'E') return kBlankAfterExponentLetter;
    if ((before == '+' || before == '-') && i >= 2 && isLetter(chars[i - 2])) {
      return kBlankAfterExponentSign;
    }
  }
  return kOk;
}

int rewrite(RewriteText& text) {
  if (findChar(text, '~', 0) >= 0) return kTildeInText;

  int from = 0;
  for (int n = 0; n < kSubstitutionLimit; ++n) {
    const int at = find(text, "pi", from);
    if (at < 0 || !replace(text, at, 2, kPiText, kPiTextLength)) break;
    from = at + kPiTextLength;  // the inserted text holds no letters
  }
  from = 0;
  for (int n = 0; n < kSubstitutionLimit; ++n) {
    const int at = findChar(text, '_', from);
    if (at < 0) break;
    text.chars[at] = 'Z';
    from = at + 1;
  }
  int status = rewriteSin(text);
  if (status != kOk) return status;
  status = rewritePow(text);
  if (status != kOk) return status;
  collapseBlanks(text);
  return checkSpaces(text);
}

// Splits the rewritten text into blank-separated tokens; see the grammar above.
int respace(const RewriteText& text, Writer& out) {
  const char* chars = text.chars;
  const int length = text.length;
  for (int i = 0; i < length; ++i) {
    const char c = chars[i];
    const char before = i > 0 ? chars[i - 1] : '\0';
    const char after = i + 1 < length ? chars[i + 1] : '\0';
    const bool afterNumber = isDigit(before) || before == '.';
    const char* unit = afterNumber && !isLetter(after) ? unitExponent(c) : nullptr;
    if (unit != nullptr) {
      out.put(unit);
      out.put(' ');
    } else if ((c == 'e' || c == 'E') && afterNumber) {
      out.put(c);  // the exponent sign (or whatever follows) stays with it
      if (i + 1 < length) out.put(chars[++i]);
    } else if (isDigit(c) || c == '.') {
      out.put(c);
    } else if (isOperator(c)) {
      out.put(' ');
      out.put(c);
      out.put(' ');
    } else if (isLetter(c) || c == ' ') {
      if (isLetter(before)) continue;  // only the first letter of a word is kept
      if (c != ' ') out.put(' ');
      out.put(c);
    } else {
      return kBadCharacter;
    }
  }
  // Unreachable with kSpacedBytes; refuse rather than evaluate a cut text.
  return out.overflow ? kNotOneValue : kOk;
}

// from_chars leaves the value alone when it is out of range; like strtod we want
// HUGE_VAL for an overflow and 0 for an underflow. Decides which from the position of
// the first significant digit and the exponent.
bool overflows(const char* begin, const char* end) {
  long magnitude = 0;
  bool significant = false;
  bool point = false;
  const char* p = begin;
  for (; p < end && *p != 'e' && *p != 'E'; ++p) {
    if (*p == '.') {
      point = true;
    } else if (!significant && *p == '0') {
      if (point) --magnitude;
    } else {
      significant = true;
      if (!point) ++magnitude;
    }
  }
  long exponent = 0;
  bool negative = false;
  if (p < end) ++p;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  for (; p < end; ++p) {
    if (exponent < 1000000) exponent = exponent * 10 + (*p - '0');
  }
  return magnitude + (negative ? -exponent : exponent) > 0;
}

// Reads the longest decimal number at the start of [begin, end) and returns where it
// stops (begin if there is none). Unlike strtod this takes no "inf", "nan" or hex
// forms and always uses "." whatever the process locale says.
const char* readNumber(const char* begin, const char* end, bool allowSign, double& value) {
  const char* p = begin;
  bool negative = false;
  if (allowSign && p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  const char* mantissa = p;
  int digits = 0;
  for (; p < end && isDigit(*p); ++p) ++digits;
  if (p < end && *p == '.') {
    for (++p; p < end && isDigit(*p); ++p) ++digits;
  }
  if (digits == 0) return begin;
  if (p < end && (*p == 'e' || *p == 'E')) {
    const char* q = p + 1;
    if (q < end && (*q == '+' || *q == '-')) ++q;
    if (q < end && isDigit(*q)) {
      while (q < end && isDigit(*q)) ++q;
      p = q;
    }
  }
  const auto [stop, error] = std::from_chars(mantissa, p, value, std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    value = overflows(mantissa, p) ? HUGE_VAL : 0.0;
  } else if (error != std::errc() || stop != p) {
    return begin;
  }
  if (negative) value = -value;
  return p;
}

// A letter followed by one number d; v = floor(10 d) splits into the id v / 10 and the
// component digit v % 10.
int readReference(const char* begin, const char* end, const ValueSources& sources,
                  EvaluationResult& result, double& value, CompiledOperand& read) {
  if (!isLetter(*begin)) return kReferenceWithoutLetter;
  double d = 0.0;
  const char* stop = readNumber(begin + 1, end, true, d);
  if (stop == begin + 1 || stop != end) return kReferenceNotLetterAndNumber;
  if (d < 0.0) return kNegativeReference;  // re-spacing never glues a sign to a letter

  // Kept in doubles until the range checks: a huge d must not reach an int conversion.
  const double scaled = d * 10.0;
  const double v = std::floor(scaled);
  const int digit = std::isfinite(v) ? static_cast<int>(std::fmod(v, 10.0)) : 0;
  const double id = (v - digit) / 10.0;
  if (digit == 0) {
    if (!(id <= 9999.0) || d != std::floor(d)) return kParameterReferenceRange;
    const int parameter = static_cast<int>(id);
    value = sources.parameters != nullptr ? sources.parameters->get(parameter) : 0.0;
    read.kind = CompiledOperand::kParameter;
    read.reference = parameter;
    result.parameterId = parameter;
    result.referenceId = parameter;
    result.componentDigit = 0;
    return kOk;
  }
  if (!(id <= 99.0) || scaled - v > 1e-6) return kComponentReferenceRange;
  const int node = static_cast<int>(id);
  int slot = 0;
  switch (digit) {
    case 1:
    case 2:
      slot = node * 10 + digit;
      break;
    case 3:
    case 4:
      slot = node * 10;
      break;
    case 9:
      slot = node + 1000;
      break;
    default:
      return kUnknownComponentDigit;
  }
  value = sources.slotValue != nullptr ? sources.slotValue(sources.context, slot) : 0.0;
  if (digit == 4) value *= kDegreesPerRadian;
  read.kind = digit == 4 ? CompiledOperand::kSlotDegrees : CompiledOperand::kSlot;
  read.reference = slot;
  result.variableSlot = slot;
  result.referenceId = node;
  result.componentDigit = digit;
  return kOk;
}

// Reads every token, collects the operand values and overwrites each operand token by
// "5" and blanks, the form the reduction reads.
// With `read`, also records what each operand is (for compileExpression).
int scanTokens(char* text, int length, const ValueSources& sources, EvaluationResult& result,
               double* operands, int& tokenCount, std::vector<CompiledOperand>* read = nullptr) {
  for (int i = 0; i < length;) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    const int begin = i;
    while (i < length && text[i] != ' ') ++i;
    ++tokenCount;
    const char* first = text + begin;
    const char* end = text + i;

    double value = 0.0;
    bool number = false;
    CompiledOperand operand;
    if (!isLetter(*first)) {  // a token starting with a letter is always a reference
      const char* stop = readNumber(first, end, false, value);
      if (stop != first && stop != end) return kNumberWithText;
      number = stop == end;
    }
    if (!number) {
      if (isOperator(*first)) continue;
      const int status = readReference(first, end, sources, result, value, operand);
      if (status != kOk) return status;
    } else {
      operand.literal = value;
    }
    if (result.operandCount >= kStackDepth) return kNotOneValue;
    if (read != nullptr) read->push_back(operand);
    operands[result.operandCount++] = value;
    text[begin] = '5';
    for (int k = begin + 1; k < i; ++k) text[k] = ' ';
  }
  return kOk;
}

constexpr char kBottom = '\0';
constexpr char kUnaryMinus = 'm';  // internal names of the sign operators
constexpr char kUnaryPlus = 'p';

int precedence(char op) {
  switch (op) {
    case '(':
      return 30;
    case '~':
      return 20;
    case '^':
      return 15;
    case '*':
    case '/':
      return 10;
    case '+':
    case '-':
    case kUnaryMinus:
    case kUnaryPlus:
      return 1;
    case ')':
      return 0;
    default:
      return -1;
  }
}

class Reducer {
 public:
  int reduce(const char* text, int length, const double* operands, int operandCount, double& value);

 private:
  enum class Last { kStart, kOperand, kOpen, kClose, kOperator };

  char top() const { return operators_[operatorCount_ - 1]; }
  int apply(char op);
  int applyDownTo(int precedenceFloor);
  int pushOperator(char op);
  int addOperator(char c, Last& last, int& lastPrecedence);

  double values_[kStackDepth];
  int valueCount_ = 0;
  char operators_[kStackDepth + 1] = {kBottom};
  int operatorCount_ = 1;
  int openCount_ = 0;
};

int Reducer::apply(char op) {
  const bool unary = op == kUnaryMinus || op == kUnaryPlus || op == '~';
  if (valueCount_ < (unary ? 1 : 2)) return kNotOneValue;  // e.g. "2*" or "(*2)"
  if (unary) {
    double& x = values_[valueCount_ - 1];
    if (op == kUnaryMinus) x = -x;
    if (op == '~') x = std::sin(x);
    return kOk;
  }
  const double b = values_[--valueCount_];
  double& a = values_[valueCount_ - 1];
  switch (op) {
    case '+':
      a += b;
      break;
    case '-':
      a -= b;
      break;
    case '*':
      a *= b;
      break;
    case '/':
      if (b == 0.0) return kDivisionByZero;
      a /= b;
      break;
    case '^':
      if (a < 0.0 && std::fabs(b) != std::floor(std::fabs(b))) return kBadPower;
      if (a == 0.0 && !(b > 0.0)) return kBadPower;
      a = std::pow(a, b);
      break;
    default:
      return kBadCharacter;
  }
  return kOk;
}

// Pops and applies operators down to the next "(" while they bind at least as tightly.
int Reducer::applyDownTo(int precedenceFloor) {
  while (top() != kBottom && top() != '(' && precedence(top()) >= precedenceFloor) {
    const int status = apply(operators_[--operatorCount_]);
    if (status != kOk) return status;
  }
  return kOk;
}

int Reducer::pushOperator(char op) {
  if (operatorCount_ > kStackDepth) return kNotOneValue;
  operators_[operatorCount_++] = op;
  return kOk;
}

int Reducer::addOperator(char c, Last& last, int& lastPrecedence) {
  if (c == '(') {
    ++openCount_;
    last = Last::kOpen;
    return pushOperator(c);
  }
  if (c == ')') {
    if (openCount_ == 0) return kUnmatchedClose;
    const int status = applyDownTo(0);
    if (status != kOk) return status;
    --operatorCount_;
    --openCount_;
    last = Last::kClose;
    return kOk;
  }
  const bool afterOperand = last == Last::kOperand || last == Last::kClose;
  char op = c;
  if ((c == '+' || c == '-') && !afterOperand) op = c == '-' ? kUnaryMinus : kUnaryPlus;
  if (op == '~' && afterOperand) return kSineAfterOperand;
  const int p = precedence(op);
  if (p < 0) return kBadCharacter;
  const bool tight = p >= 1 && p <= 19;
  if (tight && last == Last::kOperator && lastPrecedence >= 1 && lastPrecedence <= 19) {
    return kOperatorsInRow;
  }
  const int status = applyDownTo(p);
  if (status != kOk) return status;
  last = Last::kOperator;
  lastPrecedence = p;
  return pushOperator(op);
}

int Reducer::reduce(const char* text, int length, const double* operands, int operandCount,
                    double& value) {
  Last last = Last::kStart;
  int lastPrecedence = -1;
  int nextOperand = 0;
  for (int i = 0; i < length; ++i) {
    const char c = text[i];
    if (c >= '1' && c <= '9') {
      if (nextOperand >= operandCount || valueCount_ >= kStackDepth) return kNotOneValue;
      values_[valueCount_++] = operands[nextOperand++];
      last = Last::kOperand;
      continue;
    }
    const int status = addOperator(c, last, lastPrecedence);
    if (status != kOk) return status;
  }
  int status = kOk;
  while (top() != kBottom && status == kOk) {
    const char op = operators_[--operatorCount_];
    if (op != '(') status = apply(op);
  }
  if (status != kOk && status != kNotOneValue) return status;
  if (openCount_ > 0) return kUnmatchedOpen;
  if (status != kOk || valueCount_ != 1) return kNotOneValue;
  // An infinity or a NaN would pass for a value and spread through a whole run.
  if (!std::isfinite(values_[0])) return kNotFiniteResult;
  value = values_[0];
  return kOk;
}

}  // namespace

int evaluateExpression(const char* text, const ValueSources& sources, EvaluationResult& result) {
  result = EvaluationResult{};
  RewriteText rewritten;
  while (text != nullptr && rewritten.length < kExpressionChars && text[rewritten.length] != '\0') {
    rewritten.chars[rewritten.length] = text[rewritten.length];
    ++rewritten.length;
  }
  rewritten.chars[rewritten.length] = '\0';
  int status = rewrite(rewritten);
  if (status != kOk) return status;

  char spaced[kSpacedBytes];
  Writer writer{spaced, kSpacedBytes};
  status = respace(rewritten, writer);
  if (status != kOk) return status;
  writer.terminate();

  double operands[kStackDepth];
  int tokenCount = 0;
  status = scanTokens(spaced, writer.length, sources, result, operands, tokenCount);
  if (status != kOk || tokenCount == 0) return status;

  int length = 0;
  for (int i = 0; i < writer.length; ++i) {
    if (spaced[i] != ' ') spaced[length++] = spaced[i];
  }
  Reducer reducer;
  double value = 0.0;
  status = reducer.reduce(spaced, length, operands, result.operandCount, value);
  if (status == kOk) result.value = value;
  return status;
}

void compileExpression(const char* text, CompiledExpression& compiled) {
  compiled = CompiledExpression{};
  EvaluationResult& result = compiled.shape;
  RewriteText rewritten;
  while (text != nullptr && rewritten.length < kExpressionChars && text[rewritten.length] != '\0') {
    rewritten.chars[rewritten.length] = text[rewritten.length];
    ++rewritten.length;
  }
  rewritten.chars[rewritten.length] = '\0';
  compiled.status = rewrite(rewritten);
  if (compiled.status != kOk) return;

  char spaced[kSpacedBytes];
  Writer writer{spaced, kSpacedBytes};
  compiled.status = respace(rewritten, writer);
  if (compiled.status != kOk) return;
  writer.terminate();

  // Read without values: every reference reads 0 here and is looked up later.
  double operands[kStackDepth];
  const ValueSources none;
  compiled.status = scanTokens(spaced, writer.length, none, result, operands,
                               compiled.tokenCount, &compiled.operands);
  if (compiled.status != kOk || compiled.tokenCount == 0) return;
  for (int i = 0; i < writer.length; ++i) {
    if (spaced[i] != ' ') compiled.operators += spaced[i];
  }
  compiled.constant = true;
  for (const CompiledOperand& operand : compiled.operands) {
    if (operand.kind != CompiledOperand::kLiteral) compiled.constant = false;
  }
  if (!compiled.constant) return;
  Reducer reducer;
  double value = 0.0;
  compiled.constantStatus = reducer.reduce(compiled.operators.data(),
                                           static_cast<int>(compiled.operators.size()), operands,
                                           result.operandCount, value);
  if (compiled.constantStatus == kOk) compiled.constantValue = value;
}

int evaluateCompiled(const CompiledExpression& compiled, const ValueSources& sources,
                     EvaluationResult& result) {
  result = compiled.shape;
  if (compiled.status != kOk || compiled.tokenCount == 0) return compiled.status;
  if (compiled.constant) {
    if (compiled.constantStatus == kOk) result.value = compiled.constantValue;
    return compiled.constantStatus;
  }
  double operands[kStackDepth];
  const int count = static_cast<int>(compiled.operands.size());
  for (int i = 0; i < count; ++i) {
    const CompiledOperand& operand = compiled.operands[i];
    double value = operand.literal;
    switch (operand.kind) {
      case CompiledOperand::kLiteral:
        break;
      case CompiledOperand::kParameter:
        value = sources.parameters != nullptr ? sources.parameters->get(operand.reference) : 0.0;
        break;
      case CompiledOperand::kSlot:
      case CompiledOperand::kSlotDegrees:
        value = sources.slotValue != nullptr ? sources.slotValue(sources.context, operand.reference)
                                             : 0.0;
        if (operand.kind == CompiledOperand::kSlotDegrees) value *= kDegreesPerRadian;
        break;
    }
    operands[i] = value;
  }
  Reducer reducer;
  double value = 0.0;
  const int status = reducer.reduce(compiled.operators.data(),
                                    static_cast<int>(compiled.operators.size()), operands,
                                    result.operandCount, value);
  if (status == kOk) result.value = value;
  return status;
}

void expandUnitLetters(const char* text, char* out, int outSize) {
  if (out == nullptr || outSize <= 0) return;
  Writer writer{out, outSize};
  for (int i = 0; text != nullptr && i < kExpressionChars && text[i] != '\0'; ++i) {
    const char* unit = unitExponent(text[i]);
    const int need = unit != nullptr ? static_cast<int>(std::strlen(unit)) + 1 : 1;
    if (!writer.fits(need)) break;  // a cut exponent would change the number; stop whole
    if (unit != nullptr) {
      writer.put(unit);
      writer.put(' ');
    } else {
      writer.put(text[i]);
    }
  }
  writer.terminate();
}

}  // namespace movra
