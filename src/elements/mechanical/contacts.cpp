// Contacts: the one-sided gap contact (code 65), by which a body or a link end
// hits a stop and leaves it again, and the friction drive of two cylinders or
// cones pressed together (code 62).
//
// The gap contact is a penalty law with damping (a stiff spring-dashpot that acts
// only while the surfaces overlap and can only push): it needs no unknown of its
// own, its force is continuous in the coordinates, so the Newton iteration meets
// an impact as a stiff spring rather than as a switch, and its damping gives a
// coefficient of restitution that follows from k, c and the mass in closed form.
#include <algorithm>
#include <cmath>

#include "elements/conventions.h"
#include "elements/mechanical/generalized_force.h"
#include "elements/mechanical/mechanical.h"

namespace movra {

namespace {

constexpr char kZeroGap[] = "ギャップが０？ \n\n %s";
constexpr char kBadData[] = "データが？ \n\n %s";

// Gap contact: P1 contact distance d, P2 stiffness k, P3 damping c, P4 normal
// direction in degrees in the first node's frame, P5 shape (0 plane, 1 round).
constexpr int kGapVoteSlot = 11;
constexpr int kGapStateSlot = 14;  // 1 touching after the last pass, 0 open
constexpr int kRoundShape = 1;
constexpr double kShortestCentreDistance = 1e-12;  // m
constexpr int kStopColour = 8;
constexpr int kSolid = 0;
// The drawn surface of a plane stop reaches this many contact distances to each
// side of the point below the moving node.
constexpr double kSurfaceReach = 3.0;

struct GapState {
  double nx = 0.0, ny = 1.0;  // normal, from the stop towards the moving node
  double clearance = 0.0;     // m, negative while the surfaces overlap
  double rate = 0.0;          // d(overlap)/dt, m/s
  double normal = 0.0;        // N ≥ 0, on the moving node along the normal
};

struct GapLaw {
  double distance = 0.0, stiffness = 0.0, damping = 0.0, direction = 0.0;
  bool round = false;
  double a0 = 0.0;
};

// Clearance s - d and normal of coordinates (x_i, y_i, θ_i, x_j, y_j).
void gapGeometry(const GapLaw& law, const double* q, double& clearance, double& nx, double& ny) {
  const double dx = q[3] - q[0];
  const double dy = q[4] - q[1];
  if (law.round) {
    const double length = std::hypot(dx, dy);
    if (length >= kShortestCentreDistance) {
      nx = dx / length;
      ny = dy / length;
    } else {
      nx = std::cos(law.direction + q[2]);
      ny = std::sin(law.direction + q[2]);
    }
    clearance = length - law.distance;
    return;
  }
  nx = std::cos(law.direction + q[2]);
  ny = std::sin(law.direction + q[2]);
  clearance = nx * dx + ny * dy - law.distance;
}

//   δ = d - s (overlap), N = max(0, k·δ + c·a0·(δ - δ_H)) while δ > 0, else 0,
//   the damping only when δ_H > 0 (touching at the start of the step)
//   Q[x_j, y_j] = N·n, Q[x_i, y_i] = -N·n, Q[θ_i] = -N·((p_j - p_i) × n) (plane)
// The regime (touching or open) is settled where `decide` is set and kept otherwise.
GapState gapForces(const GapLaw& law, const double* q, const double* h, double* Q, bool decide,
                   bool& touching) {
  GapState g;
  gapGeometry(law, q, g.clearance, g.nx, g.ny);
  double historyClearance = 0.0, hx = 0.0, hy = 0.0;
  gapGeometry(law, h, historyClearance, hx, hy);
  const double overlap = -g.clearance;
  g.rate = law.a0 * (historyClearance - g.clearance);
  const double push =
      law.stiffness * overlap + contactDamping(law.damping, -historyClearance) * g.rate;
  if (decide) touching = overlap > 0.0 && push > 0.0;
  g.normal = touching ? push : 0.0;
  Q[0] = -g.normal * g.nx;
  Q[1] = -g.normal * g.ny;
  Q[2] = law.round ? 0.0 : -g.normal * ((q[3] - q[0]) * g.ny - (q[4] - q[1]) * g.nx);
  Q[3] = g.normal * g.nx;
  Q[4] = g.normal * g.ny;
  return g;
}

void drawGapStop(DisplayList& list, const GapLaw& law, const double* q) {
  list.currentTag = kElementOutlineTag;
  if (law.round) {
    drawModelCircle(list, q[0], q[1], law.distance, 0.0, 0.0, kStopColour);
    return;
  }
  const double nx = std::cos(law.direction + q[2]);
  const double ny = std::sin(law.direction + q[2]);
  // The foot of the moving node on the surface, and the surface to both sides.
  const double along = (q[3] - q[0]) * -ny + (q[4] - q[1]) * nx;
  const double fx = q[0] - ny * along;
  const double fy = q[1] + nx * along;
  const double reach = kSurfaceReach * law.distance;
  recordShape3(list, fx + ny * reach, fy - nx * reach, fx - ny * reach, fy + nx * reach,
               kStopColour, kSolid);
  // The contact distance drawn as the moving node's round outline.
  drawModelCircle(list, q[3], q[4], law.distance, 0.0, 0.0, kStopColour);
}

}  // namespace

// Stop on node i (x_i, y_i, θ_i), moving node j (x_j, y_j); n the unit normal (plane:
// angle P4 + θ_i; round: from i to j), s = n·(p_j - p_i) (plane) or |p_j - p_i|
// (round), overlap δ = d - s (m):
//   N = max(0, k·δ + c·dδ/dt) for δ > 0, 0 otherwise (c once touching at the step's start)
//   F[x_j, y_j] += N·n, F[x_i, y_i] -= N·n, F[θ_i] -= N·((p_j - p_i) × n)
// Jacobian by central differences of ±1e-8 on the five coordinates.
int evaluateGapContact(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  double* p = element->realSlots;
  const NodePair n = nodePairOf(run, *element);
  if (isFirstIteration(run) || run.initialPass != 0) {
    if (!(p[1] > 0.0)) return context.reporter.modelError(kZeroGap, quotedLine(*element));
    if (!(p[2] > 0.0) || !(p[3] >= 0.0) || !std::isfinite(p[4]) ||
        (p[5] != 0.0 && p[5] != kRoundShape)) {
      return context.reporter.modelError(kBadData, quotedLine(*element));
    }
  }
  if (!(p[1] > 0.0) || !(p[2] > 0.0) || !(p[3] >= 0.0)) return 0;  // changed within a step
  GapLaw law;
  law.distance = p[1];
  law.stiffness = p[2];
  law.damping = p[3];
  law.direction = p[4] * kRadiansPerDegree;
  law.round = p[5] == kRoundShape;
  law.a0 = run.a0();

  const int indices[5] = {n.xi, n.yi, n.ti, n.xj, n.yj};
  const LawCoordinates c = lawCoordinates(run, indices, 5);
  GapState g;
  bool touching = false;
  stampForceLaw(run, c, [&](const double* q, const double* h, double* Q, bool decide) {
    const GapState state = gapForces(law, q, h, Q, decide, touching);
    if (decide) g = state;
  });
  for (int k = 0; k < 5; ++k) {
    if (k != 2 || !law.round) addCoordinateDamping(context, indices[k]);
  }
  voteChange(run, mechanicalTolerances(context.model), g.clearance, p[kGapVoteSlot]);
  p[kGapStateSlot] = g.normal > 0.0 ? 1.0 : 0.0;

  if (recording(run) && ownsReturnRecord(*element)) {
    ParameterStore& store = context.model.parameters;
    const int id = element->returnBlockId;
    const double fx = g.normal * g.nx;
    const double fy = g.normal * g.ny;
    store[id + 1] = fx;
    store[id + 2] = fy;
    store[id + 3] = g.normal;
    store[id + 4] = toDegrees(vectorAngle(fx, fy));
    store[id + 5] = g.clearance;
    store[id + 6] = -g.rate;  // rate of the clearance, m/s
    store[id + 7] = g.normal > 0.0 ? 1.0 : 0.0;
    // Power the contact takes from the mechanism: N·dδ/dt (stored in its spring,
    // lost in its damper), and its accumulation.
    store[id + 8] = g.normal * g.rate;
    store[id + 29] += g.normal * g.rate * recordedStepLength(run);
  }
  if (displaying(run)) {
    drawGapStop(run.display, law, c.at);
    // Drawn open too, with no length: every frame must hold the same shapes.
    if (drawsForces(*element)) {
      drawForceArrow(context, c.at[3] - law.distance * g.nx, c.at[4] - law.distance * g.ny,
                     g.normal * g.nx, g.normal * g.ny);
    }
  }
  return 0;
}

}  // namespace movra
