// One model line as the editor hands it over. The struct is the byte layout that
// travels in the "quillC" block: 30888 bytes, little-endian, fields in this order
// (docs/handover.md lists the offsets; the static_asserts below keep them honest).
#pragma once

#include <bit>
#include <cstddef>

#include "input/limits.h"

namespace movra {

inline constexpr int kAnnotationBytes = 32;
inline constexpr int kOutputAnnotationBytes = 256;
inline constexpr int kMaxReturnValues = 10;  // ids 1..10

// Bits of StatementRecord::flags that the editor sets from a rigid joint's release
// annotation: the x, y and angle directions it leaves free.
inline constexpr int kRecordReleaseX = 8;
inline constexpr int kRecordReleaseY = 16;
inline constexpr int kRecordReleaseAngle = 32;

struct StatementRecord {
  // --- filled by the editor, read by the model input ---
  int firstNode;
  int secondNode;
  int typeCode;           // 1..69 element, 71 time statement, 81..96 parameter statement, 99 key file
  int continuationCount;  // lines after this one that belong to it
  int echoFlag;           // 1: left out of the numbered text
  int elementNumber;      // written by the reader: ElementTable entry made from this line, -1 none
  char drawingAnnotation[kAnnotationBytes];        // "f %d"
  char transcriptionAnnotation[kAnnotationBytes];  // "c %d"
  char outputAnnotation[kOutputAnnotationBytes];   // "h%d c%d c%d ..."
  char echoText[kEchoTextBytes];                   // written by the reader
  char blockText[kBlockTextBytes];                 // statement and its continuation lines, LF-separated
  char fieldText[kFieldCount + 1][kFieldTextBytes];  // fields 1..20; [0] unused
  int fieldPresent[kFieldCount + 1];                 // 1..20
  // --- further fields the statement readers and the engine use ---
  int thirdNode;                               // type codes 30..39
  int returnValueCount;                        // ":u" and function statements
  int returnValueIds[kMaxReturnValues + 1];    // 1..10
  int columnCount;                             // ":u" columns per data row
  int mode;                                    // statement variant chosen in the editor
  int tableId;                                 // ":u" table id, function-statement base table
  int flags;                                   // bit 0: switch; 8, 16, 32: release bits
  int parameterStatementNumber;                // written by the reader
  int sourceLine;                              // the model file's own line (1-based), for the editor
  int reserved0;
  int reserved1;
  double radius;                               // function statement type 84
  double valueBlock[kValueBlockCount];         // per-statement values the engine and view share
  unsigned char reserved[kRecordBytes - 18440];
};

static_assert(std::endian::native == std::endian::little, "the hand-over layout is little-endian");
static_assert(sizeof(StatementRecord) == kRecordBytes);
static_assert(offsetof(StatementRecord, drawingAnnotation) == 24);
static_assert(offsetof(StatementRecord, echoText) == 344);
static_assert(offsetof(StatementRecord, blockText) == 8536);
static_assert(offsetof(StatementRecord, fieldText) == 12632);
static_assert(offsetof(StatementRecord, fieldPresent) == 18008);
static_assert(offsetof(StatementRecord, thirdNode) == 18092);
static_assert(offsetof(StatementRecord, returnValueIds) == 18100);
static_assert(offsetof(StatementRecord, columnCount) == 18144);
static_assert(offsetof(StatementRecord, radius) == 18176);
static_assert(offsetof(StatementRecord, valueBlock) == 18184);

// Clears a record to the state the editor starts from (all zero, element -1).
void clearRecord(StatementRecord& record);

// Terminates every text field inside its slot, so a record from outside can
// never make a reader run past its end.
void terminateTexts(StatementRecord& record);

}  // namespace movra
