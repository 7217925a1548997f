// Field expressions: numbers with unit letters, + - * / ^, parentheses, sin, pow, pi,
// and references to parameters (p12) and node quantities (x5.1, x5.9).
#pragma once

#include <string>
#include <vector>

#include "input/parameter_store.h"

namespace movra {

inline constexpr int kExpressionChars = 256;  // characters of a field text looked at
// The status of a result that is no finite number: an overflow (0 * pow(10, 400)),
// a number too large to hold (1e400), a reference to a value that is none.
inline constexpr int kNotFiniteResult = 93;

struct EvaluationResult {
  double value = 0.0;
  int operandCount = 0;
  int parameterId = -1;    // last parameter reference
  int variableSlot = -1;   // last node-quantity reference
  int referenceId = -1;    // node or parameter id of the last reference
  int componentDigit = -1; // ComponentDigit of the last reference
};

// Where references find their values. slotValue gives the current value of the
// unknown mapped to a variable slot; without it every node quantity reads 0.
struct ValueSources {
  const ParameterStore* parameters = nullptr;
  double (*slotValue)(const void* context, int slot) = nullptr;
  const void* context = nullptr;
};

// Evaluates one field text (at most kExpressionChars characters are looked at;
// the text may be longer or lack a terminator beyond that). Returns 0 or one of the
// status codes 10..93; result holds what was set before a failure. Allocates nothing.
int evaluateExpression(const char* text, const ValueSources& sources, EvaluationResult& result);

// One field text read once: everything about it that does not depend on the values
// it refers to (its status up to the reading of its tokens, the references it
// names, its operators in order), so that evaluating it again only looks the values
// up and reduces. A text without references is reduced once here.
struct CompiledOperand {
  enum Kind : int { kLiteral, kParameter, kSlot, kSlotDegrees };
  Kind kind = kLiteral;
  int reference = 0;     // parameter id or variable slot
  double literal = 0.0;  // the number of a literal
};

struct CompiledExpression {
  int status = 0;            // of the text before any value is needed; 0: readable
  EvaluationResult shape;    // references and operand count as reading leaves them
  int tokenCount = 0;
  std::string operators;     // the reduction's input: operators and '5' per operand
  std::vector<CompiledOperand> operands;
  bool constant = false;     // no references: the result below is final
  int constantStatus = 0;
  double constantValue = 0.0;
};

// Reads text as evaluateExpression would, without looking up a value.
void compileExpression(const char* text, CompiledExpression& compiled);

// The same status and result that evaluateExpression gives for the compiled text
// with these sources, to the last bit. Allocates nothing.
int evaluateCompiled(const CompiledExpression& compiled, const ValueSources& sources,
                     EvaluationResult& result);

// Replaces every k M G m u n p in the first kExpressionChars characters of text by
// e3 e6 e9 e-3 e-6 e-9 e-12 followed by a blank; other characters are copied.
// out must hold at least outSize bytes; the result is always terminated.
void expandUnitLetters(const char* text, char* out, int outSize);

}  // namespace movra
