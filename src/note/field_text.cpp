#include "note/field_text.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <vector>

#include "input/expression.h"
#include "note/catalogue.h"

namespace movra::note {
namespace {

constexpr std::string_view kUnitLetters = "kMGmunp";
constexpr std::string_view kUnitList =
    "the unit letters are k (1e3), M (1e6), G (1e9), m (1e-3), u (1e-6), n (1e-9) and p "
    "(1e-12), written right after the number: 10k, 4.7u";
// The evaluator's codes for faults of values rather than of the text.
constexpr int kDivisionByZeroStatus = 91;
constexpr int kBadPowerStatus = 92;

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool isLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool isUnitLetter(char c) { return kUnitLetters.find(c) != std::string_view::npos; }

std::string quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// The end of the number that starts at `at`: digits, a point, an exponent.
size_t numberEnd(std::string_view text, size_t at) {
  while (at < text.size() && (isDigit(text[at]) || text[at] == '.')) ++at;
  if (at + 1 < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    size_t exponent = at + 1;
    if (text[exponent] == '+' || text[exponent] == '-') ++exponent;
    if (exponent < text.size() && isDigit(text[exponent])) {
      while (exponent < text.size() && isDigit(text[exponent])) ++exponent;
      return exponent;
    }
  }
  return at;
}

// What follows one number of the text, when it is the reason the text is not read.
std::string unitSlip(std::string_view text, size_t start, size_t end) {
  const std::string_view number = text.substr(start, end - start);
  size_t letters = end;
  while (letters < text.size() && isLetter(text[letters])) ++letters;
  const std::string_view word = text.substr(end, letters - end);
  if (word.size() == 1 && isUnitLetter(word[0])) return "";
  if (!word.empty()) {
    std::string lower(word);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (lower == "meg") return quoted(std::string(number) + std::string(word)) + ": write M for mega (" + std::string(number) + "M)";
    if (isUnitLetter(word[0])) {
      return quoted(std::string(number) + std::string(word)) + ": a unit letter stands alone after its number, and " +
             quoted(word.substr(1)) + " is not read (write " + std::string(number) + word[0] + ")";
    }
    return quoted(std::string(number) + std::string(word)) + ": " + quoted(word) + " is no unit letter; " +
           std::string(kUnitList);
  }
  // A blank, then a lone unit letter: "1 k".
  size_t next = end;
  while (next < text.size() && text[next] == ' ') ++next;
  if (next > end && next < text.size() && isUnitLetter(text[next]) &&
      (next + 1 == text.size() || !(isLetter(text[next + 1]) || isDigit(text[next + 1]) || text[next + 1] == '('))) {
    return quoted(text.substr(start, next + 1 - start)) + ": a unit letter must touch its number (" +
           std::string(number) + text[next] + ")";
  }
  return "";
}

size_t editDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::string unreadableField(std::string_view text) {
  const std::string spaced = std::string(text) + " ";
  CompiledExpression compiled;
  compileExpression(spaced.c_str(), compiled);
  int status = compiled.status;
  if (status == 0) {
    // Some faults show only when the text is reduced; those of its values (a
    // division by zero, a bad power) depend on the run and are not judged here.
    static const ParameterStore zero;
    ValueSources sources;
    sources.parameters = &zero;
    EvaluationResult result;
    status = evaluateExpression(spaced.c_str(), sources, result);
    if (status == kDivisionByZeroStatus || status == kBadPowerStatus) status = 0;
  }
  if (status == 0) return "";
  // A number may only start where no letter or digit runs into it (p12, x3.1).
  for (size_t i = 0; i < text.size(); ++i) {
    if (!isDigit(text[i]) || (i > 0 && (isLetter(text[i - 1]) || isDigit(text[i - 1]) || text[i - 1] == '.'))) {
      continue;
    }
    const size_t end = numberEnd(text, i);
    if (std::string slip = unitSlip(text, i, end); !slip.empty()) return slip;
    i = end - 1;
  }
  return quoted(text) + " is no expression the simulator can read (code " +
         std::to_string(status) + "; docs/reference.md, Fields and expressions)";
}

std::string_view nearestKeyword(std::string_view word) {
  if (word.empty()) return {};
  std::string_view best;
  size_t bestScore = SIZE_MAX;
  for (const CatalogueEntry& entry : catalogueEntries()) {
    if (sameIgnoringCase(entry.keyword, word)) return entry.keyword;
    const size_t distance = editDistance(entry.keyword, word);
    // One letter off in a short keyword, two in a longer one; of equals, the one
    // that starts alike.
    const size_t allowed = std::max<size_t>(1, std::min(word.size(), entry.keyword.size()) / 3 + 1);
    const size_t score = 2 * distance + (entry.keyword[0] == word[0] ? 0 : 1);
    if (distance <= allowed && score < bestScore) {
      best = entry.keyword;
      bestScore = score;
    }
  }
  return best;
}

}  // namespace movra::note
