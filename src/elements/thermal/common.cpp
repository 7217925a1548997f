// What the thermal evaluators share: the material table of an element, the row of
// a table at a temperature, the conductance stamp and the two-terminal record.
#include <algorithm>
#include <cmath>

#include "elements/conventions.h"
#include "elements/thermal/thermal.h"

namespace movra::thermal {

namespace {

constexpr int kTableTypeCode = 80;  // ":u"
constexpr int kLowestTableId = 100;
// The reader's mark for a value a short row did not give.
constexpr double kNotGiven = 2.225073e-308;

double cell(const Model& model, int poolRow, int column) {
  if (poolRow < 0 || poolRow >= kParameterRowPool) return 0.0;
  const double value = model.parameterRows[poolRow][column];
  return value == kNotGiven ? 0.0 : value;
}

}  // namespace

int materialTableId(const ElementEntry& element) {
  if (element.tableId >= kLowestTableId) return element.tableId;
  const double written = element.realSlots[1];
  if (std::isfinite(written) && written >= kLowestTableId && written < 1e6 &&
      written == std::nearbyint(written)) {
    return static_cast<int>(written);
  }
  return 0;
}

const ParameterStatement* lookupTable(const Model& model, int id) {
  if (id < kLowestTableId) return nullptr;
  const int count = std::min(model.count.parameterStatements, kParameterStatementCapacity - 1);
  for (int s = 1; s <= count; ++s) {
    const ParameterStatement& statement = model.parameterStatements[s];
    if (statement.typeCode == kTableTypeCode && statement.id == id && statement.rowCount >= 1) {
      return &statement;
    }
  }
  return nullptr;
}

int checkMaterialTable(EvaluationContext& context, ElementEntry& element) {
  const int id = materialTableId(element);
  if (id == 0) return context.reporter.modelError(kNoTableId, quotedLine(element));
  if (lookupTable(context.model, id) == nullptr) {
    return context.reporter.modelError(kTableNotDefined, quotedLine(element));
  }
  return 0;
}

// Linear interpolation rather than steps: the properties of air and water change
// smoothly, and a step in λ or c_p would put a kink into the Newton iteration
// whenever a node crosses a row. Outside the table the end row holds: extrapolating
// a property fitted over a range can give a negative viscosity or emissivity.
bool materialRow(const Model& model, const ParameterStatement& table, double t, double* out,
                 int values) {
  out[0] = t;
  for (int k = 1; k <= values; ++k) out[k] = 0.0;
  if (table.returnValueCount < values || table.rowCount < 1) return false;
  const int first = table.firstPoolRow;
  const int last = first + table.rowCount - 1;
  int low = first;
  int high = first;
  double weight = 0.0;
  if (!(t > cell(model, first, 0))) {  // below the table, or not a number
    low = high = first;
  } else if (t >= cell(model, last, 0)) {
    low = high = last;
  } else {
    high = first + 1;
    while (high < last && cell(model, high, 0) <= t) ++high;
    low = high - 1;
    const double t0 = cell(model, low, 0);
    const double t1 = cell(model, high, 0);
    weight = t1 > t0 ? (t - t0) / (t1 - t0) : 0.0;
  }
  for (int k = 1; k <= values; ++k) {
    const double a = cell(model, low, k);
    const double b = cell(model, high, k);
    out[k] = a + weight * (b - a);
  }
  return true;
}

int flowOrientation(const Model& model, const ElementEntry& element) {
  const auto idOf = [&element](int n) {
    const int value = element.node[n];
    return element.terminalMark[n] != 0 ? value / 10 : value;
  };
  const int inlet = idOf(1);
  const int outlet = idOf(2);
  if (inlet < 0 || inlet >= kNodeCount || outlet < 0 || outlet >= kNodeCount) return 0;
  const double dx = model.nodes.x[outlet] - model.nodes.x[inlet];
  const double dy = model.nodes.y[outlet] - model.nodes.y[inlet];
  if (std::fabs(dx) >= std::fabs(dy)) return dx >= 0.0 ? 0 : 2;
  return dy >= 0.0 ? 1 : 3;
}

double stampConductance(Run& run, int a, int b, double conductance) {
  const double q = conductance * (run.X[a] - run.X[b]);
  run.F[a] -= q;
  run.F[b] += q;
  run.jacobian(a, a) -= conductance;
  run.jacobian(a, b) += conductance;
  run.jacobian(b, a) += conductance;
  run.jacobian(b, b) -= conductance;
  return q;
}

void recordThermal(Model& model, const Run& run, const ElementEntry& element, double difference,
                   double flow) {
  ParameterStore& store = model.parameters;
  const double power = -difference * flow;
  if (ownsReturnRecord(element)) {
    const int id = element.returnBlockId;
    store[id + 1] = difference;
    store[id + 2] = flow;
    store[id + 3] = power;
    store[id + 5] += power * recordedStepLength(run);
    store[id + 8] = power;
    store[id + 10] += power * recordedStepLength(run);
    recordPeriodMeans(store, id, run, difference, flow, power);
  }
  addNetworkTotals(store, power, recordedStepLength(run));
}

}  // namespace movra::thermal
