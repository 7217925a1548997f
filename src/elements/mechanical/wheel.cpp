// The wheel on a support profile (code 16, keyword "wh"): a round wheel on one
// mechanical node that stands on the segments of a support set, rolls on them
// without slip while the friction it needs stays below μ·N, and slides with
// Coulomb friction μ·N beyond. One entry per row of the support set: each entry is
// the wheel's contact with one straight segment of the profile.
//
// The profile is the polyline through the rows: row k runs from (x0_k, h_k) to
// (x1_k, h_(k+1)), the height of the next row of the set (the last row is level),
// so rows whose x ranges join make a continuous track. Without a support set the
// wheel runs on the level line y = 0. Coordinates are those of the model, y up
// when gravity is written negative.
#include <algorithm>
#include <cmath>

#include "elements/conventions.h"
#include "elements/mechanical/generalized_force.h"
#include "elements/mechanical/mechanical.h"

namespace movra {

namespace {

constexpr char kBadData[] = "データが？ \n\n %s";

// P1 radius r, P2 friction coefficient μ, P3 contact stiffness k, P4 contact
// damping c, P5 the support set, P6 the slip speed below which the wheel sticks.
constexpr double kDefaultStickSpeed = 1e-3;  // m/s
constexpr int kVoteSlot = 11;
constexpr int kFrictionStateSlot = 13;  // integer: 0 sticking, ±1 sliding
constexpr int kWheelColour = 12;
constexpr int kTrackColour = 8;
constexpr int kSolid = 0;
constexpr double kShortestDistance = 1e-12;

struct Segment {
  double ax = 0.0, ay = 0.0, bx = 0.0, by = 0.0;
  bool level = false;  // no support set: the whole line y = 0
  // The pieces before and after that join this one at its ends, and the direction
  // of the next one: a corner two pieces share is counted once, by the first.
  bool joinedStart = false, joinedEnd = false;
  double nextEx = 0.0, nextEy = 0.0;
};

bool isPieceOf(const Model& model, const ElementEntry& element, int row) {
  return element.groupFirst > 0 && row >= element.groupFirst && row <= element.groupLast &&
         row >= 1 && row < kElementCapacity && model.elements[row].typeCode == 16;
}

// Row k of the set: from (x0_k, h_k) to (x1_k, h_(k+1)), level when it is the last.
Segment pieceOf(const Model& model, const ElementEntry& first, int row) {
  const ElementEntry& element = model.elements[row];
  Segment s;
  s.ax = element.supportRow[1];
  s.ay = element.supportRow[0];
  s.bx = element.supportRow[2];
  s.by = isPieceOf(model, first, row + 1) ? model.elements[row + 1].supportRow[0] : s.ay;
  return s;
}

Segment segmentOf(const Model& model, int row) {
  const ElementEntry& element = model.elements[row];
  Segment s;
  if (element.supportSetId == 0 && element.groupFirst == element.groupLast) {
    s.level = true;
    return s;
  }
  s = pieceOf(model, element, row);
  if (isPieceOf(model, element, row - 1)) {
    s.joinedStart = std::fabs(model.elements[row - 1].supportRow[2] - s.ax) < kShortestDistance;
  }
  if (isPieceOf(model, element, row + 1)) {
    const Segment next = pieceOf(model, element, row + 1);
    s.joinedEnd = std::fabs(next.ax - s.bx) < kShortestDistance;
    s.nextEx = next.bx - next.ax;
    s.nextEy = next.by - next.ay;
  }
  return s;
}

// Contact of a circle of centre (x, y) with the segment: the unit normal n from
// the track to the centre and the distance along it. False where the contact
// belongs to a neighbouring piece.
bool contactGeometry(const Segment& s, double x, double y, double& nx, double& ny,
                     double& distance) {
  if (s.level) {
    nx = 0.0, ny = 1.0, distance = y;
    return true;
  }
  const double ex = s.bx - s.ax;
  const double ey = s.by - s.ay;
  const double length2 = ex * ex + ey * ey;
  const double t =
      length2 > 0.0 ? std::clamp(((x - s.ax) * ex + (y - s.ay) * ey) / length2, 0.0, 1.0) : 0.0;
  if (t > 0.0 && t < 1.0) {
    // Over the segment: the side of the track is the upper one, and a centre below
    // it is pushed back up rather than through.
    const double length = std::sqrt(length2);
    nx = -ey / length, ny = ex / length;
    distance = (x - s.ax) * nx + (y - s.ay) * ny;
    return true;
  }
  // Beyond an end the wheel bears on the end point itself, which keeps the force
  // continuous as the wheel passes a corner. A corner two pieces share lies on both
  // lines: counted by each, it would double the support for the few millimetres
  // where the wheel's overlap reaches it. The first piece counts it while the centre
  // is past both pieces; over the next piece that piece's line carries the wheel.
  const double px = s.ax + t * ex, py = s.ay + t * ey;
  const double dx = x - px, dy = y - py;
  distance = std::hypot(dx, dy);
  if (distance >= kShortestDistance) {
    nx = dx / distance, ny = dy / distance;
  } else {
    nx = 0.0, ny = 1.0;
  }
  if (t == 0.0 && length2 > 0.0) return !s.joinedStart;
  if (length2 == 0.0 && s.joinedStart) return false;
  if (!s.joinedEnd) return true;
  return dx * s.nextEx + dy * s.nextEy <= 0.0;
}

struct WheelLaw {
  Segment segment;
  double radius = 0.0, mu = 0.0, stiffness = 0.0, damping = 0.0, stickSpeed = 0.0, a0 = 0.0;
};

struct WheelState {
  double nx = 0.0, ny = 1.0;
  double overlap = 0.0;   // m
  double normal = 0.0;    // N on the wheel along n
  double friction = 0.0;  // N on the wheel along t = (n_y, -n_x)
  double slip = 0.0;      // m/s of the contact point along t
  int regime = 0;         // 0 clear, 1 rolling, 2 sliding
};

// Touching or clear is settled where `decide` is set; the record's regime is 1
// rolling, 2 sliding.
//   u = r - dist, N = k·u + c·du/dt (≥ 0; c once touching at the step's start),
//   v_s = t·v + r·ω, f = -μ·N·v_s/v_st rolling, ∓μ·N sliding (state of the step)
//   Q[x, y] = N·n + f·t, Q[θ] = r·f
WheelState wheelForces(const WheelLaw& law, const double* q, const double* h, double* Q,
                       bool decide, int& regime, int friction) {
  WheelState w;
  double distance = 0.0, hx = 0.0, hy = 0.0, historyDistance = 0.0;
  const bool counted = contactGeometry(law.segment, q[0], q[1], w.nx, w.ny, distance);
  contactGeometry(law.segment, h[0], h[1], hx, hy, historyDistance);
  w.overlap = law.radius - distance;
  const double rate = law.a0 * (historyDistance - distance);
  const double push =
      law.stiffness * w.overlap + contactDamping(law.damping, law.radius - historyDistance) * rate;
  const double tx = w.ny, ty = -w.nx;
  w.slip = tx * law.a0 * (q[0] - h[0]) + ty * law.a0 * (q[1] - h[1]) +
           law.radius * law.a0 * (q[2] - h[2]);
  if (decide) {
    regime = counted && w.overlap > 0.0 && push > 0.0 ? 1 : 0;
  }
  w.regime = regime != 0 && friction != kSticking ? 2 : regime;
  if (regime != 0) {
    w.normal = push;
    w.friction = frictionForce(friction, law.mu, push, w.slip, law.stickSpeed);
  }
  Q[0] = w.normal * w.nx + w.friction * tx;
  Q[1] = w.normal * w.ny + w.friction * ty;
  Q[2] = law.radius * w.friction;
  return w;
}

void drawTrack(DisplayList& list, const Segment& s, double x, double radius) {
  if (s.level) {
    recordShape3(list, x - 3.0 * radius, 0.0, x + 3.0 * radius, 0.0, kTrackColour, kSolid);
    return;
  }
  recordShape3(list, s.ax, s.ay, s.bx, s.by, kTrackColour, kSolid);
}

}  // namespace

// Wheel centre (x, y), rotation θ; contact with one track segment, normal n from the
// track to the centre, t = (n_y, -n_x) along it:
//   F[x, y] += N·n + f·t, F[θ] += r·f, with N and f above
// Jacobian by central differences of ±1e-8 on x, y, θ.
int evaluateWheel(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  double* p = element->realSlots;
  const int x = unknownSlot(run, *element, 1);
  const int y = unknownSlot(run, *element, 2);
  const int theta = unknownSlot(run, *element, 3);
  if (isFirstIteration(run) || run.initialPass != 0) {
    if (!(p[1] > 0.0) || !(p[2] >= 0.0) || !(p[3] > 0.0) || !(p[4] >= 0.0) || !(p[6] >= 0.0)) {
      return context.reporter.modelError(kBadData, quotedLine(*element));
    }
  }
  if (!(p[1] > 0.0) || !(p[2] >= 0.0) || !(p[3] > 0.0) || !(p[4] >= 0.0)) return 0;
  int& friction = element->variableSlots[kFrictionStateSlot];
  if (run.initialPass != 0) friction = kSticking;
  // The preparation pass has nothing to carry: the recording pass of the last solved
  // step has set this step's friction state. After a failed attempt the rates of
  // the restored unknowns mean nothing (a0 and H are already the failed attempt's).
  if (run.recordingFlag < 0) return 0;
  // Only the group's first entry limits the rotation: one cut per step is enough.
  if (row == element->groupFirst || element->groupFirst == 0) limitStepRotation(run, theta);

  WheelLaw law;
  law.segment = segmentOf(context.model, row);
  law.radius = p[1];
  law.mu = p[2];
  law.stiffness = p[3];
  law.damping = p[4];
  law.stickSpeed = p[6] > 0.0 ? p[6] : kDefaultStickSpeed;
  law.a0 = run.a0();
  const int indices[3] = {x, y, theta};
  const LawCoordinates c = lawCoordinates(run, indices, 3);
  WheelState w;
  int regime = 0;
  stampForceLaw(run, c, [&](const double* q, const double* h, double* Q, bool decide) {
    const WheelState state = wheelForces(law, q, h, Q, decide, regime, friction);
    if (decide) w = state;
  });
  if (row == element->groupFirst || element->groupFirst == 0) {
    for (int index : indices) addCoordinateDamping(context, index);
  }
  voteChange(run, mechanicalTolerances(context.model), w.overlap, p[kVoteSlot]);

  if (recording(run) && ownsReturnRecord(*element)) {
    ParameterStore& store = context.model.parameters;
    const int id = element->returnBlockId;
    const double fx = w.normal * w.nx + w.friction * w.ny;
    const double fy = w.normal * w.ny - w.friction * w.nx;
    store[id + 1] = fx;
    store[id + 2] = fy;
    store[id + 3] = w.normal;
    store[id + 4] = w.friction;
    store[id + 5] = w.slip;
    store[id + 6] = w.regime;
    store[id + 7] = w.overlap;
    store[id + 8] = w.friction * w.slip;  // power lost in sliding, ≤ 0
    store[id + 9] = toDegrees(rateOf(run, theta));
  }
  // The slip of the solved step decides the next step's friction state.
  if (recordsSolvedStep(run)) friction = nextFrictionState(friction, w.slip, law.stickSpeed);
  if (displaying(run)) {
    DisplayList& list = run.display;
    list.currentTag = kElementOutlineTag;
    drawTrack(list, law.segment, c.at[0], law.radius);
    if (row == element->groupFirst || element->groupFirst == 0) {
      drawModelCircle(list, c.at[0], c.at[1], law.radius, c.at[2], 1.0, kWheelColour);
    }
    // Drawn clear of the track too (zero force): every frame holds the same shapes.
    if (drawsForces(*element)) {
      drawForceArrow(context, c.at[0] - law.radius * w.nx, c.at[1] - law.radius * w.ny,
                     w.normal * w.nx + w.friction * w.ny, w.normal * w.ny - w.friction * w.nx);
    }
  }
  return 0;
}

}  // namespace movra
