// The recorded frames of a run: frame f holds the numbers f*(S+1) .. f*(S+1)+S of
// the record layout, in one block of memory made for the run.
#pragma once

#include <cstddef>

namespace movra {

struct FrameRing;
void releaseFrameRing(FrameRing& ring);

struct FrameRing {
  FrameRing() = default;
  FrameRing(const FrameRing&) = delete;
  FrameRing& operator=(const FrameRing&) = delete;
  ~FrameRing() { releaseFrameRing(*this); }

  double* numbers = nullptr;
  std::size_t bytes = 0;
  std::size_t preparedBytes = 0;  // the front of the block already made resident
  int capacity = 0;      // frames the run records (0..capacity, plus one spare)
  int recordLength = 0;  // S: numbers of one record
  char name[32] = {};

  int stride() const { return recordLength + 1; }
  bool exists() const { return numbers != nullptr; }
  // The numbers of frame f (its pool entry k is frame(f)[k - 1]), or nullptr past the block.
  double* frame(int f) {
    if (numbers == nullptr || f < 0 || f > capacity + 1) return nullptr;
    return numbers + static_cast<long>(f) * stride();
  }
};

// Makes the ring for capacity + 2 frames of S + 1 numbers, all zero, named
// "%012d_ts_" by the clock value. Returns 0, or 1 when the memory cannot be had.
int createFrameRing(FrameRing& ring, long long clockMs, int capacity, int recordLength);

// Makes the pages of frame f resident before it is written, a stretch at a time
// ahead of the writes, which costs the system far less than a fault per page.
void prepareFrame(FrameRing& ring, int f);

// releaseFrameRing (declared above) gives the memory back.

}  // namespace movra
