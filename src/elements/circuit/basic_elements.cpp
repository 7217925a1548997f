// The linear and piecewise-linear circuit elements: voltage and current source,
// resistor, capacitor, inductor, controlled switch and amplifier. Modified nodal
// analysis: a node row sums the currents flowing into the node (A); an element
// with a branch current owns that row and writes it outright.
#include <cstdint>

#include "elements/conventions.h"
#include "elements/circuit/circuit.h"

namespace movra {

namespace {

constexpr char kBadData[] = "データが？ \n\n %s";
constexpr char kBadSourceData[] = "データが？ \n\n %s \n";
constexpr char kZeroData[] = "データが０？ \n\n %s \n";
constexpr char kBadRange[] = "範囲が？ \n\n %s \n\n %e %e";

// Below this P2 a resistor marked as a switch is open.
constexpr double kSwitchClosedFloor = 0.0001;
// Smallest output and input resistance of the amplifier, ohm.
constexpr double kAmplifierResistanceFloor = 0.001;
// From this iteration on a saturated amplifier may only fall back to linear.
constexpr int kAmplifierSettlingIteration = 5;

// Symbol states of the switch in its display record.
constexpr double kSymbolConducting = 1.0;
constexpr double kSymbolOpen = 2.0;

// Integer slots of the switch (27).
constexpr int kSwitchState = 6;
constexpr int kStartingCurrentField = 3;  // of the inductor
constexpr int kSwitchClosed = 8;
constexpr int kSwitchOpen = 9;
constexpr int kSwitchRequestTime = 9;  // real slot
// Integer slots of the amplifier (35).
constexpr int kAmplifierState = 13;
constexpr int kAmplifierPreviousState = 16;
constexpr int kAmplifierLinearCount = 17;
constexpr int kAmplifierUpperCount = 18;
constexpr int kAmplifierLowerCount = 19;
// Integer slot of the capacitor (24).
constexpr int kCapacitorSettled = 15;
// Real slot with the remembered value of the convergence vote.
constexpr int kVoteMemory = 11;

void writeDisplay(Model& model, const ElementEntry& element, double flow, double across) {
  double* record = displayRecord(model, element);
  if (record == nullptr) return;
  record[kDisplayFlow] = flow;
  record[kDisplayAcross] = across;
}

// +1 V, +2 current, +3 power: the head every two-terminal record starts with.
void recordHead(ParameterStore& store, int id, double voltage, double current, double power) {
  store[id + 1] = voltage;
  store[id + 2] = current;
  store[id + 3] = power;
}

// Energy over the recorded step added to a record field.
void accumulateEnergy(ParameterStore& store, int entry, double power, const Run& run) {
  store[entry] += power * recordedStepLength(run);
}

// +4 of the sources: energy over the recorded step, restarted at step 0.
void accumulateSubStepEnergy(ParameterStore& store, int id, double power, const Run& run) {
  if (run.kt == 0) {
    store[id + 4] = 0.0;
    return;
  }
  const double length = recordedStepLength(run);
  store[id + 4] += power * length;
}

}  // namespace

// Voltage source E with series resistance R, own current i from m to n:
//   F[i] = E - (x[m] - x[n]) + R·x[i]   (V);  dF[i]/dx[m] = -1, dx[n] = +1, dx[i] = R (ohm)
//   F[m] -= x[i], F[n] += x[i]   (A);  leak 1e-9 S at m and n.
int evaluateVoltageSource(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  const double source = element->realSlots[1];
  const double resistance = element->realSlots[2];
  if (isFirstIteration(run) && resistance < 0.0) {
    return context.reporter.modelError(kBadSourceData, quotedLine(*element));
  }

  const Branch branch = branchOf(run, *element);
  setBranchRow(run, branch, source - branch.voltage + resistance * branch.current, resistance);
  stampBranchCurrent(run, branch);
  addBranchLeaks(run, branch);
  voteOwnUnknown(run, circuitTolerances(context.model), branch.i, element->realSlots[kVoteMemory]);

  if (recording(run)) {
    ParameterStore& store = context.model.parameters;
    const double power = -branch.voltage * branch.current;
    if (ownsReturnRecord(*element)) {
      const int id = element->returnBlockId;
      recordHead(store, id, branch.voltage, branch.current, power);
      accumulateSubStepEnergy(store, id, power, run);
      accumulateEnergy(store, id + 5, power, run);
      store[id + 8] = power;
      accumulateEnergy(store, id + 10, power, run);
      recordPeriodMeans(store, id, run, branch.voltage, branch.current, power);
      store[id + 20] = run.pwmSubStep;
    }
    addNetworkTotals(store, power, recordedStepLength(run));
  }
  if (displaying(run)) {
    writeDisplay(context.model, *element, branch.current, branch.voltage);
    if (double* record = displayRecord(context.model, *element)) {
      record[kDisplayFirstPotential] = run.X[branch.m];
      record[kDisplaySecondPotential] = run.X[branch.n];
    }
  }
  return 0;
}

// Current source I from m through the source to n; no own row, no leak:
//   F[m] -= I, F[n] += I   (A);  no Jacobian entries.
int evaluateCurrentSource(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  const double current = element->realSlots[1];
  const int m = unknownSlot(run, *element, 1);
  const int n = unknownSlot(run, *element, 2);
  const double voltage = run.X[m] - run.X[n];

  run.F[m] -= current;
  run.F[n] += current;
  voteChange(run, circuitTolerances(context.model), voltage, element->realSlots[kVoteMemory]);

  if (recording(run)) {
    ParameterStore& store = context.model.parameters;
    const double power = -voltage * current;
    if (ownsReturnRecord(*element)) {
      const int id = element->returnBlockId;
      recordHead(store, id, voltage, current, power);
      accumulateSubStepEnergy(store, id, power, run);
      accumulateEnergy(store, id + 5, power, run);
      store[id + 8] = power;
      accumulateEnergy(store, id + 9, power, run);
      recordPeriodMeans(store, id, run, voltage, current, power);
    }
    addNetworkTotals(store, power, recordedStepLength(run));
  }
  if (displaying(run)) writeDisplay(context.model, *element, current, voltage);
  return 0;
}

// Resistor, R = P1, or P3 for x[i] < 0 unless the statement is bidirectional or
// leaves P3 out:
//   F[i] = R·x[i] - (x[m] - x[n])   (V);  dF[i]/dx[m] = -1, dx[n] = +1, dx[i] = R (ohm)
//   open (marked as a switch with P2 < 0.0001): F[i] = x[i] (A), dF[i]/dx[i] = 1
//   F[m] -= x[i], F[n] += x[i] when not open (A);  leak 1e-9 S at m and n.
int evaluateResistor(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  const double forward = element->realSlots[1];
  const double switchState = element->realSlots[2];
  const double backward = element->realSlots[3];
  if (isFirstIteration(run) && (forward < 0.0 || backward < 0.0)) {
    return context.reporter.modelError(kBadData, quotedLine(*element));
  }

  const Branch branch = branchOf(run, *element);
  // The statement's flags live in its record, far from the element entry: read them
  // only when the element's own slots leave the answer open.
  const bool open = switchState < kSwitchClosedFloor &&
                    (statementFlags(context.model, *element) & kRecordMarkedAsSwitch) != 0;
  // A resistor written without a reverse value is the same both ways: a missing P3
  // must not turn it into a short for negative current.
  const bool bidirectional = element->empty[3] == 1 ||
                             (statementFlags(context.model, *element) & kRecordBidirectional) != 0;
  const double resistance = !bidirectional && branch.current < 0.0 ? backward : forward;
  if (open) {
    setOpenBranchRow(run, branch);
  } else {
    setBranchRow(run, branch, resistance * branch.current - branch.voltage, resistance);
    stampBranchCurrent(run, branch);
  }
  addBranchLeaks(run, branch);
  voteChange(run, circuitTolerances(context.model), branch.current,
             element->realSlots[kVoteMemory]);

  if (recording(run)) {
    ParameterStore& store = context.model.parameters;
    const double power = -branch.voltage * branch.current;
    if (ownsReturnRecord(*element)) {
      const int id = element->returnBlockId;
      recordHead(store, id, branch.voltage, branch.current, power);
      accumulateEnergy(store, id + 5, power, run);
      store[id + 6] = resistance;
      store[id + 8] = power;
      accumulateEnergy(store, id + 10, power, run);
      recordPeriodMeans(store, id, run, branch.voltage, branch.current, power);
    }
    addNetworkTotals(store, power, recordedStepLength(run));
  }
  if (displaying(run)) writeDisplay(context.model, *element, branch.current, branch.voltage);
  return 0;
}

// Capacitor C with its 1e-12 S parallel leak, current q from m to n:
//   q = C·a0·((x[m] - H[m]) - (x[n] - H[n])) + 1e-12·(x[m] - x[n])   (A)
//   F[m] -= q, F[n] += q;  dq/dx[m] = -dq/dx[n] = C·a0 + 1e-12 (S).
int evaluateCapacitor(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  const double capacitance = element->realSlots[1];
  if (isFirstIteration(run) && capacitance < 0.0) {
    return context.reporter.modelError(kBadData, quotedLine(*element));
  }

  const int m = unknownSlot(run, *element, 1);
  const int n = unknownSlot(run, *element, 2);
  const double voltage = run.X[m] - run.X[n];
  const double a0 = run.a0();
  const double change = (run.X[m] - historyOf(run, m)) - (run.X[n] - historyOf(run, n));
  const double current = capacitance * a0 * change + kCapacitorLeak * voltage;
  const double conductance = capacitance * a0 + kCapacitorLeak;
  run.F[m] -= current;
  run.F[n] += current;
  run.jacobian(m, m) -= conductance;
  run.jacobian(m, n) += conductance;
  run.jacobian(n, m) += conductance;
  run.jacobian(n, n) -= conductance;
  if (!voteChange(run, circuitTolerances(context.model), current,
                  element->realSlots[kVoteMemory])) {
    element->variableSlots[kCapacitorSettled] = 1;
  }

  if (recording(run) && ownsReturnRecord(*element)) {
    ParameterStore& store = context.model.parameters;
    const int id = element->returnBlockId;
    const double power = voltage * current;
    recordHead(store, id, voltage, current, power);
    accumulateEnergy(store, id + 5, power, run);
  }
  if (displaying(run)) writeDisplay(context.model, *element, current, voltage);
  return 0;
}

// Inductor L with series resistance R, own current i from m to n:
//   F[i] = L·a0·(x[i] - H[i]) - (x[m] - x[n]) + R·x[i]   (V)
//   dF[i]/dx[m] = -1, dx[n] = +1, dx[i] = L·a0 + R (ohm);  node rows and leak as the source.
// With a starting current i0 (P3), the starting solution holds it instead:
//   F[i] = x[i] - i0 (A), J[i][i] = 1.
int evaluateInductor(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  const double inductance = element->realSlots[1];
  const double resistance = element->realSlots[2];
  if (isFirstIteration(run) && (inductance < 0.0 || resistance < 0.0)) {
    return context.reporter.modelError(kBadData, quotedLine(*element));
  }

  const Branch branch = branchOf(run, *element);
  const double a0 = run.a0();
  const double induced = inductance * a0 * (branch.current - historyOf(run, branch.i));
  if (run.kt == 0 && element->given[kStartingCurrentField] == 1) {
    setOpenBranchRow(run, branch);
    run.F[branch.i] -= element->realSlots[kStartingCurrentField];
  } else {
    setBranchRow(run, branch, induced - branch.voltage + resistance * branch.current,
                 inductance * a0 + resistance);
  }
  stampBranchCurrent(run, branch);
  addBranchLeaks(run, branch);
  voteOwnUnknown(run, circuitTolerances(context.model), branch.i, element->realSlots[kVoteMemory]);

  if (recording(run) && ownsReturnRecord(*element)) {
    ParameterStore& store = context.model.parameters;
    const int id = element->returnBlockId;
    const double power = branch.voltage * branch.current;
    store[id] = branch.voltage;
    recordHead(store, id, branch.voltage, branch.current, power);
    accumulateEnergy(store, id + 5, power, run);
  }
  if (displaying(run)) writeDisplay(context.model, *element, branch.current, branch.voltage);
  return 0;
}

namespace {

// Contacts of the controlled switch, decided once per step from the control
// value P6. With a delay P3 the states are 0 open, 1 closed, 11 closing and 10
// opening; while a request waits both contacts are open, and the request time is
// kept in real slot 9. Without a delay the contacts follow the thresholds P1 and
// P2 directly and keep their flags between them.
void updateContacts(ElementEntry& element, double time) {
  int32_t* state = element.variableSlots;
  double* p = element.realSlots;
  const double control = p[6];
  if (p[3] != 0.0) {
    if (state[kSwitchState] == 0) {
      state[kSwitchClosed] = 0;
      state[kSwitchOpen] = 1;
      if (control > p[1]) {
        state[kSwitchState] = 11;
        p[kSwitchRequestTime] = time;
      }
    }
    if (state[kSwitchState] == 1) {
      state[kSwitchClosed] = 1;
      state[kSwitchOpen] = 0;
      if (!(control > p[2])) {
        state[kSwitchState] = 10;
        p[kSwitchRequestTime] = time;
      }
    }
    if (state[kSwitchState] == 10 || state[kSwitchState] == 11) {
      state[kSwitchClosed] = 0;
      state[kSwitchOpen] = 0;
      if (time - p[kSwitchRequestTime] >= p[3]) state[kSwitchState] %= 10;
    }
    return;
  }
  if (control > p[1]) {
    state[kSwitchClosed] = 1;
    state[kSwitchOpen] = 0;
  }
  if (!(control > p[2])) {
    state[kSwitchClosed] = 0;
    state[kSwitchOpen] = 1;
  }
}

}  // namespace

// Controlled switch, closed resistance P4, own current i from m to n:
//   conducting: F[i] = P4·x[i] - (x[m] - x[n]) (V); dF[i]/dx[m] = -1, dx[n] = +1, dx[i] = P4
//   not conducting: F[i] = x[i] (A), dF[i]/dx[i] = 1;  node rows as the source, leak always.
int evaluateSwitch(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  const double* p = element->realSlots;
  if (isFirstIteration(run) && (!(p[1] >= p[2]) || p[3] < 0.0 || p[4] < 0.0)) {
    return context.reporter.modelError(kBadData, quotedLine(*element));
  }
  int32_t* state = element->variableSlots;
  if (run.initialPass != 0) state[kSwitchState] = 0;
  if (isFirstIteration(run)) updateContacts(*element, context.model.parameters.get(kTimeEntry));
  const bool conducting = (p[5] == 0.0 ? state[kSwitchClosed] : state[kSwitchOpen]) != 0;

  const Branch branch = branchOf(run, *element);
  if (conducting) {
    setBranchRow(run, branch, p[4] * branch.current - branch.voltage, p[4]);
    stampBranchCurrent(run, branch);
  } else {
    setOpenBranchRow(run, branch);
  }
  addBranchLeaks(run, branch);
  voteChange(run, circuitTolerances(context.model), branch.current,
             element->realSlots[kVoteMemory]);

  if (recording(run) && ownsReturnRecord(*element)) {
    ParameterStore& store = context.model.parameters;
    const int id = element->returnBlockId;
    recordHead(store, id, branch.voltage, branch.current, -branch.voltage * branch.current);
    store[id + 5] = p[6];
    store[id + 6] = conducting ? 1.0 : 0.0;
    store[id + 10] = p[7];
    store[id + 11] = p[6];
    store[id + 12] = store.get(storeIdOf(p[7]));
    store[id + 13] = p[1];
    store[id + 14] = p[2];
    store[id + 15] = p[3];
    store[id + 16] = p[5];
    store[id + 18] = state[kSwitchClosed];
    store[id + 19] = state[kSwitchOpen];
  }
  if (displaying(run)) {
    writeDisplay(context.model, *element, branch.current, branch.voltage);
    if (double* record = displayRecord(context.model, *element)) {
      record[kDisplayState] = conducting ? kSymbolConducting : kSymbolOpen;
    }
  }
  return 0;
}

// Amplifier, inputs a and b, output node c, output current d into c:
//   F[a] -= (x[a] - x[b])/P5, F[b] += (x[a] - x[b])/P5   (A; input resistance P5)
//   linear: F[d] = (A·(x[a] - x[b]) - x[c])/P4 - x[d] (A); dx[a] = A/P4, dx[b] = -A/P4,
//   dx[c] = -1/P4, dx[d] = -1;  at a limit: F[d] = x[c] - P1 or x[c] - P2 (V), dx[c] = 1
//   F[c] += x[d] (A), dF[c]/dx[d] = 1.
int evaluateAmplifier(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  const double upper = element->realSlots[1];
  const double lower = element->realSlots[2];
  const double gain = element->realSlots[3];
  const double outputResistance = element->realSlots[4];
  const double inputResistance = element->realSlots[5];
  if (isFirstIteration(run)) {
    if (!(gain > 0.0 && outputResistance > kAmplifierResistanceFloor &&
          inputResistance > kAmplifierResistanceFloor)) {
      return context.reporter.modelError(kZeroData, quotedLine(*element));
    }
    if (!(upper > lower)) {
      return context.reporter.modelError(kBadRange, quotedLine(*element), upper, lower);
    }
  }
  int32_t* state = element->variableSlots;
  if (run.initialPass != 0) state[kAmplifierPreviousState] = 0;
  if (isFirstIteration(run)) {
    state[kAmplifierLinearCount] = 0;
    state[kAmplifierUpperCount] = 0;
    state[kAmplifierLowerCount] = 0;
  }

  const int a = unknownSlot(run, *element, 1);
  const int b = unknownSlot(run, *element, 2);
  const int c = unknownSlot(run, *element, 3);
  const int d = unknownSlot(run, *element, 4);
  const double input = run.X[a] - run.X[b];
  const double inputConductance = 1.0 / inputResistance;
  run.F[a] -= input * inputConductance;
  run.jacobian(a, a) -= inputConductance;
  run.jacobian(a, b) += inputConductance;
  run.F[b] += input * inputConductance;
  run.jacobian(b, a) += inputConductance;
  run.jacobian(b, b) -= inputConductance;

  const bool unsettled =
      voteChange(run, circuitTolerances(context.model), run.X[d], element->realSlots[kVoteMemory]);
  // The would-be output voltage decides the state; late in an unsettled iteration a
  // saturated output may only fall back to linear, so it cannot swing between limits.
  const double wouldBe = gain * input - outputResistance * run.X[d];
  int saturation = wouldBe > upper ? 1 : (wouldBe < lower ? -1 : 0);
  if (run.iteration > kAmplifierSettlingIteration && unsettled) {
    if (state[kAmplifierPreviousState] == 1) saturation = wouldBe > upper ? 1 : 0;
    if (state[kAmplifierPreviousState] == -1) saturation = wouldBe < lower ? -1 : 0;
  }
  state[kAmplifierPreviousState] = saturation;
  state[kAmplifierState] = saturation;

  run.jacobian(d, a) = 0.0;
  run.jacobian(d, b) = 0.0;
  run.jacobian(d, c) = 0.0;
  run.jacobian(d, d) = 0.0;
  if (saturation == 0) {
    ++state[kAmplifierLinearCount];
    run.F[d] = (gain * input - run.X[c]) / outputResistance - run.X[d];
    run.jacobian(d, d) -= 1.0;
    run.jacobian(d, c) -= 1.0 / outputResistance;
    run.jacobian(d, a) += gain / outputResistance;
    run.jacobian(d, b) -= gain / outputResistance;
  } else {
    ++state[saturation > 0 ? kAmplifierUpperCount : kAmplifierLowerCount];
    run.F[d] = run.X[c] - (saturation > 0 ? upper : lower);
    run.jacobian(d, c) += 1.0;
  }
  run.F[c] += run.X[d];
  run.jacobian(c, d) += 1.0;

  if (recording(run) && ownsReturnRecord(*element)) {
    ParameterStore& store = context.model.parameters;
    const int id = element->returnBlockId;
    store[id + 1] = run.X[c];
    store[id + 2] = run.X[d];
    store[id + 3] = run.X[c] * run.X[d];
    store[id + 4] = input;
    store[id + 5] = saturation;
  }
  if (displaying(run)) writeDisplay(context.model, *element, run.X[d], run.X[c]);
  return 0;
}

}  // namespace movra
