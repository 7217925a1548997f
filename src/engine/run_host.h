// What the driver needs from the program around it: the message pump, repaints,
// the stop command, the title notice, the graph plot and the clock. The window
// implements it; headless runs use a host that pumps nothing.
#pragma once

namespace movra {

struct Run;

class RunHost {
 public:
  virtual ~RunHost() = default;
  // Takes and dispatches the window's messages until the queue is empty; the
  // window may change the run-control flags of the run meanwhile.
  virtual void pumpMessages(Run& run) = 0;
  // Repaints the picture below the toolbar.
  virtual void repaint(Run& run) = 0;
  // The window's stop command ("中止"): the run ends at the driver's next check.
  virtual void sendStopCommand(Run& run) = 0;
  // Appends a notice to the window title.
  virtual void appendTitleNotice(const char* notice) = 0;
  // Plots the recorded outputs at the end of a run; a positive result is a fault.
  virtual int plotGraphs(Run& run) = 0;
  // Milliseconds of a steady clock.
  virtual long long nowMs() = 0;
  // Nothing to compute until an event comes or timeoutMs pass: a held run or one
  // ahead of real time waits here instead of pumping in a busy loop. Serves the
  // events that come, like pumpMessages. Hosts without events return at once.
  virtual void waitForEvents(Run&, long long /*timeoutMs*/) {}
  // The Newton iteration is about to solve the system in J and F (for checks).
  virtual void solving(const Run&) {}
};

}  // namespace movra
