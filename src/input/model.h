// Everything the model input fills: the handed-over records and node tables, the
// model text, and the model tables. One struct of fixed arrays, built once per
// start and read by the engine and the views afterwards.
#pragma once

#include <cstdint>
#include <memory>

#include "input/control_keys.h"
#include "input/limits.h"
#include "input/parameter_store.h"
#include "input/statement_record.h"

namespace movra {

inline constexpr int kKeywordBytes = 11;     // 10 characters and the terminator
inline constexpr int kElementTextBytes = 256;
inline constexpr int kOutputNameBytes = 128;
inline constexpr int kNodeListCount = 200;
inline constexpr int kNodeValueCount = 500;
inline constexpr int kFormulaIndexCount = 101;
inline constexpr int kVariableSlotCount = 81;
inline constexpr int kRealSlotCount = 101;
inline constexpr int kParameterColumns = 10;
inline constexpr int kTimeConditionCount = 10;
// Rows of all parameter statements together: a data row takes at least two bytes
// of the model text, so the text can never hold more.
inline constexpr int kParameterRowPool = kModelTextBytes / 2;
// Rows a function statement owns in the pool: its fields, its state, and room.
inline constexpr int kFunctionBlockRows = 10;

// The editor's node tables, as they travel in the "hMapN" block.
struct NodeTables {
  double x[kNodeCount];            // where the editor placed each node
  double y[kNodeCount];
  int32_t nodeMap[kNodeCount];     // -1, or the node a node id of 100 and above stands for
  int32_t kind[kNodeCount];        // NodeKindTable: 0 unused, 1 mechanical, 2.. other domains
  int32_t editorFlags[kNodeCount]; // copied, not read
  int32_t nodeList[kNodeListCount];      // mechanical nodes the user may drag, -1 ends
  double nodeValues[kNodeValueCount];    // per-unknown values the editor hands over
  int32_t formulaIndex[kFormulaIndexCount];
};

// Variable slots 21..23 of a rigid joint: 1 where its x, y or angle direction is
// released (from the release bits of its statement record).
inline constexpr int kReleaseFlagSlot = 21;

struct ElementEntry {
  int statementLine = -1;
  int typeCode = 0;
  int kindCode = 0;                     // ElementKindCode after alias folding
  char keyword[kKeywordBytes] = {};
  char text[kElementTextBytes] = {};    // the line as quoted in messages
  int node[4] = {};                     // 1..3: id, id*10 ("n") or id*10+1 ("p")
  int writtenNode[4] = {};              // as written, before the node map
  int terminalMark[4] = {};             // -10 "n", -1 "p", 0 none
  int given[kRealSlotCount] = {};       // 1 given, -1 preset
  int empty[kRealSlotCount] = {};       // 1 empty or missing
  int tableId = 0;
  int supportSetId = 0;
  int firstStateSlot = 0;
  int stateSlotCount = 0;
  int pVariant = 0;
  int drawingMode = 0;
  int returnBlockId = 0;
  int groupFirst = 0;
  int groupLast = 0;
  int mode = 0;
  double supportRow[3] = {};            // "wh": height and x range from its support-set row
  int32_t variableSlots[kVariableSlotCount] = {};  // keys, later unknown indices, then states
  double realSlots[kRealSlotCount] = {};           // 1..10 the parameters
};

struct ParameterStatement {
  int typeCode = 0;
  int statementLine = -1;
  int id = 0;                           // set, table or function id
  int returnValueIds[kMaxReturnValues + 1] = {};
  int returnValueCount = 0;
  int rowCount = 0;
  int firstPoolRow = 0;                 // rows live in Model::parameterRows
  int columnCount = 0;                  // values per row
  char text[kElementTextBytes] = {};    // the line as quoted in messages
};

struct OutputItem {
  int slot = 0;
  int componentDigit = 0;
  char name[kOutputNameBytes] = {};
  int group = 0;
  bool hasRange = false;
  double rangeLow = 0.0;
  double rangeHigh = 0.0;
  int element = -1;
  int outputKind = 0;   // -1 not shown, 0 against time, 2 against the item before (x-y), 1, 11, 12
  int axisGroup = 0;    // -1 fixed range, 0 own automatic range, 1..999 a shared automatic range
};

struct DisplayGroup {
  int kind = 0;                         // 0 ".vc"/".t", 1 ".o"/".oo", 2 ".or"
  char text[kElementTextBytes] = {};
  int firstItem = 0;
  int lastItem = 0;
};

// What ".vc" sets: the view window, the node the view follows, and the base values
// of the ten quantity scales (forces, moments, V, A, Pa, m3, AT, Wb, degC, W).
inline constexpr int kQuantityScaleCount = 10;

struct ViewSettings {
  double centreX = 0.0;
  double centreY = 0.0;
  double halfSize = 1.0;
  int followedNodeX = -1;               // node whose x the view follows, -1 none
  int followedNodeY = -1;
  double left = -1.0;                   // window left = centre x - h
  double bottom = -1.0;
  double scale = 300.0;                 // pixels per model unit, 300 / h
  double quantityScale[kQuantityScaleCount + 1] = {};    // current values 1..10
  double quantityInitial[kQuantityScaleCount + 1] = {};  // initial values 1..10
  double forceFactor = 0.0;             // 300 / field 4 when above 0, else 0
  double momentFactor = 0.0;            // 300 / field 5 when above 0, else 0
};

struct ModelCounters {
  int elements = 0;
  int parameterStatements = 0;
  int commandStatements = 0;
  int outputs = 0;
  int stateSlots = 0;
};

struct Model {
  // Hand-over.
  int handOverMode = 0;                 // 0, or 1..4 for "_a1_".."_a4_"
  int interactionMode = 0;
  int lastRecordIndex = -1;             // A: records 0..A were handed over
  int secondCount = 0;                  // the second number of "quillC0"
  StatementRecord records[kRecordCapacity];
  NodeTables nodes;

  // Model text and its numbered form.
  char modelText[kModelTextBytes + 1];
  char numberedText[2 * kModelTextBytes];
  int recordsRead = 0;                  // records that ReadModelText attached a line to
  int currentRecord = -1;               // the statement being read, for messages without a line

  // Control keys.
  char controlKeyFile[kControlKeyLineBytes * 2];
  int replayMode = 0;                   // 0 none, 1 mode A (command line), 2 mode B (model line)
  ControlKeyRecord controlKeys;

  // Tables.
  ModelCounters count;
  ElementEntry elements[kElementCapacity];
  int elementLine[kElementCapacity];    // element number -> record index
  ParameterStore parameters;
  ParameterStatement parameterStatements[kParameterStatementCapacity];
  int parameterStatementType[kParameterStatementCapacity];
  int parameterStatementLine[kParameterStatementCapacity];
  double parameterRows[kParameterRowPool][kParameterColumns];
  int parameterRowsUsed = 0;
  OutputItem outputs[kOutputListLimit + 1];
  DisplayGroup groups[kDisplayGroupCapacity];
  uint8_t idRegistry[kIdRegistrySize];
  bool viewDefaultsSet = false;
  ViewSettings view;
  int pwmStatement = 0;                 // parameter-statement number of ":pwm"/":pw", 0 none
  bool pwmSwitching = false;
  double pwmState[2] = {};
  double timeConditions[kTimeConditionCount + 1] = {};       // ".t" values 1..10
  int timeValueCount = 0;               // number of the last value read
  int timeStatementRecord = -1;         // record of the ".t" line, quoted by the driver
};

// Zeroes a model and sets the values a fresh start has (records cleared, node
// maps -1, counters 0).
void resetModel(Model& model);

// A fresh model on the heap (it is some megabytes: never put one on the stack).
std::unique_ptr<Model> makeModel();

}  // namespace movra
