// Checks over the whole model after the last statement: joint rules and variable
// keys, drawing modes, the output list, the thermal-fluid network, the starting
// length of combined springs and the electrical ground.
#include "input/model_checks.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "input/command_statements.h"
#include "input/statement_reader.h"

namespace movra {

namespace {

constexpr int kSlots = 10;
constexpr int kMechanicalKind = 1;
constexpr int kElectricalKind = 2;
constexpr int kRigidMark = -10;
constexpr int kPinMark = -1;
constexpr int kHighestCoordinateKey = 2002;  // node 200 written "n"

// ---------------------------------------------------------------- families

// The domain of an element's nodes. As a key's use, electrical stands for every
// potential; a key must never serve two uses.
enum class Domain : uint8_t {
  kNone,
  kMechanical,
  kElectrical,
  kMagnetic,
  kFluid,
  kThermal,
  kVelocity,
  kInternal,
};

// Which node unknowns an element's slots take.
enum class NodeForm : uint8_t {
  kNone,        // no evaluator: no keys at all
  kPoints,      // x, y of both nodes in slots 1, 2 and 4, 5
  kPair,        // x, y, angle of node 1 in 1..3, of node 2 in 4..6
  kSecond,      // x, y, angle of node 2 in 1..3
  kBody,        // as kSecond, and the three velocities in 4..6
  kPotential2,  // potentials of nodes 1 and 2 in slots 1, 2
  kPotential3,  // potentials of nodes 1..3 in slots 1..3
};

struct Family {
  NodeForm nodes = NodeForm::kNone;
  Domain domain = Domain::kNone;
  uint16_t own = 0;  // bit k: slot k is an unknown of the element's own
};

constexpr uint16_t slots(std::initializer_list<int> list) {
  uint16_t mask = 0;
  for (int slot : list) mask = static_cast<uint16_t>(mask | (1u << slot));
  return mask;
}

struct FamilyRow {
  std::initializer_list<int> codes;
  Family family;
};

// The slot order of each type code's evaluator. Codes without an evaluator take no
// keys: an unknown that no element writes would leave an empty row in the system.
constexpr NodeForm kPair = NodeForm::kPair;
constexpr NodeForm kPotential2 = NodeForm::kPotential2;
constexpr Domain kMech = Domain::kMechanical;
constexpr Domain kElec = Domain::kElectrical;
constexpr Domain kThermal = Domain::kThermal;
constexpr Domain kFluid = Domain::kFluid;
constexpr FamilyRow kFamilies[] = {
    {{5}, {NodeForm::kPoints, kMech}},
    {{6, 17}, {kPair, kMech, slots({7, 8, 9})}},     // three multipliers
    {{8}, {kPair, kMech, slots({7, 8})}},            // normal force, locking moment
    {{12, 13, 14, 62}, {kPair, kMech, slots({7})}},  // tooth, belt or contact force
    {{7, 9, 10, 15, 18, 65}, {kPair, kMech}},
    {{11}, {NodeForm::kBody, kMech}},
    {{16}, {NodeForm::kSecond, kMech}},
    {{20, 21, 23, 26, 27}, {kPotential2, kElec, slots({3})}},  // branch current
    {{22, 24, 25}, {kPotential2, kElec}},
    {{29}, {kPotential2, kElec, slots({3, 4})}},  // both port currents
    {{31}, {NodeForm::kPotential3, kElec, slots({4, 5})}},
    {{32}, {NodeForm::kPotential3, kElec}},
    {{35}, {NodeForm::kPotential3, kElec, slots({4})}},  // output current
    {{28, 68, 69}, {kPotential2, Domain::kMagnetic}},
    {{41}, {kPotential2, kThermal, slots({3})}},     // heat flow
    {{43}, {kPotential2, kThermal, slots({3, 4})}},  // middle node, exchanged heat
    {{42, 44, 45, 46, 47, 48}, {kPotential2, kThermal}},
    {{51, 52, 53, 55, 56, 57, 58}, {kPotential2, kFluid, slots({3})}},  // flow
    {{54}, {kPotential2, kFluid}},  // the rod's nodes come from its data
};

constexpr Family familyOf(int typeCode) {
  for (const FamilyRow& row : kFamilies) {
    for (int code : row.codes) {
      if (code == typeCode) return row.family;
    }
  }
  return {};
}

// ---------------------------------------------------------------- node references

bool isFixedPotential(int id) {
  return id <= 0 || (id >= 100 && id <= 198);
}

// The node id of a stored reference, whatever suffix it was written with.
int nodeIdOf(int value, int mark) {
  return mark != 0 ? value / 10 : value;
}

int potentialKey(int value, int mark) {
  const int id = nodeIdOf(value, mark);
  return isFixedPotential(id) ? 0 : id + kPotentialKeyOffset;
}

// Key base of a mechanical reference; a reference without a suffix is read as rigid.
int mechanicalBase(int value, int mark) {
  const int base = mark == 0 ? value * 10 : (mark == kPinMark ? value - 1 : value);
  return base > 0 ? base : 0;
}

// ---------------------------------------------------------------- keys

constexpr int kKeyLimit = kFirstInternalKey + kElementCapacity * kSlots + 10;

struct KeyState {
  int nextInternal = kFirstInternalKey;
  std::array<Domain, kKeyLimit> claim{};
};

// The pin end of a link turns on its own: its angle slot takes an internal key.
bool pinEndsTurnFreely(const char* keyword) {
  static constexpr const char* kLinks[] = {"ls", "lr", "lrr", "lb", "lbz", "lbv", "lbc", "lb8"};
  for (const char* link : kLinks) {
    if (std::strcmp(keyword, link) == 0) return true;
  }
  return false;
}

bool is(const ElementEntry& element, const char* keyword) {
  return std::strcmp(element.keyword, keyword) == 0;
}

bool isRigid(const ElementEntry& element, int n) {
  return element.terminalMark[n] == kRigidMark;
}

// The joint rules of the mechanical keywords. Returns 0 or 9.
int checkJoints(ElementEntry& element, const Model& model, Reporter& reporter) {
  const char* line = element.text;
  if (is(element, "wh")) {
    if (!isRigid(element, 2)) return reporter.modelError(" 節は剛接？ \n\n %s", line);
  } else if (is(element, "st")) {
    // Reported once, then read as rigid: reading goes on.
    if (!isRigid(element, 1) || !isRigid(element, 2)) {
      reporter.modelError(" 節は剛接？ \n\n %s", line);
      for (int n = 1; n <= 2; ++n) {
        element.node[n] = mechanicalBase(element.node[n], element.terminalMark[n]);
        element.terminalMark[n] = kRigidMark;
      }
    }
  } else if (is(element, "mj")) {
    if (element.terminalMark[2] == 0) return reporter.modelError(" 節のｉｄが？.. \n\n　%s", line);
  } else if (is(element, "sp") || is(element, "sc")) {
    if (element.terminalMark[1] == 0 || element.terminalMark[2] == 0) {
      return reporter.modelError(" 節のｉｄが？.... \n\n %s", line);
    }
  } else if (is(element, "ls")) {
    if (element.terminalMark[1] == 0 || element.terminalMark[2] == 0) {
      return reporter.modelError(" 節ｉｄに n か p が？ \n\n %s", line);
    }
  } else if (pinEndsTurnFreely(element.keyword)) {
    if (element.terminalMark[1] == 0 || element.terminalMark[2] == 0) {
      return reporter.modelError(" 節ｉｄが？ \n\n %s", line);
    }
  } else if (is(element, "cb") || is(element, "gs")) {
    if (!isRigid(element, 1) || !isRigid(element, 2)) {
      return reporter.modelError(" 節に剛接？ \n\n %s", line);
    }
    if (element.realSlots[1] == 0.0 || element.realSlots[2] == 0.0) {
      return reporter.modelError(" 半径が？ \n\n %s", line);
    }
  } else if (is(element, "pu")) {
    if (!isRigid(element, 1) || !isRigid(element, 2)) {
      return reporter.modelError(" 節に剛接、リンク要素でピン接を用意？ \n\n %s", line);
    }
  } else if (is(element, "pc")) {
    if (!isRigid(element, 1) || !isRigid(element, 2)) {
      return reporter.modelError(" 節に剛接？ %d %d \n\n %s", element.node[1], element.node[2],
                                 line);
    }
  } else if (is(element, "fc") || is(element, "tr")) {
    if (!isRigid(element, 1) || !isRigid(element, 2)) {
      return reporter.modelError(" 節に剛接？ \n\n %s", line);
    }
  } else if (is(element, "Sw")) {
    for (int n = 1; n <= 2; ++n) {
      const int id = nodeIdOf(element.node[n], element.terminalMark[n]);
      if (id <= 0) continue;  // the ground of every domain
      const int kind = id < kNodeCount ? model.nodes.kind[id] : 0;
      if (kind != kMechanicalKind && kind != kElectricalKind) {
        return reporter.modelError(" 節の用途が？ %d %d \n\n %s", id, kind, line);
      }
    }
  }
  return 0;
}

// Writes one key into a slot, refusing a key that another use already has: a
// mechanical node of 100 or more, or a potential node of 1000 or more, forms keys
// that potentials, coordinates, velocities or internal unknowns use as well.
int putKey(ElementEntry& element, int slot, int key, Domain claim, KeyState& state,
           Reporter& reporter) {
  element.variableSlots[slot] = key;
  if (key <= 0) return 0;
  if (key >= kKeyLimit) {
    return reporter.modelError(" 節ｉｄが他の節と重なる？ \n\n %s", element.text);
  }
  Domain& owner = state.claim[static_cast<size_t>(key)];
  if (owner != Domain::kNone && owner != claim) {
    return reporter.modelError(" 節ｉｄが他の節と重なる？ \n\n %s", element.text);
  }
  owner = claim;
  return 0;
}

int putInternal(ElementEntry& element, int slot, KeyState& state, Reporter& reporter) {
  const int key = state.nextInternal++;
  element.variableSlots[slot] = key;
  if (key >= kKeyLimit) {
    return reporter.modelError(" 節ｉｄが他の節と重なる？ \n\n %s", element.text);
  }
  Domain& owner = state.claim[static_cast<size_t>(key)];
  if (owner != Domain::kNone) {
    return reporter.modelError(" 節ｉｄが他の節と重なる？ \n\n %s", element.text);
  }
  owner = Domain::kInternal;
  return 0;
}

// x, y and angle of one mechanical node into three slots; a pin end of a link gets
// an angle of its own.
int putNode(ElementEntry& element, int n, int firstSlot, bool withAngle, bool freePin,
            KeyState& state, Reporter& reporter) {
  const int base = mechanicalBase(element.node[n], element.terminalMark[n]);
  const int x = base > 0 ? base + 1 : 0;
  const int y = base > 0 ? base + 2 : 0;
  if (putKey(element, firstSlot, x, Domain::kMechanical, state, reporter) != 0) return 9;
  if (putKey(element, firstSlot + 1, y, Domain::kMechanical, state, reporter) != 0) return 9;
  if (!withAngle) return 0;
  if (freePin && element.terminalMark[n] == kPinMark) {
    return putInternal(element, firstSlot + 2, state, reporter);
  }
  return putKey(element, firstSlot + 2, base, Domain::kMechanical, state, reporter);
}

// A node of "Sw" is keyed by its kind: a mechanical node by its angle, an
// electrical node by its potential.
int potentialOrAngleKey(const ElementEntry& element, const Model& model, int n, Domain& claim) {
  const int value = element.node[n];
  const int mark = element.terminalMark[n];
  const int id = nodeIdOf(value, mark);
  claim = Domain::kElectrical;
  if (!is(element, "Sw") || id <= 0 || id >= kNodeCount) return potentialKey(value, mark);
  if (model.nodes.kind[id] != kMechanicalKind) return potentialKey(value, mark);
  claim = Domain::kMechanical;
  return id * 10;
}

// The two-port names the nodes of its port 2 in fields 3 and 4; their potential keys
// go into slots 5 and 6, so that a node joined only by two-ports (between two
// windings on one core) is still an unknown. A field that is no whole node id is
// left out here; the evaluator refuses it at the line.
constexpr int kTwoPortCode = 29;

int putPortTwoKeys(ElementEntry& element, KeyState& state, Reporter& reporter) {
  for (int k = 0; k < 2; ++k) {
    const double id = element.realSlots[3 + k];
    if (!std::isfinite(id) || id != std::nearbyint(id) || id < 0.0 || id >= kKeyLimit) continue;
    const int key = potentialKey(static_cast<int>(id), 0);
    if (putKey(element, 5 + k, key, Domain::kElectrical, state, reporter) != 0) return 9;
  }
  return 0;
}

int writeElementKeys(ElementEntry& element, const Model& model, KeyState& state,
                     Reporter& reporter) {
  for (int slot = 1; slot <= kSlots; ++slot) element.variableSlots[slot] = 0;
  const Family family = familyOf(element.typeCode);
  const bool freePin = pinEndsTurnFreely(element.keyword);
  int status = 0;
  switch (family.nodes) {
    case NodeForm::kNone:
      return 0;
    case NodeForm::kPoints:
      status = putNode(element, 1, 1, false, false, state, reporter);
      if (status == 0) status = putNode(element, 2, 4, false, false, state, reporter);
      break;
    case NodeForm::kPair:
      status = putNode(element, 1, 1, true, freePin, state, reporter);
      if (status == 0) status = putNode(element, 2, 4, true, freePin, state, reporter);
      break;
    case NodeForm::kSecond:
      status = putNode(element, 2, 1, true, false, state, reporter);
      break;
    case NodeForm::kBody: {
      status = putNode(element, 2, 1, true, false, state, reporter);
      for (int k = 1; k <= 3 && status == 0; ++k) {
        const int key = element.variableSlots[k];
        status = putKey(element, k + 3, key > 0 ? key + kVelocityKeyOffset : 0, Domain::kVelocity,
                        state, reporter);
      }
      break;
    }
    case NodeForm::kPotential2:
    case NodeForm::kPotential3: {
      const int nodes = family.nodes == NodeForm::kPotential3 ? 3 : 2;
      for (int n = 1; n <= nodes && status == 0; ++n) {
        // Potentials of every domain share one key space: the node id names the node.
        Domain claim = Domain::kElectrical;
        const int key = family.domain == Domain::kElectrical
                            ? potentialOrAngleKey(element, model, n, claim)
                            : potentialKey(element.node[n], element.terminalMark[n]);
        status = putKey(element, n, key, claim, state, reporter);
      }
      break;
    }
  }
  for (int slot = 1; slot <= kSlots && status == 0; ++slot) {
    if (family.own & (1u << slot)) status = putInternal(element, slot, state, reporter);
  }
  if (status == 0 && element.typeCode == kTwoPortCode) {
    status = putPortTwoKeys(element, state, reporter);
  }
  return status;
}

// ---------------------------------------------------------------- drawing modes

// The annotation of the last ".vc" statement, or "" when the model has none.
const char* viewAnnotation(const Model& model) {
  const char* annotation = "";
  const int groups = model.count.commandStatements < kDisplayGroupCapacity
                         ? model.count.commandStatements
                         : kDisplayGroupCapacity - 1;
  for (int g = 1; g <= groups; ++g) {
    const char* text = model.groups[g].text;
    int record = -1;
    int consumed = 0;
    if (text[0] != '$' || std::sscanf(text + 1, "%3d%n", &record, &consumed) != 1) continue;
    if (record < 0 || record > model.lastRecordIndex || record >= kRecordCapacity) continue;
    const char* keyword = text + 1 + consumed;
    while (*keyword == ' ' || *keyword == '\t') ++keyword;
    if (std::strncmp(keyword, ".vc", 3) != 0) continue;
    if (keyword[3] != ' ' && keyword[3] != '\t' && keyword[3] != 0) continue;
    annotation = model.records[record].drawingAnnotation;
  }
  return annotation;
}

// "f1" in the ".vc" annotation (blanks ignored, so the "f 1" the editor writes
// counts) switches on the forces of every element that has no annotation of its own.
void finishDrawingModes(Model& model) {
  const char* annotation = viewAnnotation(model);
  char packed[kAnnotationBytes + 1] = {};
  int length = 0;
  for (int i = 0; i < kAnnotationBytes && annotation[i] != 0; ++i) {
    if (annotation[i] != ' ' && annotation[i] != '\t') packed[length++] = annotation[i];
  }
  const bool forcesOn = std::strstr(packed, "f1") != nullptr;
  for (int e = 1; e <= model.count.elements; ++e) {
    ElementEntry& element = model.elements[e];
    if (forcesOn && element.drawingMode == 0) element.drawingMode = 1;
    if (element.drawingMode == 10) element.drawingMode = 0;
  }
}

// ---------------------------------------------------------------- thermal-fluid network

constexpr int kHighestNodeId = 2000;

bool isThermal(const ElementEntry& element) {
  return element.typeCode >= 40 && element.typeCode <= 49;
}

// Parameter 2 as a whole number; a value no int can hold (or NaN) is no shape.
int shapeOf(const ElementEntry& element) {
  const double value = element.realSlots[2];
  return value > -1e9 && value < 1e9 ? static_cast<int>(value) : 0;
}

int thermalNode(const ElementEntry& element, int n) {
  return nodeIdOf(element.node[n], element.terminalMark[n]);
}

bool isAdvection(const ElementEntry& element) {
  return element.typeCode == 42 && shapeOf(element) == 1;
}

bool isNoAdvection(const ElementEntry& element) { return !isAdvection(element); }

// Advection links that end or start at a node.
int advectionsAt(const Model& model, int node) {
  int count = 0;
  for (int e = 1; e <= model.count.elements; ++e) {
    const ElementEntry& element = model.elements[e];
    if (!isAdvection(element)) continue;
    if (thermalNode(element, 1) == node || thermalNode(element, 2) == node) ++count;
  }
  return count;
}

// The element other than `self` met at a node, the first in element order; 0 none.
int otherElementAt(const Model& model, int self, int node, bool (*accept)(const ElementEntry&)) {
  for (int e = 1; e <= model.count.elements; ++e) {
    const ElementEntry& element = model.elements[e];
    if (e == self || !isThermal(element)) continue;
    if (thermalNode(element, 1) != node && thermalNode(element, 2) != node) continue;
    if (accept == nullptr || accept(element)) return e;
  }
  return 0;
}

bool isSurfaceResistance(const ElementEntry& element) {
  return element.typeCode == 48 && shapeOf(element) == 4;
}

// The surface resistance that ends (with its node 2) at a node, 0 none.
int surfaceEndingAt(const Model& model, int node) {
  for (int e = 1; e <= model.count.elements; ++e) {
    const ElementEntry& element = model.elements[e];
    if (isSurfaceResistance(element) && thermalNode(element, 2) == node) return e;
  }
  return 0;
}

// A flow element (type 47) sits at the position node its record carries, which
// must lie between its inlet and outlet. Without a position node it is drawn
// between them, and there is nothing to test.
int checkFlowPosition(const Model& model, const ElementEntry& element, Reporter& reporter) {
  if (element.statementLine < 0 || element.statementLine >= kRecordCapacity) return 0;
  const int at = model.records[element.statementLine].thirdNode;
  const int a = thermalNode(element, 1);
  const int b = thermalNode(element, 2);
  if (at <= 0 || at >= kNodeCount || a < 0 || a >= kNodeCount || b < 0 || b >= kNodeCount) return 0;
  const NodeTables& nodes = model.nodes;
  const auto between = [](double v, double p, double q) {
    return v >= (p < q ? p : q) && v <= (p < q ? q : p);
  };
  if (!between(nodes.x[at], nodes.x[a], nodes.x[b])) {
    return reporter.modelError(" ｘ座標において Hp要素が節の間にない？ \n\n %s", element.text);
  }
  if (!between(nodes.y[at], nodes.y[a], nodes.y[b])) {
    return reporter.modelError(" ｙ座標において Hp要素が節の間にない？ \n\n %s", element.text);
  }
  return 0;
}

int checkThermalNetwork(Model& model, Reporter& reporter) {
  // Elements met at each node; fixed nodes are no part of the network.
  std::array<int, kHighestNodeId + 1> met{};
  for (int e = 1; e <= model.count.elements; ++e) {
    const ElementEntry& element = model.elements[e];
    if (!isThermal(element)) continue;
    const int a = thermalNode(element, 1);
    const int b = thermalNode(element, 2);
    if (!isFixedPotential(a) && a <= kHighestNodeId) ++met[static_cast<size_t>(a)];
    if (b != a && !isFixedPotential(b) && b <= kHighestNodeId) ++met[static_cast<size_t>(b)];
  }
  const auto metAt = [&met](int node) {
    return isFixedPotential(node) || node > kHighestNodeId ? 0 : met[static_cast<size_t>(node)];
  };

  for (int e = 1; e <= model.count.elements; ++e) {
    ElementEntry& element = model.elements[e];
    if (!isThermal(element)) continue;
    const int a = thermalNode(element, 1);
    const int b = thermalNode(element, 2);
    const int shape = shapeOf(element);
    element.variableSlots[kThermalLinkSlot] = 0;
    element.variableSlots[kThermalLinkSlot + 1] = 0;
    if (element.typeCode == 48 && shape == 4 && metAt(b) > 3) {
      return reporter.modelError(" 面抵抗の次節がＷ？ \n\n %s", element.text);
    }
    if (element.typeCode == 48 && shape == 5) {
      element.variableSlots[kThermalLinkSlot] = metAt(a) > 0 ? surfaceEndingAt(model, a) : 0;
      element.variableSlots[kThermalLinkSlot + 1] = metAt(b) > 0 ? surfaceEndingAt(model, b) : 0;
    }
    if (element.typeCode == 43 && shape == 4) {
      // The overall wall sits on the inlet node of each of its two streams; the
      // advection links that feed those inlets take no heat from it and are not
      // counted.
      if (metAt(a) - advectionsAt(model, a) > 2 || metAt(b) - advectionsAt(model, b) > 2) {
        return reporter.modelError(" 総括の壁がＷ？ \n\n %s", element.text);
      }
      element.variableSlots[kThermalLinkSlot] =
          metAt(a) > 0 ? otherElementAt(model, e, a, isNoAdvection) : 0;
      element.variableSlots[kThermalLinkSlot + 1] =
          metAt(b) > 0 ? otherElementAt(model, e, b, isNoAdvection) : 0;
    }
    // A stream (47) runs between advection links; a body in a flow (46) joins a
    // surface to the free stream and has neither inlet nor outlet.
    if (element.typeCode == 47) {
      if (otherElementAt(model, e, a, isAdvection) == 0) {
        return reporter.modelError(" 入口の接続がＷ？ \n\n %s", element.text);
      }
      if (otherElementAt(model, e, b, isAdvection) == 0) {
        return reporter.modelError(" 出口の接続がＷ？ \n\n %s", element.text);
      }
    }
    if (element.typeCode == 47 && checkFlowPosition(model, element, reporter) != 0) return 9;
  }
  return 0;
}

// ---------------------------------------------------------------- starting lengths

// Combined springs (9) take their natural length, rigid links (6), elastic beams (7)
// and sliders (8) their length and direction (radians, the angle rule's 1e-18) from
// where the editor placed the nodes; a slider's guide runs along that direction.
void storeStartingLengths(Model& model) {
  for (int e = 1; e <= model.count.elements; ++e) {
    ElementEntry& element = model.elements[e];
    if (element.typeCode < 6 || element.typeCode > 9) continue;
    const int32_t* key = element.variableSlots;
    const double dx = initialNodeValue(model, key[4]) - initialNodeValue(model, key[1]);
    const double dy = initialNodeValue(model, key[5]) - initialNodeValue(model, key[2]);
    element.realSlots[kStartingLengthSlot] = std::sqrt(dx * dx + dy * dy);
    if (element.typeCode != 9) {
      element.realSlots[kStartingLengthSlot + 1] = std::atan2(dy, dx + 1e-18);
    }
  }
}

// ---------------------------------------------------------------- electrical ground

int checkElectricalGround(const Model& model, Reporter& reporter) {
  bool referenced = false;
  bool grounded = false;
  for (int e = 1; e <= model.count.elements; ++e) {
    const ElementEntry& element = model.elements[e];
    const Family family = familyOf(element.typeCode);
    if (family.domain != Domain::kElectrical) continue;
    const int nodes = family.nodes == NodeForm::kPotential3 ? 3 : 2;
    for (int n = 1; n <= nodes; ++n) {
      Domain claim = Domain::kElectrical;
      potentialOrAngleKey(element, model, n, claim);
      if (claim != Domain::kElectrical) continue;  // a mechanical node of "Sw"
      referenced = true;
      if (isFixedPotential(nodeIdOf(element.node[n], element.terminalMark[n]))) grounded = true;
    }
  }
  if (referenced && !grounded) return reporter.modelError("電気グランドから浮いている？");
  return 0;
}

// Elements 1..count, never past the table.
void clampElementCount(Model& model) {
  if (model.count.elements > kElementCapacity - 1) model.count.elements = kElementCapacity - 1;
  if (model.count.elements < 0) model.count.elements = 0;
}

}  // namespace

double initialNodeValue(const Model& model, int key) {
  if (key < 10 || key > kHighestCoordinateKey) return 0.0;
  const int component = key % 10;
  if (component != 1 && component != 2) return 0.0;
  int node = key / 10;
  if (node >= kNodeCount) return 0.0;
  // From 1000 on, a key is a potential unless the node is a mechanical one.
  if (key >= kPotentialKeyOffset && model.nodes.kind[node] != kMechanicalKind) return 0.0;
  bool listed = false;
  for (int i = 0; i < kNodeListCount && model.nodes.nodeList[i] >= 0; ++i) {
    if (model.nodes.nodeList[i] == node) {
      listed = true;
      break;
    }
  }
  // The node list holds only the draggable nodes below 198; a mechanical node from
  // 198 on keeps the position its ".in" gave it all the same.
  constexpr int kFirstUnlistedNode = 198;
  if (!listed && node < kFirstUnlistedNode) return 0.0;
  const int mapped = model.nodes.nodeMap[node];
  if (mapped >= 0 && mapped < kNodeCount) node = mapped;
  return component == 1 ? model.nodes.x[node] : model.nodes.y[node];
}

int writeVariableKeys(Model& model, Reporter& reporter) {
  clampElementCount(model);
  auto state = std::make_unique<KeyState>();
  for (int e = 1; e <= model.count.elements; ++e) {
    ElementEntry& element = model.elements[e];
    if (checkJoints(element, model, reporter) != 0) return 9;
    if (writeElementKeys(element, model, *state, reporter) != 0) return 9;
  }
  return 0;
}

int checkModel(Model& model, Reporter& reporter) {
  if (writeVariableKeys(model, reporter) != 0) return 9;
  finishDrawingModes(model);
  if (checkOutputList(model, reporter) != 0) return 9;
  if (checkThermalNetwork(model, reporter) != 0) return 9;
  storeStartingLengths(model);
  return checkElectricalGround(model, reporter);
}

}  // namespace movra
