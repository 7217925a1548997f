// Recorded control inputs: one row per time step, replayed into parameters 101..117.
#pragma once

#include <cstdio>

#include "input/limits.h"

namespace movra {

struct ControlKeyRecord {
  // Rows 0..5000 and three padding rows that repeat the last row read.
  double row[kControlKeyRows + 3][kControlKeyEntries];
  int rowsRead;
  double lastRowIndex;  // rowsRead - 1, kept as a real for the engine
};

// Reads rows "%d %le*11 %x" until a line yields nothing or 5001 rows are in.
// Returns 0, or the 1-based number of a line longer than 127 characters: such a
// line would otherwise be split into two rows and shift every later input, so
// the file is refused (rows before it are kept).
int readControlKeys(std::FILE* file, ControlKeyRecord& record);

// Fills entries 1..17 of one row from the values scanned off one line; entries
// whose value the line lacks keep what they held. Returns the number of values
// the line yielded (0 ends the file).
int parseControlKeyLine(const char* line, double* entries);

}  // namespace movra
