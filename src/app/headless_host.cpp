#include "app/headless_host.h"

#include <chrono>
#include <cstdio>

namespace movra::app {

namespace {
constexpr int kScreenWidth = 1280;  // the graph surface has the size of a screen
constexpr int kScreenHeight = 1024;
}  // namespace

HeadlessHost::HeadlessHost(const Model& model, Reporter& reporter)
    : model_(&model),
      reporter_(&reporter),
      graphs_(std::make_unique<view::GraphSurface>(kScreenWidth, kScreenHeight)) {}

int HeadlessHost::plotGraphs(Run& run) {
  if (model_ == nullptr || graphs_ == nullptr || run.lastFrame < 0) return 0;
  graphs_->fillGray();
  return view::gnn(*model_, run, *reporter_, *graphs_);
}

void HeadlessHost::sendStopCommand(Run& run) {
  ++stopCommands;
  run.runRequest = 2;
  run.runEnded = 1;
  run.holdState = 0;
}

void HeadlessHost::appendTitleNotice(const char* notice) { std::fprintf(stderr, "movra-sim:%s\n", notice); }

long long HeadlessHost::nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace movra::app
