#include "note/launcher.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "input/hand_over_layout.h"
#include "platform/editor_link.h"
#include "platform/instance_registry.h"

extern char** environ;

namespace movra::note {

namespace {

unsigned char* makeBlock(std::vector<std::unique_ptr<platform::OwnedSharedBlock>>& blocks,
                         const char* name, size_t size, std::string& refusal) {
  blocks.push_back(std::make_unique<platform::OwnedSharedBlock>(name, size));
  if (!blocks.back()->ok()) {
    if (refusal.empty()) refusal = blocks.back()->refusal();
    return nullptr;
  }
  unsigned char* bytes = blocks.back()->bytes();
  std::memset(bytes, 0, size);
  return bytes;
}

}  // namespace

HandOverBlocks::HandOverBlocks(const HandOverImage& image, const std::string& textBlockName,
                               const std::string& editorId) {
  const size_t count = image.records.size();
  if (count == 0 || count > static_cast<size_t>(kHandOverRecordLimit)) {
    error_ = "the model needs " + std::to_string(count) + " records; the hand-over holds 1 to " +
             std::to_string(kHandOverRecordLimit);
    return;
  }
  if (image.modelText.size() >= static_cast<size_t>(kModelTextBytes)) {
    error_ = "the model text does not fit in " + std::to_string(kModelTextBytes) + " bytes";
    return;
  }
  // Nothing is written before every block is known to be ours alone: a block
  // another account made would let it read the model or change the records.
  std::string refusal;
  const std::string countName = handOverBlockName(kCountBlockName, editorId);
  const std::string recordName = handOverBlockName(kRecordBlockName, editorId);
  const std::string nodeName = handOverBlockName(kNodeBlockName, editorId);
  unsigned char* counts = makeBlock(blocks_, countName.c_str(), kCountBlockBytes, refusal);
  unsigned char* records = makeBlock(blocks_, recordName.c_str(), kRecordBlockBytes, refusal);
  unsigned char* nodes = makeBlock(blocks_, nodeName.c_str(), kNodeBlockBytes, refusal);
  unsigned char* text = makeBlock(blocks_, textBlockName.c_str(), kModelTextBytes, refusal);
  if (counts == nullptr || records == nullptr || nodes == nullptr || text == nullptr) {
    error_ = refusal.empty() ? "a shared-memory block could not be created"
                             : "a shared-memory block is not used: " + refusal;
    return;
  }
  std::snprintf(reinterpret_cast<char*>(counts), kCountBlockBytes, " %d %d ",
                static_cast<int>(count) - 1, image.secondCount);
  std::memcpy(records, image.records.data(), count * sizeof(StatementRecord));
  writeNodeBlock(*image.nodes, nodes);
  std::memcpy(text, image.modelText.data(), image.modelText.size());
  ok_ = true;
}

std::string textBlockNameFor(const std::string& editorId) { return "movra-text-" + editorId; }

void clearLeftoversOfDeadEditors() {
  const auto deadOrUs = [](const std::string& id) {
    const long pid = std::strtol(id.c_str(), nullptr, 10);
    return pid == static_cast<long>(getpid()) || !platform::processExists(static_cast<pid_t>(pid));
  };
  constexpr const char* kTextPrefix = "movra-text-";
  for (const std::string& name : platform::existingBlockNames()) {
    std::string id;
    if (!isRunBlockName(name, id)) {
      if (name.rfind(kTextPrefix, 0) != 0) continue;
      id = name.substr(std::strlen(kTextPrefix));
      if (!isEditorId(id)) continue;
    }
    if (deadOrUs(id)) platform::removeLeftoverBlock(name);
  }
  platform::removeDeadEditorSockets();
}

namespace {

volatile std::sig_atomic_t gStopSignal = 0;
volatile std::sig_atomic_t gStopCount = 0;

void onStopSignal(int signal) {
  gStopSignal = signal;
  gStopCount = gStopCount + 1;
}

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Passes the signals that came since the last call on to the simulator: the first
// asks it to stop (it writes what it recorded), a second ends it at once.
class StopSignalsPassedOn {
 public:
  void passOn(pid_t child) {
    const int count = gStopCount;
    if (count == passed_) return;
    kill(child, count == 1 ? static_cast<int>(gStopSignal) : SIGKILL);
    passed_ = count;
  }

 private:
  int passed_ = 0;
};

}  // namespace

StopSignalsHeld::StopSignalsHeld() {
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no restart: the wait wakes at once
  for (int k = 0; k < 3; ++k) {
    installed_[k] = sigaction(kStopSignals[k], nullptr, &previous_[k]) == 0 &&
                    previous_[k].sa_handler != SIG_IGN &&
                    sigaction(kStopSignals[k], &action, nullptr) == 0;
  }
}

StopSignalsHeld::~StopSignalsHeld() {
  for (int k = 0; k < 3; ++k) {
    if (installed_[k]) sigaction(kStopSignals[k], &previous_[k], nullptr);
  }
}

int stopSignalReceived() { return gStopSignal; }

// How often the editor looks at its mailbox while the simulator runs.
constexpr int kWaitStepMs = 50;

// Waits up to kWaitStepMs, but no longer than the child lives: a process descriptor
// becomes readable when the child ends, so a finished run is not followed by up to
// a whole wait step of nothing. Without one (an old kernel) the wait is a sleep.
void waitStep(int childDescriptor) {
  if (childDescriptor >= 0) {
    pollfd ended{childDescriptor, POLLIN, 0};
    if (poll(&ended, 1, kWaitStepMs) >= 0) return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(kWaitStepMs));
}

std::vector<std::string> simulatorArguments(const LaunchRequest& request) {
  return {request.simulatorPath, request.textBlockName, request.modeMarker,
          request.modelName,     request.editorWindow,  request.controlKeyFile};
}

SimulatorEnd waitForSimulator(const LaunchRequest& request,
                              const std::function<void()>& whileRunning) {
  std::vector<std::string> arguments = simulatorArguments(request);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  SimulatorEnd end;
  StopSignalsHeld held;
  // Stopped before the simulator could start: there is nothing to stop.
  if (gStopCount > 0) return end;
  pid_t child = 0;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (request.quiet) posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const int failed =
      posix_spawn(&child, request.simulatorPath.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) return end;
#ifdef SYS_pidfd_open
  const int childDescriptor = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
#else
  const int childDescriptor = -1;
#endif
  int status = 0;
  StopSignalsPassedOn stopSignals;
  while (true) {
    stopSignals.passOn(child);
    const pid_t ended = waitpid(child, &status, whileRunning ? WNOHANG : 0);
    if (ended == child) break;
    if (ended < 0 && errno != EINTR) {
      if (childDescriptor >= 0) close(childDescriptor);
      return end;
    }
    if (ended == 0) {
      whileRunning();
      waitStep(childDescriptor);
    }
  }
  if (childDescriptor >= 0) close(childDescriptor);
  if (WIFEXITED(status)) {
    end.code = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    end.signal = WTERMSIG(status);
    end.coreDumped = WCOREDUMP(status);
    end.code = 128 + end.signal;
  }
  return end;
}

}  // namespace movra::note
