// After the last statement: the elements the interactive launch modes add, and the
// editor's node map for mechanical nodes of 100 and above.
#include <cstdio>
#include <cstring>

#include "input/statement_reader.h"

namespace movra {

namespace {

// A spring-damper that ties a node to the pointer (or a node to itself, which
// keeps the mode's element list the same shape when nothing is connected).
ElementEntry* addElement(Model& model, Reporter& reporter, const char* keyword, int typeCode,
                         int node1, int node2) {
  if (model.count.elements + 1 >= kElementCapacity) {
    reporter.modelError(" 要素の数が１００を超える ");
    return nullptr;
  }
  const int number = ++model.count.elements;
  ElementEntry& element = model.elements[number];
  element = ElementEntry{};
  element.typeCode = typeCode;
  std::snprintf(element.keyword, sizeof element.keyword, "%s", keyword);
  std::snprintf(element.text, sizeof element.text, "%s %d %d", keyword, node1, node2);
  const int nodes[3] = {0, node1, node2};
  for (int n = 1; n <= 2; ++n) {
    element.node[n] = nodes[n];
    element.writtenNode[n] = nodes[n];
    element.terminalMark[n] = -10;
  }
  for (int k = 1; k <= 10; ++k) element.empty[k] = 1;
  element.groupFirst = number;
  element.groupLast = number;
  return &element;
}

ElementEntry* addPointerSpring(Model& model, Reporter& reporter, int node1, int node2) {
  ElementEntry* element = addElement(model, reporter, "sc", 5, node1, node2);
  if (element == nullptr) return nullptr;
  element->realSlots[1] = 1e6;
  element->realSlots[3] = 20000;
  // A spring-damper keeps its length in one state slot.
  element->firstStateSlot = model.count.stateSlots + 1;
  element->stateSlotCount = 1;
  model.count.stateSlots += 1;
  element->given[1] = element->given[3] = 1;
  element->empty[1] = element->empty[3] = 0;
  return element;
}

// How the pointer anchor of the second interactive mode follows the pointer: a
// critically damped second-order lag that settles in about a fifth of a second.
constexpr double kSmoothingOmega = 25.0;  // rad/s
constexpr double kSmoothingZeta = 1.0;
constexpr int kFieldBlockRows = kFunctionBlockRows;

// A second-order lag without a line of its own: input = a pointer entry, output =
// target entry, its fields in a block of the row pool.
int addSmoothingStatement(Model& model, Reporter& reporter, int target, int inputEntry) {
  if (model.parameterRowsUsed + kFieldBlockRows > kParameterRowPool) {
    return reporter.modelError(" パラメタ文のデータが多過ぎ？ ");
  }
  const int number = ++model.count.parameterStatements;
  ParameterStatement& statement = model.parameterStatements[number];
  statement = ParameterStatement{};
  statement.typeCode = 96;
  statement.statementLine = -1;  // no line of its own
  statement.id = target;
  statement.returnValueIds[2] = inputEntry;
  statement.firstPoolRow = model.parameterRowsUsed;
  statement.rowCount = kFieldBlockRows;
  statement.columnCount = kParameterColumns;
  for (int r = 0; r < kFieldBlockRows; ++r) {
    for (double& value : model.parameterRows[statement.firstPoolRow + r]) value = 0.0;
  }
  model.parameterRows[statement.firstPoolRow][1] = kSmoothingOmega;
  model.parameterRows[statement.firstPoolRow][2] = kSmoothingZeta;
  model.parameterRowsUsed += kFieldBlockRows;
  std::snprintf(statement.text, sizeof statement.text, ":lag2 %d (pointer)", target);
  model.parameterStatementType[number] = 96;
  model.parameterStatementLine[number] = -1;
  return 0;
}

}  // namespace

int addInteractiveElements(Model& model, Reporter& reporter) {
  if (model.handOverMode == 3) {
    if (addPointerSpring(model, reporter, 0, 0) == nullptr) return 9;
  } else if (model.handOverMode == 4) {
    // Nodes 198 and 199 follow the pointer; they are mechanical nodes at the origin.
    if (addPointerSpring(model, reporter, 0, 1990) == nullptr) return 9;
    if (addPointerSpring(model, reporter, 0, 1980) == nullptr) return 9;
    if (addPointerSpring(model, reporter, 1980, 1990) == nullptr) return 9;
    ElementEntry* joint = addElement(model, reporter, "pc", 17, 0, 1980);
    if (joint == nullptr) return 9;
    joint->realSlots[4] = 1;
    joint->given[4] = 1;
    joint->empty[4] = 0;
    if (model.count.parameterStatements + 2 >= kParameterStatementCapacity) {
      return reporter.modelError(" パラメタ文が１００を超える ");
    }
    if (addSmoothingStatement(model, reporter, -10071, -10081) != 0) return 9;
    if (addSmoothingStatement(model, reporter, -10072, -10082) != 0) return 9;
    for (int node : {198, 199}) {
      model.nodes.kind[node] = 1;
      model.nodes.x[node] = 0.0;
      model.nodes.y[node] = 0.0;
    }
  }
  return 0;
}

void applyNodeMap(Model& model) {
  for (int e = 1; e <= model.count.elements; ++e) {
    ElementEntry& element = model.elements[e];
    if (element.typeCode >= 20) continue;
    const bool high = element.node[1] / 10 >= 100 || element.node[2] / 10 >= 100;
    if (!high) continue;
    for (int n = 1; n <= 2; ++n) {
      const int id = element.node[n] / 10;
      if (id < 0 || id >= kNodeCount) continue;
      const int mapped = model.nodes.nodeMap[id];
      if (mapped >= 0 && mapped < kNodeCount) element.node[n] = mapped * 10 + element.node[n] % 10;
    }
  }
}

}  // namespace movra
