// A model and a run for engine tests: elements with given type codes and keys, a
// reporter whose questions are answered from a script, a host that records what
// the engine asked of the window, and evaluators installed for the test's lifetime.
#pragma once

#include <cstdio>
#include <deque>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "elements/evaluator.h"
#include "engine/run.h"
#include "engine/run_host.h"
#include "engine/unknowns.h"
#include "input/model.h"
#include "input/report.h"

namespace movra::testing {

// Records every message; answers questions from a queue (yes when it is empty).
struct ScriptedMessages {
  struct Shown {
    MessageKind kind;
    std::string text;
  };
  std::vector<Shown> shown;
  std::deque<bool> answers;

  static int show(void* context, MessageKind kind, const char*, const char* text) {
    auto* self = static_cast<ScriptedMessages*>(context);
    self->shown.push_back({kind, text});
    if (kind != MessageKind::Question) return 1;
    if (self->answers.empty()) return 1;
    const bool yes = self->answers.front();
    self->answers.pop_front();
    return yes ? 1 : 0;
  }
  MessageSink sink() { return MessageSink{show, this}; }

  int count(MessageKind kind) const {
    int n = 0;
    for (const Shown& message : shown) n += message.kind == kind ? 1 : 0;
    return n;
  }
  const std::string& last() const {
    static const std::string kNone;
    return shown.empty() ? kNone : shown.back().text;
  }
};

// A host without a window: it only counts what the engine asked of it. The stop
// command sets the run request as the window's "中止" does.
class RecordingHost : public RunHost {
 public:
  int pumps = 0;
  int repaints = 0;
  int stopCommands = 0;
  int plots = 0;
  int plotResult = 0;
  long long clockMs = 0;
  std::vector<std::string> titleNotices;

  void pumpMessages(Run&) override { ++pumps; }
  void repaint(Run&) override { ++repaints; }
  void sendStopCommand(Run& run) override {
    ++stopCommands;
    run.runRequest = 2;
  }
  void appendTitleNotice(const char* notice) override { titleNotices.emplace_back(notice); }
  int plotGraphs(Run&) override {
    ++plots;
    return plotResult;
  }
  long long nowMs() override { return clockMs; }
};

// Serves a type code with a test evaluator until the guard goes out of scope.
class EvaluatorOverride {
 public:
  EvaluatorOverride(int typeCode, ElementEvaluator evaluator)
      : typeCode_(typeCode), before_(replaceEvaluatorForTest(typeCode, evaluator)) {}
  ~EvaluatorOverride() { replaceEvaluatorForTest(typeCode_, before_); }
  EvaluatorOverride(const EvaluatorOverride&) = delete;
  EvaluatorOverride& operator=(const EvaluatorOverride&) = delete;

 private:
  int typeCode_;
  ElementEvaluator before_;
};

struct EngineFixture {
  std::unique_ptr<Model> model = makeModel();
  std::unique_ptr<Run> run = makeRun();
  ScriptedMessages messages;
  Reporter reporter;
  RecordingHost host;

  EngineFixture() { reporter.setSink(messages.sink()); }

  // Appends an element; keys go to variable slots 1.. in order. Returns its row.
  int addElement(int typeCode, std::initializer_list<int> keys, const char* text = "E") {
    const int row = ++model->count.elements;
    ElementEntry& element = model->elements[row];
    element.typeCode = typeCode;
    element.kindCode = typeCode;
    int slot = 1;
    for (int key : keys) {
      if (slot < kVariableSlotCount) element.variableSlots[slot++] = key;
    }
    std::snprintf(element.text, sizeof element.text, "%s", text);
    return row;
  }

  int allocate() { return allocateUnknowns(*model, *run, reporter); }

  ElementEntry& element(int row) { return model->elements[row]; }
  // The unknown index in slot `slot` of element `row` after allocation.
  int unknownOf(int row, int slot) const { return model->elements[row].variableSlots[slot]; }
};

}  // namespace movra::testing
