#include "engine/driver.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/formula_pass.h"
#include "engine/newton.h"
#include "engine/recording.h"
#include "engine/unknowns.h"

namespace movra {

namespace {

constexpr double kAbsentPlayback = 1e-99;
constexpr double kLongestPlaybackPeriodMs = 1e9;  // a frame every eleven days
constexpr int kFrameLimit = 5000;
constexpr int kIntervalSearchLimit = 10000;
// The step counter is an int: no grid may have more steps than it can count.
constexpr int kMostSteps = 2147483646;
constexpr int kPwmStepsCondition = 9;
constexpr int kMostPwmStepsPerPart = 1000;
// Waits of a run with nothing to compute: a held run looks at its flags again at
// least this often (any event ends the wait sooner); a held frame is redrawn once
// per display frame.
constexpr long long kHeldWaitMs = 50;
constexpr long long kDisplayFrameMs = 16;
// Behind real time by more than this, an interactive run says so in its panel.
constexpr long long kLagLimitMs = 100;

// The ".t" line as the driver's messages quote it: the numbered line, without its
// comment and line end.
struct TimeLine {
  char text[kEchoTextBytes] = {};
  int record = 1;
};

TimeLine timeLineOf(const Model& model) {
  TimeLine line;
  const int record = model.timeStatementRecord;
  if (record < 0 || record >= kRecordCapacity) return line;
  line.record = record;
  std::snprintf(line.text, sizeof line.text, "%s", model.records[record].echoText);
  if (char* end = std::strpbrk(line.text, "\r\n")) *end = 0;
  if (char* comment = std::strstr(line.text, "//")) *comment = 0;
  return line;
}

int nearestInteger(double value) { return static_cast<int>(value + 0.5); }

// A field's integer part, held within the ints the run counts with (a NaN as 0).
int boundedInteger(double value) {
  if (!(value == value)) return 0;
  return static_cast<int>(std::fmax(-kMostSteps, std::fmin(kMostSteps, std::trunc(value))));
}

bool isOddPrime(int value) {
  if (value < 3 || value % 2 == 0) return false;
  for (int divisor = 3; divisor * divisor <= value; divisor += 2) {
    if (value % divisor == 0) return false;
  }
  return true;
}

// The end time a recorded control-key file covers: by step number in mode A, by
// the time in its first column in mode B.
double recordedEndTime(const Model& model, double t0, double dt) {
  const ControlKeyRecord& keys = model.controlKeys;
  if (keys.rowsRead <= 0) return t0;
  if (model.replayMode == 1) return t0 + keys.lastRowIndex * dt;
  return keys.row[keys.rowsRead - 1][1];
}

// Copies the control-key row of this step (mode A) or this time (mode B) into the
// parameters the model reads.
void replayControlKeys(Model& model, const Run& run) {
  const ControlKeyRecord& keys = model.controlKeys;
  if (model.replayMode == 0 || keys.rowsRead <= 0) return;
  double row[kControlKeyEntries] = {};
  if (model.replayMode == 1) {
    int index = run.kt;
    if (index > keys.rowsRead + 2) index = keys.rowsRead + 2;
    for (int e = 0; e < kControlKeyEntries; ++e) row[e] = keys.row[index][e];
  } else {
    // The time of the coming step, as the formulas of this step see it.
    const double time = run.kt == 0 ? run.t0 : run.t + (run.pwmPeriod > 0 ? run.pwmSubStep : run.hSim);
    int upper = 0;
    while (upper < keys.rowsRead && keys.row[upper][1] < time) ++upper;
    const int lower = upper > 0 ? upper - 1 : 0;
    if (upper >= keys.rowsRead) upper = keys.rowsRead - 1;
    const double t0 = keys.row[lower][1];
    const double t1 = keys.row[upper][1];
    const double w = (t1 > t0) ? (time - t0) / (t1 - t0) : 0.0;
    for (int e = 0; e < kControlKeyEntries; ++e) {
      row[e] = keys.row[lower][e] + w * (keys.row[upper][e] - keys.row[lower][e]);
    }
  }
  for (int e = 1; e <= 17; ++e) model.parameters[100 + e] = row[e];
  for (int e = 18; e <= 20; ++e) model.parameters[103 + e] = row[e];
  model.parameters[123] -= 20.0;
}

// Sets the step grid from the PWM statement; returns 0 or 51 after a refusal.
int synchronisePwm(Model& model, Run& run, Reporter& reporter, RunHost& host, const TimeLine& line) {
  run.pwmStepsPerPart = 1;
  if (model.pwmStatement <= 0) {
    run.pwmPeriod = 0.0;
    run.stepsPerOutput = 1;
    run.hSim = run.dt;
    return 0;
  }
  // Row 8 of ".t": each on- and off-part in K equal steps (absent: one step).
  const double parts = model.timeConditions[kPwmStepsCondition];
  if (parts != 0.0) {
    if (!(parts >= 1 && parts <= kMostPwmStepsPerPart) || parts != std::floor(parts)) {
      reporter.modelError(" pwm の分割数が？ (1～%d の整数)  %e \n\n %s", kMostPwmStepsPerPart,
                          parts, line.text);
      return kRunRefused;
    }
    run.pwmStepsPerPart = static_cast<int>(parts);
  }
  const double f = model.timeConditions[8];
  double period = 0.0;
  if (f > 0) {
    if (f > 1e6) {
      reporter.modelError("pwm周波数が大き過ぎ？  >1MHz？ \n\n %s", line.text);
      return kRunRefused;
    }
    const int k = static_cast<int>(f * run.dt);
    if (std::fabs(f * run.dt - k) > 1e-9 || k == 0) {
      reporter.modelError("pwm周波数*dt が整数でない？　%e \n\n %s", f * run.dt - k, line.text);
      return kRunRefused;
    }
    period = run.dt / k;
  } else {
    // The period is a field of the PWM statement: evaluate the statements once so
    // that it holds its starting value.
    model.parameters[1] = run.t0;
    if (runFormulaPass(model, run, reporter, kFormulaStatements) > 0) return kRunRefused;
    period = pwmStatementPeriod(model);
    if (period <= 0) {
      reporter.modelError("pwm周波数が？　\n\n %s", line.text);
      return kRunRefused;
    }
    if (period > run.dt) {
      reporter.modelError("pwm周期が刻み巾より大きい？　\n\n %s", line.text);
      return kRunRefused;
    }
    if (period < 1e-6) {
      reporter.modelError("pwm周期が小さ過ぎ？　\n\n %s", line.text);
      return kRunRefused;
    }
    const int k = nearestInteger(run.dt / period);
    if (std::fabs(run.dt - k * period) > 1e-9) {
      period = run.dt / k;
      if (run.handOverMode == 1) {
        reporter.modelError("刻み巾が pwm 周期の整数倍でない？   P=%e で計算？ \n\n %s", period, line.text);
        return kRunRefused;
      }
      char notice[96];
      std::snprintf(notice, sizeof notice, "      <注意：pwm 周期 P=%e で計算>", period);
      host.appendTitleNotice(notice);
    }
  }
  run.pwmPeriod = period;
  run.hSim = period / (2 * run.pwmStepsPerPart);
  run.stepsPerOutput = nearestInteger(run.dtOut / run.hSim);
  if (run.stepsPerOutput < 1) run.stepsPerOutput = 1;
  run.method = 1;
  return 0;
}

int startNewRun(Model& model, Run& run, Reporter& reporter, RunHost& host) {
  run.running = 1;
  const TimeLine line = timeLineOf(model);
  const double* condition = model.timeConditions;
  run.method = static_cast<int>(condition[1]);
  run.t0 = condition[2];
  run.t1 = condition[3];
  run.dt = condition[4];
  int interval = boundedInteger(condition[5]);
  run.tolerance = condition[7] <= 0 ? 1e-6 : condition[7];
  if (model.replayMode != 0) run.t1 = recordedEndTime(model, run.t0, run.dt);

  if (run.t1 - run.t0 < interval * run.dt) {
    reporter.modelError("出力の間隔が広過ぎ？　\n\n %s", line.text);
    return kRunRefused;
  }
  run.dtOut = run.dt;
  if (run.dt < 1e-9) {
    reporter.modelError("刻み巾 dt が小さ過ぎ？　%d  %e \n\n %s", line.record, run.dt, line.text);
    return kRunRefused;
  }
  if (run.t0 == run.t1) run.dt = 1.0;
  if (synchronisePwm(model, run, reporter, host, line) != 0) return kRunRefused;
  if (run.method < 0 || run.method > 2 || run.t0 > run.t1 || run.hSim < 0) {
    reporter.modelError(" .t が？　　範囲外の値 \n\n %s", line.text);
    return kRunRefused;
  }
  for (int i = 1; i < kOutputSlots; ++i) {
    run.outputHigh[i] = -1e38;
    run.outputLow[i] = 1e38;
    run.outputUntracked[i] = false;
  }
  // Counted in doubles first: a count past the int range used to wrap round, and
  // the run then took a single step and called that a success.
  const double steps = run.hSim > 0 ? std::floor((run.t1 - run.t0) / run.hSim + 0.5) : 1.0;
  if (!(steps <= kMostSteps)) {
    reporter.modelError(" .t が？　　刻みの数が多過ぎる  %.3e > %d \n\n %s", steps, kMostSteps, line.text);
    return kRunRefused;
  }
  run.stepCount = static_cast<int>(steps);
  if (run.stepCount < 1) {
    run.stepCount = 1;
    interval = 1;
  }
  if (interval < 1) interval = 1;
  run.outputIntervalChanged = false;
  // The interval counts PWM halves however many steps each takes, so frames stay at
  // the ends of the halves.
  const int stepsPerPart = run.pwmStepsPerPart;
  if (run.stepCount / stepsPerPart / interval > kFrameLimit) {
    interval = frameLimitInterval(run.stepCount / stepsPerPart);
    if (interval == 0) {
      reporter.modelError(" .t が？　　出力点が多過ぎる \n\n %d", kIntervalSearchLimit);
      return kRunRefused;
    }
    run.outputIntervalChanged = true;
  }
  run.outputInterval = interval * stepsPerPart;
  if (run.handOverMode == 1) run.t1 = run.t0;

  const int frames = run.stepCount / interval > 0 ? run.stepCount / interval : 1;
  double duration = condition[6];
  if (duration == kAbsentPlayback) {
    duration = 10.0;
  } else if (duration == 0) {
    duration = run.t1 - run.t0;
  } else if (duration < 0) {
    duration = (run.t1 - run.t0) / -duration;
  }
  // Compared as a real: a huge or NaN duration must not reach an int conversion.
  const double period = duration * 1000 / frames;
  run.playbackPeriodMs = period >= 1 ? static_cast<int>(std::min(period, kLongestPlaybackPeriodMs)) : 1;
  run.ticksPerThird = 333 / run.playbackPeriodMs;

  const OutputItem& first = model.outputs[1];
  if (first.componentDigit == 0 && (first.slot == 1 || first.slot == -1)) {
    run.outputLow[1] = run.t0;
    run.outputHigh[1] = run.t0 + run.stepCount * run.hSim;
    run.outputUntracked[1] = true;
  }
  run.kt = 0;
  run.lagging = false;
  run.nominalSteps = 0;
  run.consecutiveFailures = 0;
  run.lastFailureStep = -1;
  run.pacingClock = host.nowMs();
  run.pacingStep = 0;
  run.repaintInterval = interval;
  run.t = run.tPrev = run.tPrev2 = run.t0;
  run.frameCount = frames;
  run.frameCursor = -1;
  run.totalIterations = 0;
  run.totalHalvings = 0;
  return 0;
}

// Steps 1 to 7 of an output step before the attempt; returns 0 or kRunStopped.
int prepareOutputStep(Model& model, Run& run, Reporter& reporter) {
  run.repaintInterval = run.outputInterval;
  if (run.fastForwardCount > 0) run.repaintInterval *= 11;
  if (model.replayMode == 1) run.repaintInterval *= 11000;
  run.frameCount = run.stepCount / run.outputInterval;
  replayControlKeys(model, run);
  // Step kt lies in PWM half `part` (kt 0, the starting solution, is half 0); the
  // output step, its formulas and its duty begin with the first step of a half.
  const int stepsPerPart = run.pwmStepsPerPart;
  const int part = run.kt == 0 ? 0 : (run.kt - 1) / stepsPerPart + 1;
  const bool startsPart = run.kt == 0 || (run.kt - 1) % stepsPerPart == 0;
  const int partsPerOutput = run.stepsPerOutput / stepsPerPart > 0 ? run.stepsPerOutput / stepsPerPart : 1;
  const bool startsOutputStep = startsPart && part % partsPerOutput == 0;
  run.pwmPartStarts = startsPart;
  run.pwmPartEnds = run.kt == 0 || run.kt % stepsPerPart == 0;
  if (startsOutputStep) {
    model.parameters[1] = run.kt == 0 ? run.t0 : run.t + run.dtOut;
    if (runFormulaPass(model, run, reporter, kFormulaStatements) > 0) {
      run.runEnded = 1;
      return kRunStopped;
    }
  }
  if (run.pwmPeriod <= 0) {
    run.tTarget = run.t0 + run.kt * run.hSim;
    run.pwmSubStep = run.hSim;
  } else {
    if (startsOutputStep) {
      run.pwmDutyNow = pwmDuty(model);
      if (run.pwmDutyNow < 0.01) run.pwmDutyNow = 0.01;
      if (run.pwmDutyNow > 0.99) run.pwmDutyNow = 0.99;
    }
    const double duty = run.pwmDutyNow;
    const bool onPart = part % 2 == 0;
    const double partLength = onPart ? run.pwmPeriod * duty : (1 - duty) * run.pwmPeriod;
    const double length = partLength / stepsPerPart;
    double switchEntry = onPart ? 1.0 : 0.0;
    if (duty == 0.01) switchEntry = 0.0;
    if (duty == 0.99) switchEntry = 1.0;
    model.pwmState[0] = switchEntry;
    // The PWM statement's own id carries the switch signal for the model.
    model.parameters[model.parameterStatements[model.pwmStatement].id] = switchEntry;
    run.pwmSubStep = length;
    run.tTarget = run.kt == 0 ? run.t0 : run.tTarget + length;
  }
  run.halvings = 0;
  run.t = run.tTarget;
  return 0;
}

void endRunBookkeeping(Model& model, Run& run, RunHost& host) {
  run.savedInteractionMode = run.interactionMode;
  run.savedFrameCursor = run.frameCursor;
  run.savedCurrentFrame = run.currentFrame;
  run.running = 0;
  run.lagging = false;
  if (run.interactionMode == 2) {
    run.interactionMode = 0;
    run.frameCount = run.frameCursor;
    run.lastFrame = run.frameCursor;
    run.outputLow[1] = 0;
    run.outputHigh[1] = run.currentFrame;
    run.outputUntracked[1] = true;
    const int previousCurrent = run.currentFrame;
    run.currentFrame = run.frameCursor;
    run.frameCursor = run.frameCursor + 1 > 0 ? (previousCurrent + 1) % (run.frameCursor + 1) : 0;
  } else if (run.interactionMode == 1) {
    run.interactionMode = 0;
    run.lastFrame = run.frameCursor;
    if (run.frameCursor > run.frameCount) {
      run.lastFrame = run.frameCount;
      const double time = model.parameters.get(1);
      run.outputLow[1] = time - run.stepCount * run.hSim;
      run.outputHigh[1] = time;
      run.outputUntracked[1] = true;
      run.frameCursor = (run.currentFrame + 1) % (run.frameCount + 1);
    } else {
      run.frameCursor = 0;
    }
    run.currentFrame = run.lastFrame;
  } else {
    run.lastFrame = run.frameCursor;
    run.frameCursor = 0;
  }
  host.plotGraphs(run);
  saveState(run, run.resume);
  run.recordingFlag = 2;
  run.displayFlag = 7;
}

}  // namespace

int frameLimitInterval(int stepCount) {
  for (int interval = 1; interval < kIntervalSearchLimit; ++interval) {
    if (interval != 1 && !isOddPrime(interval)) continue;
    if (stepCount / interval <= kFrameLimit) return interval;
  }
  return 0;
}

double pwmDuty(const Model& model) { return formulaField(model, model.pwmStatement, 1); }
double pwmStatementPeriod(const Model& model) { return formulaField(model, model.pwmStatement, 2); }

int runSimulation(Model& model, Run& run, Reporter& reporter, RunHost& host) {
  if (run.runRequest < 0) {
    restoreState(run, run.resume);
    run.frameCursor = run.savedFrameCursor;
    // Playback after the pause may have moved CurrentFrame; the run goes on from
    // the frame it last wrote.
    run.currentFrame = run.savedCurrentFrame;
    run.interactionMode = run.savedInteractionMode;
    run.pacingClock = host.nowMs();
    run.pacingStep = run.kt;
    run.running = 1;
  } else {
    run.status = kRunNormal;
    if (const int refused = startNewRun(model, run, reporter, host); refused != 0) {
      run.running = 0;
      return refused;
    }
  }

  while (true) {
    if (!run.retry) host.pumpMessages(run);
    if (run.runRequest == 1) {
      run.running = 0;
      return kRunRefused;
    }
    if (run.runRequest == 2) {
      run.status = kRunStopped;
      break;
    }
    if (run.runRequest > 0) break;

    bool heldFrame = false;
    if (!run.retry) {
      if (run.interactionMode == 0) {
        if (run.holdState > 0) {
          host.waitForEvents(run, kHeldWaitMs);
          continue;
        }
      } else {
        const long long now = host.nowMs();
        const long long planned = static_cast<long long>((run.kt - run.pacingStep) * run.hSim * 1000);
        const long long lead = planned - (now - run.pacingClock);
        const bool resynchronised = run.kt <= 1 || run.fastForwardCount != run.lastFastForward ||
                                    (run.holdState == 0 && run.lastHoldState > 0);
        if (resynchronised) {
          run.pacingClock = now;
          run.pacingStep = run.kt;
        }
        run.lastFastForward = run.fastForwardCount;
        run.lastHoldState = run.holdState;
        // A held run is not late: it waits for its user. A new synchronisation
        // starts on time.
        run.lagging = run.holdState <= 0 && !resynchronised && -lead > kLagLimitMs;
        if (run.holdState > 1) {
          host.waitForEvents(run, kHeldWaitMs);
          continue;
        }
        if (run.holdState == 1) {
          heldFrame = true;
        } else if (run.kt > 1 && lead > 0 && run.fastForwardCount == 0) {
          // Ahead of real time: serve the window until the step is due.
          host.waitForEvents(run, lead);
          continue;
        }
      }
      if (!heldFrame && prepareOutputStep(model, run, reporter) != 0) {
        run.status = kRunStopped;
        break;
      }
    }

    if (!heldFrame) {
      const StepAction action = attemptStep(model, run, reporter, host);
      if (action == StepAction::Retry || action == StepAction::Continue) continue;
      if (action == StepAction::End) {
        if (run.kt == 0 && run.status == kRunRefused) {
          run.running = 0;
          return kRunRefused;
        }
        break;
      }
    }

    const int recorded = recordFrame(model, run, reporter, host);
    if (recorded == kRunRefused) {
      run.running = 0;
      return kRunRefused;
    }
    if (recorded != 0) {
      run.status = kRunStopped;
      run.runEnded = 1;
      break;
    }
    const bool interactive = run.interactionMode != 0;
    if ((run.repaintInterval > 0 && run.kt % run.repaintInterval == 0) ||
        (interactive && run.fastForwardCount == 0)) {
      host.repaint(run);
    }
    // A held frame is redrawn as often as the screen shows it, not as fast as it can be.
    if (heldFrame) host.waitForEvents(run, kDisplayFrameMs);
    if (!interactive && run.kt >= run.stepCount) {
      run.runEnded = 1;
      break;
    }
    if (run.t0 == run.t1) {
      run.runEnded = 1;  // the single solution is the whole run
      break;
    }
    if (!interactive || run.holdState <= 0) ++run.kt;
  }

  endRunBookkeeping(model, run, host);
  if (run.kt == 0 && run.status > 0) return kRunRefused;
  host.repaint(run);
  if (run.runRequest < 0) run.status = kRunResumedEnd;
  return run.status;
}

}  // namespace movra
