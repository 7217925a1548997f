// The elastic beam: the flexible counterpart of the rigid link, a planar
// Euler–Bernoulli beam between two nodes written in the frame of its chord
// (co-rotational), so that a large rigid turn costs no force and only the
// deformation relative to the chord does. Axial stiffness EA/L, bending stiffness
// from EI; the Jacobian by central differences of the end forces.
#include <cmath>

#include "elements/conventions.h"
#include "elements/mechanical/mechanical.h"

namespace movra {

namespace {

constexpr char kZeroLength[] = " L が 0 ？ \n\n %s";
constexpr char kLengthThroughZero[] = " L が 0 を越えた？ %e \n\n %s";
constexpr char kBadMaterial[] = " 材料データが？？ %e %e %e %e %e %e \n\n %s";

// Real slots: remembered relative displacements of the vote; EA and EI; the
// reference and present chord angles; the end moments and the axial force; the
// starting length and direction that model setup measures.
constexpr int kVoteMemory = 11;
constexpr int kAxialStiffnessSlot = 16;
constexpr int kBendingStiffnessSlot = 17;
constexpr int kFirstMomentSlot = 23;
constexpr int kSecondMomentSlot = 27;
constexpr int kAxialForceSlot = 29;
constexpr int kChordAngleSlot = 48;
constexpr int kReferenceAngleSlot = 49;
constexpr int kStartingSideSlot = 50;  // +1 or -1: the sign of L at the start of the run
constexpr int kStartingLengthSlot = 51;
constexpr int kStartingDirectionSlot = 52;

// Step of the central differences, m and rad.
constexpr double kDifferenceStep = 1e-8;

constexpr int kBeamColour = 28;
constexpr int kSolid = 0;
constexpr int kDrawnSegments = 12;

struct BeamSection {
  double length = 0.0;     // L, m
  double direction = 0.0;  // φ_0 in the first node's frame, rad
  double axial = 0.0;      // EA, N
  double bending = 0.0;    // EI, N·m²
};

struct BeamForces {
  double forceX = 0.0;  // on the first node, N
  double forceY = 0.0;
  double firstMoment = 0.0;  // M_i on the first node, N·m
  double endMoment = 0.0;    // M_j; the second node takes -M_j
  double axial = 0.0;        // N
  double shear = 0.0;        // V
  double chordAngle = 0.0;   // ψ, rad
  double chord = 0.0;        // ℓ, m
  double deflection = 0.0;   // w, m
  double elongation = 0.0;   // u, m
  double twist = 0.0;        // Δθ, rad
};

// The chord angle on the branch nearest the reference ρ.
double chordAngleOf(double dx, double dy, double reference) {
  const double raw = dx == 0.0 && dy == 0.0 ? 0.0 : vectorAngle(dx, dy);
  const double turn = 2.0 * kPi;
  const double first = turn * std::floor(reference / turn) + raw;
  const double second = first + turn;
  return std::fabs(first - reference) <= std::fabs(second - reference) ? first : second;
}

BeamForces beamForces(const BeamSection& b, double dx, double dy, double ti, double tj,
                      double reference) {
  BeamForces f;
  const double L = b.length;
  const double kb = 12.0 * b.bending / (L * L * L);
  const double kc = -6.0 * b.bending / (L * L);
  const double km = 4.0 * b.bending / L;
  const double ka = b.axial / L;
  f.chord = std::sqrt(dx * dx + dy * dy);
  f.chordAngle = chordAngleOf(dx, dy, reference);
  f.deflection = (f.chordAngle - (ti + b.direction)) * f.chord;
  f.elongation = f.chord - L;
  f.twist = tj - ti;
  f.shear = kb * f.deflection + kc * f.twist;
  f.axial = ka * f.elongation;
  f.endMoment = kc * f.deflection + km * f.twist;
  const double c = std::cos(f.chordAngle);
  const double s = std::sin(f.chordAngle);
  f.forceX = f.axial * c - f.shear * s;
  f.forceY = f.axial * s + f.shear * c;
  f.firstMoment = dx * f.forceY - dy * f.forceX + f.endMoment;
  return f;
}

// The deflected line: cubic (Hermite) shape along the chord from the end slopes
// relative to the chord, a_i = θ_i + φ_0 - ψ and a_j = θ_j + φ_0 - ψ.
void drawBeam(DisplayList& list, double xi, double yi, const BeamForces& f, double slopeI,
              double slopeJ) {
  list.currentTag = kElementOutlineTag;
  const double c = std::cos(f.chordAngle);
  const double s = std::sin(f.chordAngle);
  double fromX = xi;
  double fromY = yi;
  for (int k = 1; k <= kDrawnSegments; ++k) {
    const double xi1 = static_cast<double>(k) / kDrawnSegments;
    const double v = f.chord * (slopeI * (xi1 - 2.0 * xi1 * xi1 + xi1 * xi1 * xi1) +
                                slopeJ * (xi1 * xi1 * xi1 - xi1 * xi1));
    const double along = f.chord * xi1;
    const double toX = xi + along * c - v * s;
    const double toY = yi + along * s + v * c;
    recordShape3(list, fromX, fromY, toX, toY, kBeamColour, kSolid);
    fromX = toX;
    fromY = toY;
  }
}

}  // namespace

// L = L_0 + P6 (|L| along φ_0 + π when negative); k_b = 12·EI/L³, k_c = -6·EI/L²,
// k_m = 4·EI/L, k_a = EA/L; chord ℓ at angle ψ (unwrapped against the reference):
//   w = (ψ - θ_i - φ_0)·ℓ (m), u = ℓ - L (m), Δθ = θ_j - θ_i (rad)
//   V = k_b·w + k_c·Δθ, N = k_a·u (N), M_j = k_c·w + k_m·Δθ (N·m)
//   (F_x, F_y) = N·(cos, sin)ψ + V·(-sin, cos)ψ on the first node, the opposite on the
//   second; F[θ_i] += dx·F_y - dy·F_x + M_j, F[θ_j] -= M_j
// Derivatives over dx, dy, θ_i, θ_j by central differences of ±1e-8.
int evaluateBeam(EvaluationContext& context, int row) {
  ElementEntry* element = elementAt(context.model, row);
  if (element == nullptr) return 0;
  Run& run = context.run;
  double* p = element->realSlots;
  const NodePair n = nodePairOf(run, *element);

  BeamSection section;
  const double written = p[6] + p[kStartingLengthSlot];
  section.length = std::fabs(written);
  section.direction = p[kStartingDirectionSlot] + (written < 0.0 ? kPi : 0.0);
  if (run.initialPass != 0 && run.kt == 0) p[kStartingSideSlot] = written < 0.0 ? -1.0 : 1.0;
  if (isFirstIteration(run) || run.initialPass != 0) {
    if (written == 0.0) return context.reporter.modelError(kZeroLength, quotedLine(*element));
    // A driven length that has passed through zero would turn the beam by π within
    // one step, and its bending law would answer the turn with a force of the order
    // 12·EI·π·ℓ/L³: no beam does that, so the run stops here instead.
    if (written * p[kStartingSideSlot] < 0.0) {
      return context.reporter.modelError(kLengthThroughZero, written, quotedLine(*element));
    }
    if (!(p[1] >= 0.0 && p[2] >= 0.0 && p[3] > 0.0 && p[4] > 0.0)) {
      return context.reporter.modelError(kBadMaterial, p[1], p[2], p[3], p[4], p[5], p[6],
                                         quotedLine(*element));
    }
  }
  if (run.initialPass != 0 && run.kt == 0) p[kReferenceAngleSlot] = section.direction;
  section.axial = p[1] * p[3];
  section.bending = p[1] * p[4];
  p[kAxialStiffnessSlot] = section.axial;
  p[kBendingStiffnessSlot] = section.bending;
  // Checked data never get here without a length; nothing to add if they do.
  if (!(section.length > 0.0)) return 0;

  const double dx = run.X[n.xj] - run.X[n.xi];
  const double dy = run.X[n.yj] - run.X[n.yi];
  const double ti = run.X[n.ti];
  const double tj = run.X[n.tj];
  const double reference = p[kReferenceAngleSlot];

  // Columns of dx, dy (second node +, first node -), θ_i and θ_j.
  for (int variable = 0; variable < 4; ++variable) {
    const double h = kDifferenceStep;
    const double shift[4] = {variable == 0 ? h : 0.0, variable == 1 ? h : 0.0,
                             variable == 2 ? h : 0.0, variable == 3 ? h : 0.0};
    const BeamForces up =
        beamForces(section, dx + shift[0], dy + shift[1], ti + shift[2], tj + shift[3], reference);
    const BeamForces down =
        beamForces(section, dx - shift[0], dy - shift[1], ti - shift[2], tj - shift[3], reference);
    const double dFx = (up.forceX - down.forceX) / (2.0 * h);
    const double dFy = (up.forceY - down.forceY) / (2.0 * h);
    const double dMi = (up.firstMoment - down.firstMoment) / (2.0 * h);
    const double dMj = (up.endMoment - down.endMoment) / (2.0 * h);
    int columns[2] = {0, 0};
    const double signs[2] = {1.0, -1.0};
    int count = 1;
    if (variable == 0) columns[0] = n.xj, columns[1] = n.xi, count = 2;
    if (variable == 1) columns[0] = n.yj, columns[1] = n.yi, count = 2;
    if (variable == 2) columns[0] = n.ti;
    if (variable == 3) columns[0] = n.tj;
    for (int k = 0; k < count; ++k) {
      const int column = columns[k];
      const double sign = signs[k];
      run.jacobian(n.xi, column) += sign * dFx;
      run.jacobian(n.yi, column) += sign * dFy;
      run.jacobian(n.ti, column) += sign * dMi;
      run.jacobian(n.xj, column) -= sign * dFx;
      run.jacobian(n.yj, column) -= sign * dFy;
      run.jacobian(n.tj, column) -= sign * dMj;
    }
  }
  // The unperturbed evaluation last: the stored angle and forces are the iterate's.
  const BeamForces f = beamForces(section, dx, dy, ti, tj, reference);
  p[kChordAngleSlot] = f.chordAngle;
  p[kFirstMomentSlot] = f.firstMoment;
  p[kSecondMomentSlot] = -f.endMoment;
  p[kAxialForceSlot] = f.axial;
  run.F[n.xi] += f.forceX;
  run.F[n.yi] += f.forceY;
  run.F[n.ti] += f.firstMoment;
  run.F[n.xj] -= f.forceX;
  run.F[n.yj] -= f.forceY;
  run.F[n.tj] -= f.endMoment;
  addCoordinateDamping(context, n.ti);
  addCoordinateDamping(context, n.tj);

  const Tolerances tolerances = mechanicalTolerances(context.model);
  voteChange(run, tolerances, -dx, p[kVoteMemory]);
  voteChange(run, tolerances, -dy, p[kVoteMemory + 1]);
  voteChange(run, tolerances, ti - tj, p[kVoteMemory + 2]);

  if (recording(run)) {
    p[kReferenceAngleSlot] = p[kChordAngleSlot];
    if (ownsReturnRecord(*element)) {
      ParameterStore& store = context.model.parameters;
      const int id = element->returnBlockId;
      const double L = section.length;
      const double energy =
          0.5 * (section.axial / L) * f.elongation * f.elongation +
          0.5 * (12.0 * section.bending / (L * L * L)) * f.deflection * f.deflection -
          6.0 * section.bending / (L * L) * f.deflection * f.twist +
          0.5 * (4.0 * section.bending / L) * f.twist * f.twist;
      store[id + 1] = f.forceX;
      store[id + 2] = f.forceY;
      store[id + 3] = std::hypot(f.forceX, f.forceY);
      store[id + 4] = toDegrees(vectorAngle(f.forceX, f.forceY));
      store[id + 5] = f.axial;
      store[id + 6] = f.shear;
      store[id + 7] = f.firstMoment;
      store[id + 8] = -f.endMoment;
      store[id + 9] = f.deflection;
      store[id + 10] = f.elongation;
      store[id + 11] = dx;
      store[id + 12] = dy;
      store[id + 13] = f.chord;
      store[id + 14] = toDegrees(f.chordAngle);
      store[id + 15] = toDegrees(f.twist);
      store[id + 16] = energy;
    }
  }
  if (displaying(run)) {
    const double xi = run.X[n.xi];
    const double yi = run.X[n.yi];
    drawBeam(run.display, xi, yi, f, ti + section.direction - f.chordAngle,
             tj + section.direction - f.chordAngle);
    if (drawsForces(*element)) {
      drawForceArrow(context, xi, yi, f.forceX, f.forceY);
      drawForceArrow(context, run.X[n.xj], run.X[n.yj], -f.forceX, -f.forceY);
      drawMomentArc(context, run.X[n.xj], run.X[n.yj], -f.endMoment);
    }
  }
  return 0;
}

}  // namespace movra
