// The recorded frames of a run, in a named shared-memory block: frame f holds the
// numbers f*(S+1) .. f*(S+1)+S of the record layout.
#pragma once

#include <atomic>
#include <cstddef>
#include <thread>

#include "platform/shared_memory.h"

namespace movra {

struct FrameRing;
void releaseFrameRing(FrameRing& ring);

struct FrameRing {
  FrameRing() = default;
  FrameRing(const FrameRing&) = delete;
  FrameRing& operator=(const FrameRing&) = delete;
  ~FrameRing() { releaseFrameRing(*this); }

  platform::SharedBlock block;
  double* numbers = nullptr;
  std::size_t preparedBytes = 0;  // the front made resident by the writer itself
  // A helper thread makes the pages resident a stretch ahead of the writes, so
  // that the kernel's work on them runs beside the run rather than in it.
  std::thread preparer;
  std::atomic<std::size_t> writtenEnd{0};  // the furthest byte a written frame reaches
  std::atomic<bool> stopPreparing{false};
  int capacity = 0;      // frames the run records (0..capacity, plus one spare)
  int recordLength = 0;  // S: numbers of one record
  char name[48] = {};
  int error = 0;  // errno of a ring that could not be made or mapped

  int stride() const { return recordLength + 1; }
  bool exists() const { return numbers != nullptr; }
  // The numbers of frame f (its pool entry k is frame(f)[k - 1]), or nullptr past the block.
  double* frame(int f) {
    if (numbers == nullptr || f < 0 || f > capacity + 1) return nullptr;
    return numbers + static_cast<long>(f) * stride();
  }
};

// Creates the block "%012d_ts_" (the clock value) followed by 16 random hex
// digits, so that nobody can take its name beforehand (an existing block is never
// opened), for capacity + 2 frames of S + 1 numbers, all
// zero, maps it and removes its name, so that nothing is left behind however the
// process ends. Returns 0, 1 when it cannot be created, 2 when it cannot be mapped
// (ring.name and ring.error then say which block and why).
int createFrameRing(FrameRing& ring, long long clockMs, int capacity, int recordLength);

// Called before frame f is written: its pages are made resident a stretch at a
// time ahead of the writes, which costs the system far less than a fault per
// page. The helper thread does it when it runs, else the writer itself.
void prepareFrame(FrameRing& ring, int f);

// releaseFrameRing (declared above) stops the helper, unmaps and closes the block.

}  // namespace movra
