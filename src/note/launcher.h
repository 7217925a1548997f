// The editor's hand-over for real: the four shared-memory blocks and the
// simulator's command line.
#pragma once

#include <csignal>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "note/hand_over_image.h"
#include "platform/shared_memory.h"

namespace movra::note {

// The four blocks, alive for as long as this object lives. With the editor's id the
// three fixed blocks carry it in their names (handOverBlockName), so every run has
// blocks of its own; every block is made here, never taken over.
class HandOverBlocks {
 public:
  // Writes the image; ok() tells whether every block could be made.
  HandOverBlocks(const HandOverImage& image, const std::string& textBlockName,
                 const std::string& editorId = {});
  bool ok() const { return ok_; }
  std::string error() const { return error_; }

 private:
  std::vector<std::unique_ptr<platform::OwnedSharedBlock>> blocks_;
  bool ok_ = false;
  std::string error_;
};

// The model-text block of the editor with this id.
std::string textBlockNameFor(const std::string& editorId);

// Removes the blocks and sockets that editors of this user left behind when they
// were killed: those of ids that no living process has (or that this process has,
// before it made any). Another account's objects are never touched.
void clearLeftoversOfDeadEditors();

// From its making on, Ctrl-C, a hang-up or a kill is only noted (stopSignalReceived)
// instead of ending the editor at once, so that the editor still removes what it
// made; while a simulator runs it is passed on to it. A signal ignored by whoever
// started us stays ignored. The previous handling is back when it goes.
class StopSignalsHeld {
 public:
  StopSignalsHeld();
  ~StopSignalsHeld();
  StopSignalsHeld(const StopSignalsHeld&) = delete;
  StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;

 private:
  struct sigaction previous_[3] {};
  bool installed_[3] = {};
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

// The simulator's command line for a request, program first: what every editor
// that starts it (the run command, the desktop editor) passes.
std::vector<std::string> simulatorArguments(const LaunchRequest& request);

// How the simulator ended.
struct SimulatorEnd {
  int code = -1;    // its exit code; 128 + signal when a signal ended it; -1 not started
  int signal = 0;   // the signal that ended it, 0 when it exited
  bool coreDumped = false;
};

// Starts the simulator with the command line it expects and waits for it, calling
// whileRunning now and then meanwhile (to show its reports as they come). Not
// started when a stop signal has come already.
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
