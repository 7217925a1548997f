// The engine's state for one model: unknowns and state slots, the equation system,
// the step-to-step copies, the pass flags, the counters of the Newton iteration and
// of the driver, the display list and the frame ring. One struct of fixed arrays,
// allocated once; evaluators and engine passes take it by reference.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/display_list.h"
#include "engine/frame_ring.h"
#include "input/expression.h"

namespace movra {

inline constexpr int kMaxUnknowns = 500;
inline constexpr int kMaxStateSlots = 500;
inline constexpr int kRowStride = 501;                 // J[r][c] at r * 501 + c
inline constexpr int kXCapacity = 1550;               // X[0..N+M]
inline constexpr int kResidualCapacity = 551;
inline constexpr int kUnknownKeyCapacity = 32768;      // keys 0..32767 map to unknowns
inline constexpr int kMaxNewtonIterations = 100;
inline constexpr int kMaxHalvings = 20;
inline constexpr int kSolverNoteBytes = 128;
inline constexpr int kOutputSlots = 34;                // output items 1..33

// Run status and step-attempt outcomes.
inline constexpr int kRunNormal = 0;
inline constexpr int kRunResumedEnd = 3;
inline constexpr int kRunStopped = 5;
inline constexpr int kRunRefused = 51;

// Where J may hold non-zero entries: per row the first and last column written,
// per column the last row. Every write goes through Run::jacobian(), which widens
// it; the elimination widens it by its fill-in and row swaps. Clearing J then
// touches only these spans, and the solver visits only them. J starts all zero,
// so the profile starts empty. Column 0, the scratch column that every element
// with a grounded terminal writes, is left out of the row spans (it would stretch
// them from 0): the clear zeroes it in every row up to the highest.
struct JacobianProfile {
  int rowFirst[kRowStride];
  int rowLast[kRowStride];   // -1: the row holds nothing
  int columnLast[kRowStride];  // -1: the column holds nothing
  int highest = -1;            // the highest row or column that holds anything

  JacobianProfile() { reset(); }
  void reset() {
    for (int i = 0; i < kRowStride; ++i) {
      rowFirst[i] = kRowStride;
      rowLast[i] = -1;
      columnLast[i] = -1;
    }
    highest = -1;
  }
  void touch(int row, int column) {
    const int outer = row > column ? row : column;
    if (outer > highest) highest = outer;
    if (column == 0) return;
    if (column < rowFirst[row]) rowFirst[row] = column;
    if (column > rowLast[row]) rowLast[row] = column;
    if (row > columnLast[column]) columnLast[column] = row;
  }
};

struct Run {
  // --- unknowns, state slots and the equation system ---
  int unknownCount = 0;                  // N
  int stateSlotCount = 0;                // M; state slot s is X[N + s]
  double X[kXCapacity] = {};
  double previous[kXCapacity] = {};      // P: the last accepted solution
  double iterationStart[kXCapacity] = {};  // I
  double resume[kXCapacity] = {};        // R
  double a0H[kXCapacity + 1] = {};       // a0 = a0H[0]; H[i] = a0H[i]
  double J[kRowStride * kRowStride] = {};
  double F[kResidualCapacity] = {};
  int32_t unknownOfKey[kUnknownKeyCapacity] = {};  // UnknownMap; 0 = no unknown

  double a0() const { return a0H[0]; }
  double history(int i) const { return a0H[i]; }
  JacobianProfile jacobianProfile;

  // The one way to write J: it records where the entry lies (see JacobianProfile).
  double& jacobian(int row, int column) {
    jacobianProfile.touch(row, column);
    return J[row * kRowStride + column];
  }

  // --- flags the evaluators read ---
  int recordingFlag = 0;       // -1 preparation, 0 Newton, 1 recording, 2 after the run
  int displayFlag = 0;         // 7 while recording
  int holdFlag = 0;            // 1 while a held interactive frame is redrawn
  int initialPass = 1;         // 1 until the first linear solve
  int nonConvergence = 0;      // ConvergenceVote count of the current pass
  int minimumIterations = 0;
  int iteration = 0;           // Newton iteration number, 1 = FirstIteration
  int elementError = 0;        // result of the first failing evaluator

  // --- Newton iteration and step attempt ---
  int solverStatus = 0;
  int failedColumn = 0;        // the unknown whose pivot failed in the last failed solve
  double updateNorm = 0.0;
  double tolerance = 1e-6;
  int halvings = 0;
  int consecutiveFailures = 0;
  int lastFailureStep = -1;
  int nominalSteps = 0;
  int retry = 0;
  long long totalIterations = 0;
  long long totalHalvings = 0;
  char solverNote[kSolverNoteBytes] = {};

  // --- driver ---
  int method = 0;              // 0 static, 1 first order, 2 second order
  int kt = 0;                  // step counter
  int stepCount = 0;           // n
  int outputInterval = 1;
  bool outputIntervalChanged = false;
  int frameCount = 0;
  int frameCursor = -1;
  int lastFrame = -1;
  int currentFrame = -1;
  double t0 = 0.0, t1 = 0.0, t = 0.0, tPrev = 0.0, tPrev2 = 0.0, tTarget = 0.0;
  double dt = 0.0;             // nominal step of the time statement
  double hSim = 0.0;           // simulation step
  double dtOut = 0.0;          // output step
  double pwmPeriod = 0.0;      // P; 0 without PWM
  double pwmSubStep = 0.0;     // tau, the length of the current step of a PWM half
  double pwmDutyNow = 0.5;     // the duty read at the last output step
  int pwmStepsPerPart = 1;     // K equal steps per on-part and per off-part
  bool pwmPartStarts = true;   // the current step begins its on- or off-part
  bool pwmPartEnds = true;     // and ends it
  int stepsPerOutput = 1;      // q
  int status = kRunNormal;
  int repaintInterval = 1;
  int playbackPeriodMs = 30;  // until a run sets them from its frames
  int ticksPerThird = 10;
  long long pacingClock = 0;
  int pacingStep = 0;
  int lastFastForward = 0;
  int lastHoldState = 0;
  int savedInteractionMode = 0;
  int savedFrameCursor = -1;
  int savedCurrentFrame = -1;
  bool lagging = false;        // an interactive run is more than 100 ms behind real time

  // --- run control, shared with the window ---
  int runRequest = 0;          // 1 close, 2 pause or stop, -2 resume
  int holdState = 0;
  int interactionMode = 0;
  int handOverMode = 0;
  int fastForwardCount = 0;
  int controlKeyFlag = 0;
  int runEnded = 0;
  int running = 0;

  // --- formula pass ---
  // The element fields as read at the first pass of a run: (element, field) at
  // element * 11 + field. prepareRun drops them, so a new run reads them again.
  std::vector<CompiledExpression> elementFields;
  bool elementFieldsCompiled = false;
  uint32_t shortRandom = 13;        // 15-bit generator
  uint32_t libraryRandom = 3;       // the rand()-style generator
  int lastStartStep = 0;

  // --- recording ---
  DisplayList display;
  FrameRing frames;
  int outputBlockStart = 0;              // pool position of the output values in a frame
  double outputLow[kOutputSlots] = {};   // running extremes of the outputs, items 1..33
  double outputHigh[kOutputSlots] = {};
  bool outputUntracked[kOutputSlots] = {};
  double outputValue[kOutputSlots] = {};  // the values of the last recorded step
};

// A fresh run on the heap (megabytes: never on the stack).
inline std::unique_ptr<Run> makeRun() { return std::make_unique<Run>(); }

}  // namespace movra
