// The run host without a window: nothing to pump or repaint, a stop command that
// ends the run at the driver's next check, and the steady clock.
#pragma once

#include <memory>

#include "engine/run.h"
#include "engine/run_host.h"
#include "input/model.h"
#include "input/report.h"
#include "view/graph_plot.h"

namespace movra::app {

class HeadlessHost : public RunHost {
 public:
  // Without a model the graphs are not plotted (engine tests need no Qt).
  HeadlessHost() = default;
  HeadlessHost(const Model& model, Reporter& reporter);

  void pumpMessages(Run&) override {}
  void repaint(Run&) override {}
  void sendStopCommand(Run& run) override;
  void appendTitleNotice(const char* notice) override;
  // Plots the recorded outputs into the graph surface, as the window would.
  int plotGraphs(Run& run) override;
  long long nowMs() override;

  view::GraphSurface* graphs() { return graphs_.get(); }
  int stopCommands = 0;

 private:
  const Model* model_ = nullptr;
  Reporter* reporter_ = nullptr;
  std::unique_ptr<view::GraphSurface> graphs_;
};

}  // namespace movra::app
