// Feeds arbitrary field texts to the expression evaluator and the unit-letter expansion,
// terminated and unterminated, and checks the few properties every result must have.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "input/expression.h"

namespace {

double slotValue(const void*, int slot) {
  return slot * 0.5;
}

bool knownStatus(int status) {
  static constexpr int kStatuses[] = {0,  10, 11, 12, 13, 14, 15, 21, 22, 23, 30, 41, 44,
                                      45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 91, 92, 93};
  for (int known : kStatuses) {
    if (status == known) return true;
  }
  return false;
}

void require(bool condition) {
  if (!condition) std::abort();
}

int evaluate(const char* text, movra::EvaluationResult& result) {
  static movra::ParameterStore store;
  movra::ValueSources sources;
  sources.parameters = &store;
  sources.slotValue = &slotValue;
  const int status = movra::evaluateExpression(text, sources, result);
  require(knownStatus(status));
  if (status == 0 && result.operandCount == 0) require(result.value == 0.0);
  // A value handed on is always a number: no infinity, no NaN.
  if (status == 0) require(std::isfinite(result.value));
  return status;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr size_t kLimit = movra::kExpressionChars;

  char terminated[300];
  const size_t copied = size < sizeof terminated - 1 ? size : sizeof terminated - 1;
  std::memcpy(terminated, data, copied);
  terminated[copied] = '\0';
  movra::EvaluationResult first;
  const int firstStatus = evaluate(terminated, first);

  if (size > 0) {
    // Exactly kLimit readable bytes and no terminator: the input repeated to fill them,
    // on the heap so that any read past the end is caught.
    auto unterminated = std::make_unique<char[]>(kLimit);
    for (size_t i = 0; i < kLimit; ++i) unterminated[i] = static_cast<char>(data[i % size]);
    movra::EvaluationResult second;
    const int secondStatus = evaluate(unterminated.get(), second);
    if (size >= kLimit) {  // both texts agree in every character looked at
      require(firstStatus == secondStatus);
      require(first.operandCount == second.operandCount);
      require(first.parameterId == second.parameterId);
      require(first.variableSlot == second.variableSlot);
      require(std::memcmp(&first.value, &second.value, sizeof first.value) == 0);
    }

    // Room for every letter expanded, and a small size that forces the cut.
    auto expanded = std::make_unique<char[]>(5 * kLimit + 1);
    movra::expandUnitLetters(unterminated.get(), expanded.get(), 5 * kLimit + 1);
    const int smallSize = 1 + data[0] % 16;
    auto small = std::make_unique<char[]>(smallSize);
    movra::expandUnitLetters(terminated, small.get(), smallSize);
    require(std::strlen(small.get()) < static_cast<size_t>(smallSize));
  }
  return 0;
}
