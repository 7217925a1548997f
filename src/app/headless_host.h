// The run host without a window (benchmarks and tools): nothing to pump, repaint
// or plot, a stop command that ends the run at the next check, the steady clock.
#pragma once

#include "engine/run.h"
#include "engine/run_host.h"

namespace movra::app {

class HeadlessHost : public RunHost {
 public:
  void pumpMessages(Run&) override {}
  void repaint(Run&) override {}
  void sendStopCommand(Run& run) override;
  void appendTitleNotice(const char* notice) override;
  int plotGraphs(Run&) override { return 0; }
  long long nowMs() override;

  int stopCommands = 0;
};

}  // namespace movra::app
