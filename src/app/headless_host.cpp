#include "app/headless_host.h"

#include <chrono>
#include <cstdio>

namespace movra::app {

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
