// What the mechanical evaluators share: the artificial damping of coordinates,
// rates from the history, the spring between two points with its Jacobian by
// central differences, and the outlines and force vectors they draw.
#include <algorithm>
#include <cmath>

#include "elements/conventions.h"
#include "elements/mechanical/mechanical.h"

namespace movra {

namespace {

// Step of the central differences of the point spring, m.
constexpr double kDifferenceStep = 1e-8;

// Colour indices of the view's colour table.
constexpr int kSpringColour = 3;
constexpr int kForceColour = 1;
constexpr int kMomentColour = 2;
constexpr int kSolid = 0;
// End mark of a vector: an arrow head.
constexpr int kArrowHead = 1;

// Radius of a moment arc, pixels; its sweep is the moment's gauge length on it.
constexpr double kMomentRadius = 14.0;
constexpr double kLargestSweep = 1.9 * kPi;
// Gauge lengths are clipped as the view clips its own, pixels.
constexpr double kLargestGauge = 1000000.0;
// Half-width of a spring's zig-zag, pixels, and the share of each straight lead.
constexpr double kZigZagHalfWidth = 4.0;
constexpr double kSpringLead = 0.25;
constexpr int kZigZagCorners = 3;
// A spring shorter than this has no direction to draw along, m.
constexpr double kShortestDrawnSpring = 1e-12;

double forceGauge(const ViewSettings& view) {
  const double scale = view.quantityScale[1];
  return scale > 0.0 ? 300.0 / scale : view.forceFactor;
}

double momentGauge(const ViewSettings& view) {
  const double scale = view.quantityScale[2];
  return scale > 0.0 ? 300.0 / scale : view.momentFactor;
}

double clipGauge(double pixels) {
  return std::clamp(pixels, -kLargestGauge, kLargestGauge);
}

PointSpringState springAt(double xi, double yi, double xj, double yj, const PointSpringLaw& law,
                          double a0, double historyLength) {
  PointSpringState state;
  const double dx = xj - xi;
  const double dy = yj - yi;
  state.length = std::sqrt(dx * dx + dy * dy);
  state.angle = vectorAngle(dx, dy);
  state.rate = a0 * (state.length - historyLength);
  state.tension = law.base - law.stiffness * state.length - law.damping * state.rate;
  state.forceX = state.tension * std::cos(state.angle);
  state.forceY = state.tension * std::sin(state.angle);
  return state;
}

// Length of the spring at the start of the step: its state slot carries it into
// H. A spring without a slot takes it from the histories of its points instead.
double historyLengthOf(const Run& run, int state, const int (&points)[4]) {
  if (state > 0) return run.history(state);
  const double dx = historyOf(run, points[2]) - historyOf(run, points[0]);
  const double dy = historyOf(run, points[3]) - historyOf(run, points[1]);
  return std::sqrt(dx * dx + dy * dy);
}

}  // namespace

void addCoordinateDamping(EvaluationContext& context, int coordinate) {
  Run& run = context.run;
  const double damping = context.model.parameters.get(kMechanicalDampingEntry) * run.a0();
  run.F[coordinate] -= damping * (run.X[coordinate] - historyOf(run, coordinate));
  run.jacobian(coordinate, coordinate) -= damping;
}

double rateOf(const Run& run, int index) {
  return run.a0() * (run.X[index] - historyOf(run, index));
}

NodePair nodePairOf(const Run& run, const ElementEntry& element) {
  NodePair pair;
  pair.xi = unknownSlot(run, element, 1);
  pair.yi = unknownSlot(run, element, 2);
  pair.ti = unknownSlot(run, element, 3);
  pair.xj = unknownSlot(run, element, 4);
  pair.yj = unknownSlot(run, element, 5);
  pair.tj = unknownSlot(run, element, 6);
  return pair;
}

int stateIndexOf(const Run& run, const ElementEntry& element) {
  const int slot = element.firstStateSlot;
  const int slots = std::min(run.stateSlotCount, kMaxStateSlots);
  if (slot < 1 || slot > slots) return 0;
  return std::clamp(run.unknownCount, 0, kMaxUnknowns) + slot;
}

// With (x_i, y_i, x_j, y_j) = points and T the tension (N):
//   F[x_j] += T·cos φ, F[y_j] += T·sin φ, F[x_i] -= T·cos φ, F[y_i] -= T·sin φ
//   d = ∂(T·cos φ, T·sin φ)/∂q_j by (f(q_j + 1e-8) - f(q_j - 1e-8))/2e-8 (N/m);
//   the first point's coordinate takes -d, its rows the opposite sign.
PointSpringState stampPointSpring(EvaluationContext& context, const ElementEntry& element,
                                  const int (&points)[4], const PointSpringLaw& law) {
  Run& run = context.run;
  const int state = stateIndexOf(run, element);
  const double a0 = run.a0();
  const double historyLength = historyLengthOf(run, state, points);
  double at[4];
  for (int k = 0; k < 4; ++k) at[k] = run.X[points[k]];

  for (int component = 0; component < 2; ++component) {
    const int first = points[component];
    const int second = points[2 + component];
    double plus[4];
    double minus[4];
    std::copy(at, at + 4, plus);
    std::copy(at, at + 4, minus);
    plus[2 + component] += kDifferenceStep;
    minus[2 + component] -= kDifferenceStep;
    const PointSpringState up =
        springAt(plus[0], plus[1], plus[2], plus[3], law, a0, historyLength);
    const PointSpringState down =
        springAt(minus[0], minus[1], minus[2], minus[3], law, a0, historyLength);
    const double slopes[2] = {(up.forceX - down.forceX) / (2.0 * kDifferenceStep),
                              (up.forceY - down.forceY) / (2.0 * kDifferenceStep)};
    for (int row = 0; row < 2; ++row) {
      const double d = slopes[row];
      run.jacobian(points[2 + row], second) += d;
      run.jacobian(points[2 + row], first) -= d;
      run.jacobian(points[row], second) -= d;
      run.jacobian(points[row], first) += d;
    }
  }

  // The unperturbed evaluation last, so that the state slot holds the true length.
  const PointSpringState spring = springAt(at[0], at[1], at[2], at[3], law, a0, historyLength);
  if (state > 0) run.X[state] = spring.length;
  run.F[points[2]] += spring.forceX;
  run.F[points[3]] += spring.forceY;
  run.F[points[0]] -= spring.forceX;
  run.F[points[1]] -= spring.forceY;
  return spring;
}

void storeSpringLength(Run& run, const ElementEntry& element, const int (&points)[4]) {
  const int state = stateIndexOf(run, element);
  if (state == 0) return;
  const double dx = run.X[points[2]] - run.X[points[0]];
  const double dy = run.X[points[3]] - run.X[points[1]];
  run.X[state] = std::sqrt(dx * dx + dy * dy);
}

double toDegrees(double radians) {
  return radians / kRadiansPerDegree;
}

bool drawsForces(const ElementEntry& element) {
  return element.drawingMode >= 1;
}

// Straight leads at both ends and a zig-zag between them, its width a few pixels
// whatever the zoom.
void drawSpringOutline(EvaluationContext& context, double x1, double y1, double x2, double y2) {
  DisplayList& list = context.run.display;
  list.currentTag = kElementOutlineTag;
  const double dx = x2 - x1;
  const double dy = y2 - y1;
  const double length = std::sqrt(dx * dx + dy * dy);
  // Without a length there is no direction to zig-zag across: the shapes shrink onto
  // the end point rather than vanish, so that every frame holds the same shapes.
  const bool directed = length > kShortestDrawnSpring;
  const double scale = context.model.view.scale;
  const double halfWidth = scale > 0.0 ? kZigZagHalfWidth / scale : 0.05 * length;
  const double normalX = directed ? -dy / length * halfWidth : 0.0;
  const double normalY = directed ? dx / length * halfWidth : 0.0;

  double fromX = x1;
  double fromY = y1;
  const auto lineTo = [&](double x, double y) {
    recordShape3(list, fromX, fromY, x, y, kSpringColour, kSolid);
    fromX = x;
    fromY = y;
  };
  lineTo(x1 + kSpringLead * dx, y1 + kSpringLead * dy);
  const double coil = 1.0 - 2.0 * kSpringLead;
  for (int corner = 0; corner < kZigZagCorners; ++corner) {
    const double along = kSpringLead + coil * (corner + 0.5) / kZigZagCorners;
    const double side = corner % 2 == 0 ? 1.0 : -1.0;
    lineTo(x1 + along * dx + side * normalX, y1 + along * dy + side * normalY);
  }
  lineTo(x1 + (1.0 - kSpringLead) * dx, y1 + (1.0 - kSpringLead) * dy);
  lineTo(x2, y2);
}

namespace {

constexpr double kConstraintSlack = 1e-3;  // m or rad
constexpr int kLinkCode = 6;
constexpr int kJointCode = 17;

int mechanicalNodeOf(const ElementEntry& element, int end) {
  return element.terminalMark[end] != 0 ? element.node[end] / 10 : element.node[end];
}

bool sharesANode(const ElementEntry& a, const ElementEntry& b) {
  for (int i = 1; i <= 2; ++i) {
    for (int j = 1; j <= 2; ++j) {
      const int node = mechanicalNodeOf(a, i);
      if (node > 0 && node == mechanicalNodeOf(b, j)) return true;
    }
  }
  return false;
}

}  // namespace

int checkConstraintMet(EvaluationContext& context, const ElementEntry& element, double offBy) {
  const Run& run = context.run;
  if (run.kt != 0 || !recording(run) || !(std::fabs(offBy) > kConstraintSlack)) return 0;
  char others[kElementTextBytes * 4] = {};
  size_t used = 0;
  const int last = std::min(context.model.count.elements, kElementCapacity - 1);
  for (int e = 1; e <= last && used + 8 < sizeof others; ++e) {
    const ElementEntry& other = context.model.elements[e];
    if (&other == &element || (other.typeCode != kLinkCode && other.typeCode != kJointCode)) continue;
    if (!sharesANode(element, other)) continue;
    // Quoted without the statement number the numbered text puts before it.
    const char* text = other.text;
    if (*text == '$') {
      ++text;
      while (*text == ' ' || (*text >= '0' && *text <= '9')) ++text;
    }
    const int written = std::snprintf(others + used, sizeof others - used, "\n %s", text);
    if (written > 0) used = std::min(sizeof others - 1, used + static_cast<size_t>(written));
  }
  return context.reporter.modelError(" 拘束が満たせない？ %.3g (同じ節を別に拘束する要素と矛盾？) \n\n %s \n%s",
                                     std::fabs(offBy), element.text, others);
}

void drawForceArrow(EvaluationContext& context, double x, double y, double forceX, double forceY) {
  const double gauge = forceGauge(context.model.view);
  // Every frame records the same shapes, zero forces included: frames share one
  // layout, and a shape missing from one frame would shift the outputs after it.
  double pixelsX = clipGauge(forceX * gauge);
  double pixelsY = clipGauge(forceY * gauge);
  if (!std::isfinite(pixelsX) || !std::isfinite(pixelsY)) pixelsX = pixelsY = 0.0;
  DisplayList& list = context.run.display;
  list.currentTag = kForceTag;
  recordShape21(list, x, y, pixelsX, pixelsY, kForceColour, kSolid, kArrowHead);
}

void drawMomentArc(EvaluationContext& context, double x, double y, double moment) {
  double pixels = clipGauge(moment * momentGauge(context.model.view));
  if (!std::isfinite(pixels)) pixels = 0.0;
  const double sweep = std::clamp(pixels / kMomentRadius, -kLargestSweep, kLargestSweep);
  DisplayList& list = context.run.display;
  list.currentTag = kForceTag;
  // Counter-clockwise from the x axis for a positive moment, clockwise for a negative one.
  // No moment: the arc keeps its place in the frame with no radius, so nothing shows
  // (equal angles would otherwise draw a whole circle).
  const double radius = pixels == 0.0 ? 0.0 : kMomentRadius;
  recordShape7(list, x, y, radius, std::min(0.0, sweep), std::max(0.0, sweep), kMomentColour, kSolid);
}

}  // namespace movra
