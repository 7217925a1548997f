#include "input/control_keys.h"

#include <cstring>

namespace movra {

int parseControlKeyLine(const char* line, double* entries) {
  int stepNumber = 0;
  double values[12] = {};
  unsigned int word = 0;
  const int got = std::sscanf(line, "%d %le %le %le %le %le %le %le %le %le %le %le %x",
                              &stepNumber, &values[1], &values[2], &values[3], &values[4],
                              &values[5], &values[6], &values[7], &values[8], &values[9],
                              &values[10], &values[11], &word);
  if (got <= 0) return 0;
  entries[12] = stepNumber;
  for (int i = 1; i <= 11 && i < got; ++i) entries[i] = values[i];
  if (got == 13) {
    // The key word packs switch pairs; bits 4 and 5 are active-low.
    entries[13] = (word >> 12) & 3u;
    entries[14] = (~word >> 4) & 3u;
    entries[15] = (word >> 1) & 3u;
    entries[16] = 4.0 * ((word >> 6) & 1u) + 2.0 * ((word >> 7) & 1u) + ((word >> 3) & 1u);
    entries[17] = (word >> 14) & 3u;
  }
  return got;
}

int readControlKeys(std::FILE* file, ControlKeyRecord& record) {
  char line[2 * kControlKeyLineBytes];
  int rows = 0;
  int status = 0;
  while (rows < kControlKeyRows && std::fgets(line, sizeof line, file) != nullptr) {
    size_t length = std::strlen(line);
    const bool complete = length > 0 && line[length - 1] == '\n';
    while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r')) line[--length] = 0;
    if ((!complete && !std::feof(file)) || length > kControlKeyLineBytes - 1) {
      status = rows + 1;
      break;
    }
    if (parseControlKeyLine(line, record.row[rows]) == 0) break;
    ++rows;
  }
  record.rowsRead = rows;
  record.lastRowIndex = rows - 1;
  // A replay that runs up to three rows past the end sees the last values.
  if (rows > 0) {
    for (int extra = 0; extra < 3; ++extra) {
      std::memcpy(&record.row[rows + extra][1], &record.row[rows - 1][1], 17 * sizeof(double));
    }
  }
  return status;
}

}  // namespace movra
