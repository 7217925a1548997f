// Magnetic cores with piecewise-linear hysteresis. The field H = (x[m] - x[n])/l
// (A/m) sets the flux density B (T) on one of five straight branches:
//   0   recoil line through the reversal point, slope μ_a
//  ±1   steep branches B = μ_s·(H ∓ H_c), slope μ_s
//  ±2   saturation beyond ±R, slope μ0
// The reversal point is the last converged working point, so a field that keeps
// rising stays on its branch and any reversal starts a recoil line from where the
// core was; the recoil line joins a steep branch where it meets it. A saturated
// working point leaves the knee as its reversal point, since a reversal there runs
// back along the saturation line first.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "elements/conventions.h"
#include "elements/magnetic/magnetic.h"

namespace movra {

namespace {

constexpr char kBadData[] = "データが？ \n\n %s";
// The steep slope must exceed the recoil slope, or the loop has no knee.
constexpr char kBadSlopes[] = " 急な枝の比透磁率が回復線の比透磁率以下？ %e %e \n\n %s";

constexpr char kBadMaterialData[] = "データが？ %e %e %e \n\n %s";
constexpr char kEmptyMaterial[] = "データが空？ \n\n %s";

constexpr double kShortestPath = 1e-9;       // m
constexpr double kDefaultSteepRatio = 10;    // codes 28, 68: μ_s = 10·μ_a when P6 = 0
constexpr double kDefaultRecoilRatio = 0.1;  // code 69: μ_rec = 0.1·μ_st when P6 = 0
constexpr double kNoRemanenceLimit = 1e12;   // T, B_r of a material without remanence

// Code 69: field 9 names the material statement, a lookup table whose first row
// holds four flags; they are kept in integer slots 21..24.
constexpr int kMaterialField = 9;
constexpr int kMaterialFlags = 4;
constexpr int kMaterialSlot = 21;
constexpr int kTableTypeCode = 80;
// What a code-69 material selects.
constexpr int kHysteresisMode = 0;
constexpr int kLinearMode = 1;
constexpr int kSteepMode = 2;
constexpr int kSteepState = 7;   // state code of B = μ_st·H
constexpr int kLinearState = 9;  // state code of B = μ_rec·H + P8

// Real slots: flux of the vote, the reversal point, the offset already applied.
constexpr int kVoteMemory = 11;
constexpr int kReversalField = 17;
constexpr int kReversalDensity = 18;
constexpr int kAppliedOffset = 19;
// Integer slots: branch state of this and of the previous iteration.
constexpr int kState = 13;
constexpr int kPreviousState = 16;

// Symbol states of the schematic: on a steep branch, saturated.
constexpr double kSymbolSteep = 1.0;
constexpr double kSymbolSaturated = 3.0;

struct Loop {
  double recoil = 0.0;       // μ_a, H/m
  double steep = 0.0;        // μ_s
  double remanence = 0.0;    // B_r, T
  double coercivity = 0.0;   // H_c, A/m
  double knee = 0.0;         // R = (B_r + μ_s·H_c)/(μ_s - μ_a), A/m
  double kneeDensity = 0.0;  // B_R = B_r + μ_a·R
};

struct WorkingPoint {
  double density = 0.0;  // B
  double slope = 0.0;    // dB/dH
  int state = 0;
};

// The branch a field H takes from the previous state s, with the switching fields
// of the present recoil line.
int nextState(int s, double h, double up, double low, double knee) {
  switch (s) {
    case 1:
      return h > up ? (h > knee ? 2 : 1) : 0;
    case 2:
      return h >= knee ? 2 : 0;
    case -1:
      return h >= low ? 0 : (h < -knee ? -2 : -1);
    case -2:
      return h <= -knee ? -2 : 0;
    default:
      return h >= up ? 1 : (h >= low ? 0 : -1);
  }
}

WorkingPoint branchLaw(const Loop& loop, int state, double h, double reversalH, double reversalB) {
  switch (state) {
    case 1:
      return {loop.steep * (h - loop.coercivity), loop.steep, 1};
    case -1:
      return {loop.steep * (h + loop.coercivity), loop.steep, -1};
    case 2:
      return {loop.kneeDensity + kVacuumPermeability * (h - loop.knee), kVacuumPermeability, 2};
    case -2:
      return {-loop.kneeDensity + kVacuumPermeability * (h + loop.knee), kVacuumPermeability, -2};
    default:
      return {reversalB + loop.recoil * (h - reversalH), loop.recoil, 0};
  }
}

// Steps 3 to 5 of the law: hold the recoil intercept within ±B_r, find the
// switching fields, move the state and take its branch. Keeps state and reversal.
WorkingPoint followLoop(ElementEntry& element, const Loop& loop, double h) {
  double* p = element.realSlots;
  int32_t* s = element.variableSlots;
  // Without remanence and coercivity the loop has no width: the steep branches and
  // the knee fall on the origin, and the core is its recoil line through 0.
  if (loop.remanence == 0.0 && loop.coercivity == 0.0) {
    s[kState] = 0;
    s[kPreviousState] = 0;
    return {loop.recoil * h, loop.recoil, 0};
  }
  const double intercept = p[kReversalDensity] - loop.recoil * p[kReversalField];
  if (intercept > loop.remanence || intercept < -loop.remanence) {
    p[kReversalField] = 0.0;
    p[kReversalDensity] = intercept > 0.0 ? loop.remanence : -loop.remanence;
    s[kPreviousState] = 0;
  }
  const double span = loop.steep - loop.recoil;
  const double line = p[kReversalDensity] - loop.recoil * p[kReversalField];
  const double up = (line + loop.steep * loop.coercivity) / span;
  const double low = (line - loop.steep * loop.coercivity) / span;
  const int state = nextState(s[kPreviousState], h, up, low, loop.knee);
  s[kState] = state;
  s[kPreviousState] = state;
  return branchLaw(loop, state, h, p[kReversalField], p[kReversalDensity]);
}

// What one pass of a core works with, after its data were read and checked.
struct CoreData {
  double area = 0.0;    // A, m²
  double length = 0.0;  // l, m
  double offset = 0.0;  // B_0 of codes 28 and 68, T
  Loop loop;
  int mode = kHysteresisMode;
  double linearOffset = 0.0;  // B at H = 0 in the linear mode, T
};

WorkingPoint workingPoint(ElementEntry& element, const CoreData& core, double field) {
  switch (core.mode) {
    case kLinearMode:
      element.variableSlots[kState] = kLinearState;
      return {core.loop.recoil * field + core.linearOffset, core.loop.recoil, kLinearState};
    case kSteepMode:
      element.variableSlots[kState] = kSteepState;
      return {core.loop.steep * field, core.loop.steep, kSteepState};
    default:
      break;
  }
  double* p = element.realSlots;
  if (core.offset != p[kAppliedOffset]) {
    // The step on the offset line is a recoil line: the next one starts from state 0.
    element.variableSlots[kState] = 0;
    element.variableSlots[kPreviousState] = 0;
    return {core.offset + core.loop.recoil * field, core.loop.recoil, 0};
  }
  return followLoop(element, core.loop, field);
}

// Steps shared by every core: the law, the stamps, the leak, the vote, and on the
// recording pass the reversal point, the totals and the record.
int stampCore(EvaluationContext& context, ElementEntry& element, const CoreData& core) {
  Run& run = context.run;
  double* p = element.realSlots;
  if (run.initialPass != 0) {
    p[kVoteMemory] = 0.0;
    p[kReversalField] = 0.0;
    p[kReversalDensity] = 0.0;
    p[kAppliedOffset] = 0.0;
    element.variableSlots[kState] = 0;
    element.variableSlots[kPreviousState] = 0;
  }
  const int m = unknownSlot(run, element, 1);
  const int n = unknownSlot(run, element, 2);
  const double drop = run.X[m] - run.X[n];
  const double field = drop / core.length;
  const WorkingPoint point = workingPoint(element, core, field);

  const double flux = core.area * point.density;
  const double permeance = core.area * point.slope / core.length;
  run.F[n] += flux;
  run.jacobian(n, m) += permeance;
  run.jacobian(n, n) -= permeance;
  run.F[m] -= flux;
  run.jacobian(m, m) -= permeance;
  run.jacobian(m, n) += permeance;
  const double leak = context.model.parameters.get(kMagneticLeakEntry);
  for (int node : {m, n}) {
    run.F[node] -= leak * run.X[node];
    run.jacobian(node, node) -= leak;
  }
  voteChange(run, circuitTolerances(context.model), flux, p[kVoteMemory]);

  if (recording(run)) {
    const double intercept = p[kReversalDensity] - core.loop.recoil * p[kReversalField];
    if (point.state == 2 || point.state == -2) {
      // The saturation line runs back to the knee: the recoil line that leaves it
      // starts there, however far beyond the knee the step that leaves ends. From
      // the saturated point itself it would lie lower the longer that step, and
      // could even meet the rising steep branch on the way down.
      const double side = point.state > 0 ? 1.0 : -1.0;
      p[kReversalField] = side * core.loop.knee;
      p[kReversalDensity] = side * core.loop.kneeDensity;
    } else {
      p[kReversalField] = field;
      p[kReversalDensity] = point.density;
    }
    p[kAppliedOffset] = core.offset;
    const double change = (run.X[m] - historyOf(run, m)) - (run.X[n] - historyOf(run, n));
    const double power = drop * permeance * run.a0() * change;
    ParameterStore& store = context.model.parameters;
    store[kMagneticPowerTotalEntry] += power;
    store[kAllPowerTotalEntry] += power;
    store[kMagneticEnergyTotalEntry] += power * recordedStepLength(run);
    store[kAllEnergyTotalEntry] += power * recordedStepLength(run);
    if (ownsReturnRecord(element)) {
      const int id = element.returnBlockId;
      store[id + 1] = field;
      store[id + 2] = point.density;
      store[id + 3] = drop;
      store[id + 4] = flux;
      store[id + 5] = point.density * field;
      store[id + 6] = p[4];
      store[id + 7] = run.X[m];
      store[id + 8] = run.X[n];
      store[id + 9] = power;
      store[id + 11] = core.offset;
      store[id + 12] = intercept;
      store[id + 13] = point.state;
      store[id + 14] = core.loop.steep;
      store[id + 15] = core.loop.recoil;
      store[id + 16] = point.state;
      store[id + 17] = core.loop.knee;
      store[id + 70] = drop * flux / 2.0;
    }
  }
  if (displaying(run)) {
    if (double* record = displayRecord(context.model, element)) {
      record[kDisplayFlow] = flux;
      record[kDisplayAcross] = drop;
      const int state = point.state < 0 ? -point.state : point.state;
      record[kDisplayState] = state == 2 ? kSymbolSaturated : (state == 1 ? kSymbolSteep : 0.0);
    }
  }
  return 0;
}

// The knee and its flux density from the slopes, B_r and H_c.
void closeLoop(Loop& loop) {
  loop.knee = (loop.remanence + loop.steep * loop.coercivity) / (loop.steep - loop.recoil);
  loop.kneeDensity = loop.remanence + loop.recoil * loop.knee;
}

// The first lookup table (":u ID") with that id, or nullptr.
const ParameterStatement* tableWithId(const Model& model, double id) {
  if (!std::isfinite(id) || id < 100.0 || id != std::nearbyint(id)) return nullptr;
  const int count = std::min(model.count.parameterStatements, kParameterStatementCapacity - 1);
  for (int s = 1; s <= count; ++s) {
    const ParameterStatement& statement = model.parameterStatements[s];
    if (statement.typeCode == kTableTypeCode && statement.id == static_cast<int>(id)) {
      return &statement;
    }
  }
  return nullptr;
}

// The four flags of a material statement's first row into the integer slots; false
// when the statement is missing or its row is short.
bool readMaterial(const Model& model, ElementEntry& element) {
  const ParameterStatement* material = tableWithId(model, element.realSlots[kMaterialField]);
  if (material == nullptr || material->rowCount < 1 ||
      material->returnValueCount + 1 < kMaterialFlags) {
    return false;
  }
  const int row = material->firstPoolRow;
  if (row < 0 || row >= kParameterRowPool) return false;
  for (int f = 0; f < kMaterialFlags; ++f) {
    element.variableSlots[kMaterialSlot + f] = model.parameterRows[row][f] != 0.0 ? 1 : 0;
  }
  return true;
}

}  // namespace

// Core of codes 28 and 68 between magnetic nodes m and n, flux Φ from m to n;
// P1 A (m²), P2 l (m), P3 μ_a/μ0, P4 B_r (T), P5 H_c (A/m), P6 μ_s/μ0 (0: 10·P3),
// P7 B_0 (T), applied once whenever it changes:
//   Φ = A·B(H), G = A·(dB/dH)/l (Wb/A)
//   F[n] += Φ, F[m] -= Φ;  J[n][m] += G, J[n][n] -= G, J[m][m] -= G, J[m][n] += G
//   leak g (ParameterStore -10005) at m and n.
int evaluateCore(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  const double* p = element->realSlots;
  CoreData core;
  core.area = p[1];
  core.length = p[2];
  core.loop.recoil = kVacuumPermeability * p[3];
  core.loop.remanence = p[4];
  core.loop.coercivity = p[5];
  core.loop.steep =
      p[6] == 0.0 ? kDefaultSteepRatio * core.loop.recoil : kVacuumPermeability * p[6];
  core.offset = p[7];
  if (isFirstIteration(context.run)) {
    if (core.area < 0.0 || !(core.length > 0.0) || p[3] < 0.0 || core.loop.remanence < 0.0 ||
        core.loop.coercivity < 0.0) {
      return context.reporter.modelError(kBadData, quotedLine(*element));
    }
    if (!(core.loop.steep > core.loop.recoil)) {
      return context.reporter.modelError(kBadSlopes, core.loop.steep / kVacuumPermeability, p[3],
                                         quotedLine(*element));
    }
  }
  // A pass before the first validation must not divide by zero either.
  if (!(core.loop.steep > core.loop.recoil))
    core.loop.steep = core.loop.recoil + kVacuumPermeability;
  if (core.length < kShortestPath) core.length = kShortestPath;
  closeLoop(core.loop);
  return stampCore(context, *element, core);
}

// Core of code 69, its material from a material statement (":u ID" with one row of
// four flags: remanence, coercivity, linear mode, hysteresis; P9 = ID). P1 A, P2 l,
// P3 μ_st/μ0 (> 0), P4 B_r, P5 H_c, P6 μ_rec/μ0 (0: 0.1·P3), P7 the remanence that
// sets the knee when above 0, P8 B at H = 0 of the linear mode. Same stamps as 28.
int evaluateMaterialCore(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  const double* p = element->realSlots;
  const int32_t* flags = element->variableSlots + kMaterialSlot;
  if (isFirstIteration(context.run) || context.run.initialPass != 0) {
    if (!readMaterial(context.model, *element)) {
      return context.reporter.modelError(kEmptyMaterial, quotedLine(*element));
    }
  }
  CoreData core;
  core.area = p[1];
  core.length = p[2];
  core.loop.steep = kVacuumPermeability * p[3];
  core.loop.recoil =
      p[6] == 0.0 ? kDefaultRecoilRatio * core.loop.steep : kVacuumPermeability * p[6];
  core.loop.remanence = flags[0] != 0 ? p[4] : kNoRemanenceLimit;
  core.loop.coercivity = flags[1] != 0 ? p[5] : 0.0;
  core.mode = flags[2] != 0 ? kLinearMode : (flags[3] != 0 ? kHysteresisMode : kSteepMode);
  core.linearOffset = p[8];
  if (isFirstIteration(context.run)) {
    if (!(core.area > 0.0 && core.length > 0.0 && core.loop.steep > 0.0 &&
          core.loop.remanence >= 0.0 && core.loop.coercivity >= 0.0)) {
      return context.reporter.modelError(kBadMaterialData, core.area, core.length, core.loop.steep,
                                         quotedLine(*element));
    }
    if (core.mode == kHysteresisMode && !(core.loop.steep > core.loop.recoil)) {
      return context.reporter.modelError(kBadSlopes, p[3], core.loop.recoil / kVacuumPermeability,
                                         quotedLine(*element));
    }
  }
  if (core.length < kShortestPath) core.length = kShortestPath;
  // Only the loop has a knee; the linear and the steep-only laws take their slope
  // as written, whichever of the two is larger.
  if (core.mode == kHysteresisMode) {
    // A pass before the first validation must not divide by zero.
    if (!(core.loop.steep > core.loop.recoil))
      core.loop.steep = core.loop.recoil + kVacuumPermeability;
    if (p[7] > 0.0) {
      // The knee moves to where a recoil line of intercept P7 meets the steep
      // branch; the loop's remanence is then P7 and its knee density μ_st·(R - H_c).
      core.loop.remanence = p[7];
    }
    closeLoop(core.loop);
  }
  return stampCore(context, *element, core);
}

}  // namespace movra
