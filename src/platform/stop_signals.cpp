#include "platform/stop_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <initializer_list>

namespace movra::platform {

namespace {

int gPipe[2] = {-1, -1};
volatile std::sig_atomic_t gLastSignal = 0;

// Only async-signal-safe work: a full pipe already says enough.
void onStopSignal(int signal) {
  const int saved = errno;
  gLastSignal = signal;
  const char byte = 1;
  [[maybe_unused]] const ssize_t ignored = write(gPipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

int watchStopSignals() {
  if (gPipe[0] >= 0) return gPipe[0];
  if (pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    gPipe[0] = gPipe[1] = -1;
    return -1;
  }
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    // A signal ignored by whoever started us (a background job of a script) stays so.
    struct sigaction previous {};
    if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
  return gPipe[0];
}

void drainStopSignals(int readEnd) {
  char bytes[64];
  while (read(readEnd, bytes, sizeof bytes) > 0) {
  }
}

int lastStopSignal() { return gLastSignal; }

}  // namespace movra::platform
