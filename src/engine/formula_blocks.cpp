// The blocks of the parameter statements. A block reads its input x and its fields,
// writes its target entry (some also further entries) and keeps its state in the
// statement's field block: pool row 0 holds fields 1..10, pool row 1 the state.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/formula_blocks.h"

namespace movra::formula_detail {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDegree = kPi / 180.0;
constexpr double kDivergenceLimit = 1e15;
constexpr double kSmallDenominator = 1e-18;
constexpr int kBlockRows = kFunctionBlockRows;
constexpr int kGrabFlagEntry = -10096;  // a node has just been grabbed (1, then 2)
constexpr int kTimeEntry = 1;
// A ":u" row value the reader marks as "not given".
constexpr double kNotGiven = 2.225073e-308;
// A ":u" return-value id 9 in place 3 or 4 says "no value here".
constexpr int kPlaceholderReturnId = 9;
// Ids from reals: beyond this they are outside every range, and the cast stays defined.
constexpr double kIdClamp = 1e8;

// Divergence numbers of the messages " 発散？NN　...".
constexpr int kLagDivergence = 54;
constexpr int kSecondOrderDivergence = 55;
constexpr int kSumDivergence = 56;
constexpr int kControllerDivergence = 61;
constexpr int kGeneratorDivergence = 52;
constexpr int kShapeDivergence = 53;
constexpr int kAccumulatorDivergence = 62;

// Columns of the state row.
enum StateColumn {
  kPreviousInput = 0,
  kPreviousOutput = 1,
  kIntegral = 2,
  kRate = 3,
  kNextEvent = 4,
  kPreviousStep = 5,  // the output step of the previous call (PI controller)
  kGenerator = 6,     // a block's own random state, a whole number below 2^32
  kOffset = 7,
  kScheduled = 8,  // 1 once an event time has been drawn
};

struct Block {
  Model& model;
  Run& run;
  Reporter& reporter;
  ParameterStatement& statement;
  const StatementRecord* record;  // nullptr for a statement without a line of its own
  double* fields;                 // fields[k - 1] is field k
  double* state;
  double x;
  double dt;
  bool stepZero;
  const char* line;

  double field(int k) const { return fields[k - 1]; }
  int target() const { return statement.id; }
  // The integer attributes after the target: the input key and the sub-mode. A
  // statement with a line takes its sub-mode from the editor's variant.
  int inputKey() const { return record != nullptr ? 0 : statement.returnValueIds[2]; }
  int subMode() const { return record != nullptr ? record->mode : statement.returnValueIds[3]; }
  double time() const { return model.parameters.get(kTimeEntry); }
};

bool diverged(double y) {
  return !(std::fabs(y) <= kDivergenceLimit);
}

int truncatedId(double value) {
  if (!(std::fabs(value) < kIdClamp)) return 0;
  return static_cast<int>(value);
}

int reportDivergence(Block& b, int number, double y) {
  return b.reporter.modelError(" 発散？%d　%d %d %d %e \n\n %s", number, b.target(), b.inputKey(),
                               b.subMode(), y, b.line);
}

// Target <- y; a NaN counts as diverged as well.
int publish(Block& b, int number, double y) {
  b.model.parameters[b.target()] = y;
  return diverged(y) ? reportDivergence(b, number, y) : 0;
}

// ---- the lookup of ":u" rows ----

// Linear between the two rows around x, the end row's values beyond either end.
// False when a row it needs holds the "not given" marker.
bool interpolate(const double (*rows)[kParameterColumns], int count, int column, double x,
                 double& value) {
  if (x <= rows[0][0] || count == 1) {
    value = rows[0][column];
    return value != kNotGiven;
  }
  if (x >= rows[count - 1][0]) {
    value = rows[count - 1][column];
    return value != kNotGiven;
  }
  // rows[low][0] < x < rows[high][0], the arguments ascending.
  int low = 0;
  int high = count - 1;
  while (high - low > 1) {
    const int middle = (low + high) / 2;
    (rows[middle][0] <= x ? low : high) = middle;
  }
  const double* a = rows[low];
  const double* b = rows[high];
  if (a[column] == kNotGiven || b[column] == kNotGiven) return false;
  const double span = b[0] - a[0];
  const double s = span > 0.0 ? (x - a[0]) / span : 0.0;
  value = a[column] + s * (b[column] - a[column]);
  return true;
}

const double (*tableRows(const Model& model, const ParameterStatement& table))[kParameterColumns] {
  const int first = table.firstPoolRow;
  if (table.rowCount < 1 || first < 0 || first + table.rowCount > kParameterRowPool) return nullptr;
  return model.parameterRows + first;
}

// ":u" with return values: each return value j is column j at the argument x.
void lookupFunctionTable(Model& model, const ParameterStatement& table, double x) {
  const auto rows = tableRows(model, table);
  const int count = table.returnValueCount;
  if (rows == nullptr || count < 1 || count >= kParameterColumns) return;
  for (int j = 1; j <= count; ++j) {
    const int id = table.returnValueIds[j];
    if (id <= 0 || ((j == 3 || j == 4) && id == kPlaceholderReturnId)) continue;
    double value = 0.0;
    if (interpolate(rows, table.rowCount, j, x, value)) model.parameters[id] = value;
  }
}

// ---- assignments, integrator, differentiator, lags ----

int integrator(Block& b) {
  double& target = b.model.parameters[b.target()];
  if (!b.stepZero) target += b.x * b.dt;
  if (diverged(target)) return b.reporter.modelError(" 発散？　%e \n\n %s", target, b.line);
  return 0;
}

int differentiator(Block& b) {
  double& previous = b.state[kPreviousInput];
  const double result = b.stepZero || !(b.dt > 0.0) ? 0.0 : (b.x - previous) / b.dt;
  previous = b.x;
  b.model.parameters[b.target()] = result;
  if (diverged(result)) return b.reporter.modelError(" 発散？  %e \n\n %s", result, b.line);
  return 0;
}

// Implicit Euler of T y' + y = u: (T/dt + 1) y_new = (T/dt) y + u.
int firstOrderLag(Block& b) {
  const double lag = b.field(2);
  if (lag < 0.0) return b.reporter.modelError(" データが？　%e \n\n %s", lag, b.line);
  double& y = b.state[kPreviousOutput];
  if (b.stepZero || !(b.dt > 0.0)) {
    y = b.x;
  } else {
    const double a = lag / b.dt + 1.0;
    const double rhs = lag / b.dt * y + b.x;
    if (std::fabs(a) < kSmallDenominator)
      return b.reporter.modelError(" 発散？54　\n\n %s", b.line);
    y = rhs / a;
  }
  return publish(b, kLagDivergence, y);
}

// Implicit Euler of y'' + 2 zeta omega y' + omega^2 y = omega^2 u with w = y':
//   (dt omega^2 + c) y_new = dt omega^2 u + w + c y,  c = (2 zeta omega dt + 1)/dt,
//   w = (y_new - y)/dt. A fresh grab restarts the lag at its input.
int secondOrderLag(Block& b) {
  double omega = b.field(2);
  const double zeta = b.field(3);
  if (omega < 0.0 || zeta < 0.0) {
    return b.reporter.modelError(" データが？　%e %e \n\n %s", omega, zeta, b.line);
  }
  if (b.statement.statementLine < 1 && b.run.pwmPeriod > 0.0) omega *= b.dt / b.run.pwmPeriod;
  double& y = b.state[kPreviousOutput];
  double& w = b.state[kRate];
  if (b.stepZero || !(b.dt > 0.0)) {
    y = b.x;
    w = 0.0;
  } else if (double& grab = b.model.parameters[kGrabFlagEntry]; grab > 0.0) {
    y = b.x;
    w = 0.0;
    if (grab == 2.0) {
      grab = 0.0;
    } else if (grab == 1.0) {
      grab = 2.0;
    }
  } else {
    const double c = (2.0 * zeta * omega * b.dt + 1.0) / b.dt;
    const double a = b.dt * omega * omega + c;
    const double rhs = b.dt * omega * omega * b.x + w + c * y;
    if (std::fabs(a) < kSmallDenominator)
      return b.reporter.modelError(" 発散？55　\n\n %s", b.line);
    const double next = rhs / a;
    w = (next - y) / b.dt;
    y = next;
  }
  return publish(b, kSecondOrderDivergence, y);
}

// u = kp e + I + bias, limited to [low, high] when low < high; the integral is fed
// back by the part the limit cut off, so it does not wind up:
//   I <- I + ki e dt' - ki (u_unlimited - u) dt', dt' the previous call's output step.
int piController(Block& b) {
  double& integral = b.state[kIntegral];
  double& previousStep = b.state[kPreviousStep];
  if (b.stepZero) {
    integral = 0.0;
    previousStep = 0.0;
  }
  const double error = b.stepZero ? 0.0 : b.x + b.field(2);
  const double unlimited = b.field(3) * error + integral + b.field(5);
  const double high = b.field(6);
  const double low = b.field(7);
  double u = unlimited;
  if (low < high) u = u < low ? low : (u > high ? high : u);
  integral += b.field(4) * error * previousStep - b.field(4) * (unlimited - u) * previousStep;
  previousStep = b.dt;
  return publish(b, kControllerDivergence, u);
}

// y = x f2 + f3 + f4 + f5 + f6, into the target and the entry of the opposite sign.
int sum(Block& b) {
  const double y = b.x * b.field(2) + b.field(3) + b.field(4) + b.field(5) + b.field(6);
  b.model.parameters[-b.target()] = y;
  return publish(b, kSumDivergence, y);
}

// ---- generators ----

// y = sqrt2 (A sin(2 pi f x - phi) + B); a negative f names the entry holding f.
int sineGenerator(Block& b) {
  double frequency = b.field(3);
  if (frequency < 0.0) frequency = b.model.parameters.get(truncatedId(frequency));
  const double phase = 2.0 * kPi * frequency * b.x - b.field(4) * kDegree;
  const double y = std::sqrt(2.0) * (b.field(2) * std::sin(phase) + b.field(5));
  return publish(b, kGeneratorDivergence, y);
}

// y = f2 sin((f3 x + f4) pi/180) + f5: the angle in degrees.
int degreeSine(Block& b) {
  const double angle = (b.field(3) * b.x + b.field(4)) * kDegree;
  return publish(b, kGeneratorDivergence, b.field(2) * std::sin(angle) + b.field(5));
}

// The x coordinate of the same point on a circle of radius f2 (cosine).
int degreeCosine(Block& b) {
  const double angle = (b.field(3) * b.x + b.field(4)) * kDegree;
  return publish(b, kGeneratorDivergence, b.field(2) * std::cos(angle) + b.field(5));
}

// Sub-modes 1, 2: constant f2; 3, 4: line f2 x + f3; 5, 6: parabola f2 x^2 + f3 x + f4.
int shapedSource(Block& b, int subMode) {
  switch (subMode) {
    case 1:
    case 2:
      return publish(b, kGeneratorDivergence, b.field(2));
    case 3:
    case 4:
      return publish(b, kGeneratorDivergence, b.field(2) * b.x + b.field(3));
    case 5:
    case 6:
      return publish(b, kGeneratorDivergence, (b.field(2) * b.x + b.field(3)) * b.x + b.field(4));
    default:
      return 0;
  }
}

// Square wave in x: f2 while the phase f3 x + f4/360 (in periods) lies below the duty
// f5, else f6.
int squareWave(Block& b) {
  const double frequency = b.field(3);
  if (frequency < 0.0) return b.reporter.modelError(" ωが？  %e \n\n %s", frequency, b.line);
  const double cycles = frequency * b.x + b.field(4) / 360.0;
  const double phase = cycles - std::floor(cycles);
  return publish(b, kGeneratorDivergence, phase < b.field(5) ? b.field(2) : b.field(6));
}

// Triangle wave in x: amplitude f2, frequency f3, phase f4 (degrees), offset f5.
int triangleWave(Block& b) {
  const double frequency = b.field(3);
  if (frequency < 0.0) return b.reporter.modelError(" ωが？  %e \n\n %s", frequency, b.line);
  const double angle = 2.0 * kPi * frequency * b.x + b.field(4) * kDegree;
  const double y = b.field(2) * (2.0 / kPi) * std::asin(std::sin(angle)) + b.field(5);
  return publish(b, kGeneratorDivergence, y);
}

// The block's own generator, seeded from f4 at step 0 and advanced at every call.
double ownUniform(Block& b) {
  double& stored = b.state[kGenerator];
  if (b.stepZero) {
    const double seed = b.field(4);
    stored = std::fabs(seed) < kIdClamp ? static_cast<uint32_t>(static_cast<int64_t>(seed)) : 1.0;
  }
  const uint32_t next = nextLibraryState(static_cast<uint32_t>(stored));
  stored = next;
  return (libraryValue(next) + 0.5) / 32768.0;  // in (0, 1)
}

// y = f2 + f3 r, r uniform in (-1, 1).
int noise(Block& b) {
  const double r = 2.0 * ownUniform(b) - 1.0;
  return publish(b, kGeneratorDivergence, b.field(2) + b.field(3) * r);
}

// Events at exponentially distributed intervals of mean 1/f2 (time from entry 1):
// y = f3 during the output step in which an event falls, else 0.
int randomEvents(Block& b) {
  const double rate = b.field(2);
  if (rate < 0.0) return b.reporter.modelError(" ωが？  %e \n\n %s", rate, b.line);
  double& next = b.state[kNextEvent];
  double& scheduled = b.state[kScheduled];
  const double wait = rate > 0.0 ? -std::log(ownUniform(b)) / rate : 0.0;
  if (b.stepZero) scheduled = 0.0;
  double y = 0.0;
  if (rate > 0.0 && scheduled == 0.0) {
    next = b.time() + wait;
    scheduled = 1.0;
  } else if (rate > 0.0 && b.time() >= next) {
    y = b.field(3);
    next = b.time() + wait;
  }
  b.model.parameters[b.target()] = y;
  return 0;
}

// ---- shapes of x ----

// y = f2 + f3 x + f4 x^2 + f5 x^3.
int cubic(Block& b) {
  const double y = ((b.field(5) * b.x + b.field(4)) * b.x + b.field(3)) * b.x + b.field(2);
  return publish(b, kShapeDivergence, y);
}

// y = f2 + f3 x + f4 x^2 + f5 v + f6 v^2 + f7 x v with a second input v that the
// engine does not provide (0).
int twoInputPolynomial(Block& b) {
  constexpr double v = 0.0;
  const double y = b.field(2) + (b.field(3) + b.field(4) * b.x) * b.x +
                   (b.field(5) + b.field(6) * v + b.field(7) * b.x) * v;
  return publish(b, kAccumulatorDivergence, y);
}

// Distance of the point (px, py) from (cx, cy).
int distance(Block& b, double px, double py, double cx, double cy) {
  return publish(b, kShapeDivergence, std::hypot(px - cx, py - cy));
}

// Field trunc(x) + 1: x = 1..8 selects field 2..9.
int selection(Block& b) {
  constexpr double kFirst = 1.0;
  constexpr double kLast = 8.0;
  if (!(b.x >= kFirst && b.x < kLast + 1.0)) {
    return b.reporter.modelError(" データが？　%e %e %e \n\n %s", b.x, kFirst, kLast, b.line);
  }
  b.model.parameters[b.target()] = b.field(static_cast<int>(b.x) + 1);
  return 0;
}

// y = x - x0 + f2, x0 the input at step 0.
int offsetCapture(Block& b) {
  if (b.stepZero) b.state[kOffset] = b.x;
  return publish(b, kShapeDivergence, b.x - b.state[kOffset] + b.field(2));
}

// Piecewise linear through (f2, f3), (f4, f5), (f6, f7), (f8, f9), as many points as
// their arguments keep rising (at least two), held at the end points.
int curve(Block& b) {
  double points[4][kParameterColumns] = {};
  int count = 0;
  for (int k = 2; k <= 8 && count < 4; k += 2) {
    if (count > 0 && !(b.field(k) > points[count - 1][0])) break;
    points[count][0] = b.field(k);
    points[count][1] = b.field(k + 1);
    ++count;
  }
  if (count < 2) {
    return b.reporter.modelError(" データが？　%e %e %e %e \n\n %s", b.field(2), b.field(4),
                                 b.field(6), b.field(8), b.line);
  }
  double y = 0.0;
  interpolate(points, count, 1, b.x, y);
  return publish(b, kShapeDivergence, y);
}

// Column f3 of the ":u" table with id f2, at x.
int tableBlock(Block& b) {
  const int id = truncatedId(b.field(2));
  const int column = truncatedId(b.field(3));
  const ParameterStatement* table = nullptr;
  for (int p = 1; p <= b.model.count.parameterStatements && p < kParameterStatementCapacity; ++p) {
    const ParameterStatement& s = b.model.parameterStatements[p];
    if (s.typeCode == 80 && s.id == id && id > 0) table = &s;
  }
  const auto rows = table != nullptr ? tableRows(b.model, *table) : nullptr;
  if (rows == nullptr || column < 1 || column > table->returnValueCount ||
      column >= kParameterColumns) {
    return b.reporter.modelError(" データが？　%e %e %e \n\n %s", b.field(2), b.field(3), b.x,
                                 b.line);
  }
  double y = 0.0;
  if (interpolate(rows, table->rowCount, column, b.x, y)) b.model.parameters[b.target()] = y;
  return 0;
}

// y = f2 x + f3, limited to [f4, f5] when f4 < f5.
int limiter(Block& b) {
  double y = b.field(2) * b.x + b.field(3);
  if (b.field(4) < b.field(5)) y = y < b.field(4) ? b.field(4) : (y > b.field(5) ? b.field(5) : y);
  return publish(b, kShapeDivergence, y);
}

// A point on a circle of radius R at the angle x (degrees): s = R x pi/180 (the arc)
// into the target, and s, r = R cos, t = R sin into the three entries around the
// record's base id that the reader made output items of.
int circlePoint(Block& b) {
  const double radius = b.record != nullptr ? b.record->radius : b.field(2);
  if (radius < 0.0) {
    return b.reporter.modelError(" データが？　%e %e %e \n\n %s", radius, b.x, b.field(2), b.line);
  }
  const double arc = radius * b.x * kDegree;
  if (b.record != nullptr) {
    long long base = 0;
    bool known = true;
    switch (b.record->mode) {
      case 0:
        base = static_cast<long long>(b.record->tableId) + 8;
        break;
      case 2:
        base = static_cast<long long>(b.record->tableId) + 1;
        break;
      case 1:
        base = static_cast<long long>(b.record->returnValueIds[1]) + 1;
        break;
      default:
        known = false;
    }
    if (known && base > kParameterIdLow && base < kParameterIdHigh) {
      const int id = static_cast<int>(base);
      b.model.parameters[id - 1] = arc;
      b.model.parameters[id] = radius * std::cos(b.x * kDegree);
      b.model.parameters[id + 1] = radius * std::sin(b.x * kDegree);
    }
  }
  return publish(b, kShapeDivergence, arc);
}

// ---- accumulators ----

// y starts at f2 and adds x at every call after step 0.
int accumulator(Block& b) {
  double& y = b.state[kPreviousOutput];
  y = b.stepZero ? b.field(2) : y + b.x;
  return publish(b, kAccumulatorDivergence, y);
}

// The largest (sign 1) or smallest (sign -1) input since step 0.
int extreme(Block& b, double sign) {
  double& y = b.state[kPreviousOutput];
  if (b.stepZero || sign * (b.x - y) > 0.0) y = b.x;
  return publish(b, kAccumulatorDivergence, y);
}

// Samples x every f2 of time (entry 1) and holds it; f2 <= 0 follows x.
int sampleAndHold(Block& b) {
  double& y = b.state[kPreviousOutput];
  double& next = b.state[kNextEvent];
  const double period = b.field(2);
  const double t = b.time();
  if (b.stepZero || !(period > 0.0)) {
    y = b.x;
    next = t + (period > 0.0 ? period : 0.0);
  } else if (t >= next) {
    y = b.x;
    // Whole periods only, so a long step does not shift the sampling grid.
    next += period * std::floor((t - next) / period + 1.0);
  }
  return publish(b, kAccumulatorDivergence, y);
}

// y follows x at no more than f2 per unit of time.
int rateLimiter(Block& b) {
  double& y = b.state[kPreviousOutput];
  const double rate = b.field(2);
  if (rate < 0.0)
    return b.reporter.modelError(" データが？　%e %e %e \n\n %s", rate, b.x, y, b.line);
  if (b.stepZero || !(b.dt > 0.0)) {
    y = b.x;
  } else {
    const double step = rate * b.dt;
    const double change = b.x - y;
    y += change > step ? step : (change < -step ? -step : change);
  }
  return publish(b, kAccumulatorDivergence, y);
}

int runKind(Block& b) {
  switch (b.statement.typeCode) {
    case 2:
    case 83:  // ":sin"
      return sineGenerator(b);
    case 3:
      return cubic(b);
    case 4:
      return b.subMode() == 1 ? degreeCosine(b) : (b.subMode() == 2 ? degreeSine(b) : 0);
    case 5:
      return distance(b, b.x, 0.0, b.field(2), b.field(3));
    case 6:
      return selection(b);
    case 9:
      return offsetCapture(b);
    case 10:
    case 87:
      return noise(b);
    case 11:
    case 88:
      return accumulator(b);
    case 12:
      return extreme(b, 1.0);
    case 13:
      return extreme(b, -1.0);
    case 14:
      return shapedSource(b, b.subMode());
    case 15:
      return randomEvents(b);
    case 16:
      return curve(b);
    case 17:
      return tableBlock(b);
    case 18:
      return limiter(b);
    case 24:
      return sampleAndHold(b);
    case 28:
      return rateLimiter(b);
    case 35:
      return squareWave(b);
    case 62:
      return twoInputPolynomial(b);
    case 63:
      return triangleWave(b);
    case 81:
      return piController(b);
    case 82:
      return sum(b);
    case 84:  // ":circle"
      return circlePoint(b);
    case 85:  // ":sdeg"
      return degreeSine(b);
    case 86:  // ":ramp": the editor's variant picks constant or ramp, 0 the constant
      return shapedSource(b, b.subMode() == 0 ? 1 : b.subMode());
    case 90:
    case 91:
      b.model.parameters[b.target()] = b.x;
      return 0;
    case 92:
      return publish(b, kSumDivergence, b.x);
    case 93:
      return integrator(b);
    case 94:
      return differentiator(b);
    case 95:
      return firstOrderLag(b);
    case 96:
      return secondOrderLag(b);
    default:
      return 0;  // no block; ":pwm" (89) only keeps its fields for the driver
  }
}

}  // namespace

double unknownValue(const Run& run, int key) {
  if (key < 0 || key >= kUnknownKeyCapacity) return 0.0;
  const int index = run.unknownOfKey[key];
  return index > 0 && index < kXCapacity ? run.X[index] : 0.0;
}

uint32_t nextLibraryState(uint32_t state) {
  return state * 22695477u + 1u;
}  // mod 2^32
int libraryValue(uint32_t state) {
  return static_cast<int>((state >> 16) & 0x7FFFu);
}

// Row 0 of a statement's field block. A statement without a line of its own gets its
// ten rows from the end of the pool the first time it runs.
double* fieldRow(Model& model, int p) {
  if (p < 1 || p >= kParameterStatementCapacity) return nullptr;
  ParameterStatement& statement = model.parameterStatements[p];
  if (statement.typeCode == 80) return nullptr;  // its rows are table data
  if (statement.statementLine < 0 && statement.rowCount < kBlockRows) {
    const int first = model.parameterRowsUsed;
    if (first < 0 || first + kBlockRows > kParameterRowPool) return nullptr;
    std::memset(model.parameterRows[first], 0, sizeof(double) * kParameterColumns * kBlockRows);
    statement.firstPoolRow = first;
    statement.rowCount = kBlockRows;
    model.parameterRowsUsed = first + kBlockRows;
  }
  const int first = statement.firstPoolRow;
  if (statement.rowCount < kBlockRows || first < 0 || first + kBlockRows > kParameterRowPool) {
    return nullptr;
  }
  return model.parameterRows[first];
}

int runBlock(Model& model, Run& run, Reporter& reporter, int p, double recordInput,
             const char* line) {
  ParameterStatement& statement = model.parameterStatements[p];
  const int recordIndex = statement.statementLine;
  const StatementRecord* record =
      recordIndex >= 0 && recordIndex < kRecordCapacity ? &model.records[recordIndex] : nullptr;
  if (statement.typeCode == 80) {
    if (record != nullptr) lookupFunctionTable(model, statement, recordInput);
    return 0;
  }
  double* fields = fieldRow(model, p);
  if (fields == nullptr) return 0;  // no field block: nothing to keep a state in
  double x = recordInput;
  if (record == nullptr) {
    const int key = statement.returnValueIds[2];
    x = key > 0 ? unknownValue(run, key) : model.parameters.get(key);
    fields[0] = x;
  }
  double* state = model.parameterRows[statement.firstPoolRow + 1];
  Block block{model, run, reporter,  statement,   record, fields,
              state, x,   run.dtOut, run.kt == 0, line};
  return runKind(block);
}

}  // namespace movra::formula_detail
