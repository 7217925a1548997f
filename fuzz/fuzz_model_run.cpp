// Fuzzes a model through everything a run does with it: the editor stand-in's
// reader, the simulator's reading and checks, the run's set-up, and the first steps
// of the engine with every element's evaluator, recording pass and frame.
#include <cstdint>
#include <memory>

#include "engine/driver.h"
#include "engine/run.h"
#include "engine/run_host.h"
#include "engine/run_setup.h"
#include "input/report.h"
#include "read_model.h"

namespace {

// A few steps reach every evaluator's paths; a long run would only add time.
constexpr int kMostSteps = 12;

// No window: the clock runs on by a millisecond a call, and the run is stopped, as
// its stop command stops it, once it has taken its steps.
class FuzzHost : public movra::RunHost {
 public:
  void pumpMessages(movra::Run& run) override {
    if (++pumps_ > kMostSteps) run.runRequest = 2;
  }
  void repaint(movra::Run&) override {}
  void sendStopCommand(movra::Run& run) override { run.runRequest = 2; }
  void appendTitleNotice(const char*) override {}
  int plotGraphs(movra::Run&) override { return 0; }
  long long nowMs() override { return ++clock_; }

 private:
  int pumps_ = 0;
  long long clock_ = 0;
};

// Every question ("go on with a large error?") is answered yes, as a batch run does.
int answerYes(void*, movra::MessageKind, const char*, const char*) { return 1; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unique_ptr<movra::Model> model = movra::makeModel();
  if (!readFuzzedModel(data, size, *model, 2)) return 0;
  auto run = movra::makeRun();
  movra::Reporter reporter;
  reporter.setSink(movra::MessageSink{answerYes, nullptr});
  if (movra::prepareRun(*model, *run, reporter) != 0) return 0;
  FuzzHost host;
  movra::runSimulation(*model, *run, reporter, host);
  return 0;
}
