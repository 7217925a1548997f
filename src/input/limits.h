// Sizes and limits of the model input. Tables are numbered from 1; entry 0 is
// scratch, so every table below has one more entry than its limit.
#pragma once

namespace movra {

inline constexpr int kModelTextBytes = 65536;       // the model-text block
inline constexpr int kRecordBytes = 30888;          // one StatementRecord as handed over
inline constexpr int kRecordBlockBytes = 4194304;   // the "quillC" block
inline constexpr int kHandOverRecordLimit = kRecordBlockBytes / kRecordBytes;  // 135 records
inline constexpr int kRecordCapacity = 256;         // records the simulator keeps
inline constexpr int kNumberedLineLimit = 1001;     // lines the statement loop takes

inline constexpr int kFieldCount = 20;              // field texts 1..20
inline constexpr int kFieldTextBytes = 256;
inline constexpr int kBlockTextBytes = 4096;
inline constexpr int kEchoTextBytes = 8192;
inline constexpr int kLineCopyBytes = 256;          // a statement line as quoted in messages
inline constexpr int kValueBlockCount = 32;

inline constexpr int kStatementLimit = 100;         // per kind: elements, parameter, command
// Expansions ("wh" up to 11 rows, "pu" three entries) and the hand-over extras may
// carry the element table a little past the statement limit.
inline constexpr int kElementCapacity = kStatementLimit + 32;
inline constexpr int kParameterStatementCapacity = kStatementLimit + 32;
inline constexpr int kDisplayGroupCapacity = kStatementLimit + 1;
inline constexpr int kOutputListLimit = 33;         // the preset item and 32 from statements
inline constexpr int kNodeCount = 1000;             // node ids 0..999 in the editor's tables
inline constexpr int kIdRegistrySize = 10000;       // ids 0..9999
inline constexpr int kMessageBytes = 65536;         // one formatted message / the ErrorBuffer

// ParameterStore ids: model parameters 1..9999, return-value records of elements up
// to 9999 + 99, engine settings and pointer state down to -10100.
inline constexpr int kParameterIdLow = -10200;
inline constexpr int kParameterIdHigh = 10199;

// Control-key record: rows 0..5000 plus three padding rows of 21 reals.
inline constexpr int kControlKeyRows = 5001;
inline constexpr int kControlKeyEntries = 21;
inline constexpr int kControlKeyLineBytes = 128;

}  // namespace movra
