// Ctrl-C, a hang-up or a polite kill as a request to stop: the signal becomes a
// byte on a pipe that the window watches, so that the run ends as if its window
// had been closed, writing what it recorded, instead of losing everything.
#pragma once

namespace movra::platform {

// Catches SIGINT, SIGTERM and SIGHUP from now on. Returns the pipe's read end (it
// becomes readable when one of them came), or -1 when the pipe cannot be made and
// the signals keep their default effect. Only the first call installs.
int watchStopSignals();

// Empties the pipe after its bytes were noticed.
void drainStopSignals(int readEnd);

// The last such signal that came, or 0.
int lastStopSignal();

}  // namespace movra::platform
