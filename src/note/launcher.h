// The editor's hand-over for real: the four shared-memory blocks and the
// simulator's command line.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "note/hand_over_image.h"
#include "platform/shared_memory.h"

namespace movra::note {

// The four blocks, alive for as long as this object lives.
class HandOverBlocks {
 public:
  // Writes the image; ok() tells whether every block could be made.
  HandOverBlocks(const HandOverImage& image, const std::string& textBlockName);
  bool ok() const { return ok_; }
  std::string error() const { return error_; }

 private:
  std::vector<std::unique_ptr<platform::OwnedSharedBlock>> blocks_;
  bool ok_ = false;
  std::string error_;
};

struct LaunchRequest {
  std::string simulatorPath;
  std::string textBlockName;
  std::string modeMarker = "_a2_";
  std::string modelName;
  std::string editorWindow = "0";
  std::string controlKeyFile;
  bool quiet = false;  // the simulator's standard output goes nowhere
};

// How the simulator ended.
struct SimulatorEnd {
  int code = -1;    // its exit code; 128 + signal when a signal ended it; -1 not started
  int signal = 0;   // the signal that ended it, 0 when it exited
  bool coreDumped = false;
};

// Starts the simulator with the command line it expects and waits for it, calling
// whileRunning now and then meanwhile (to show its reports as they come).
SimulatorEnd waitForSimulator(const LaunchRequest& request,
                              const std::function<void()>& whileRunning = {});

// The last of SIGINT, SIGTERM and SIGHUP that came while a simulator ran (and was
// passed on to it), or 0. The caller ends with it once its blocks are gone.
int stopSignalReceived();

// The exit code alone (see SimulatorEnd::code).
inline int runSimulator(const LaunchRequest& request, const std::function<void()>& whileRunning = {}) {
  return waitForSimulator(request, whileRunning).code;
}

}  // namespace movra::note
