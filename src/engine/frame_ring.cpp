#include "engine/frame_ring.h"

#include <cstdio>

namespace movra {

int createFrameRing(FrameRing& ring, long long clockMs, int capacity, int recordLength) {
  releaseFrameRing(ring);
  const size_t bytes = static_cast<size_t>(capacity + 2) * static_cast<size_t>(recordLength + 1) * 8;
  // Another simulator may have started a run in the same millisecond: never share
  // its frames, take the next free name instead.
  bool created = false;
  for (int attempt = 0; attempt < 1000 && !created; ++attempt) {
    std::snprintf(ring.name, sizeof ring.name, "%012d_ts_",
                  static_cast<int>((clockMs + attempt) % 2147483647));
    if (!platform::openSharedBlock(ring.name, bytes, ring.block)) return 1;
    created = ring.block.created;
    if (!created) platform::closeSharedBlock(ring.block);
  }
  if (!created) return 1;
  if (!platform::mapSharedBlock(ring.block)) {
    platform::closeSharedBlock(ring.block);
    return 2;
  }
  ring.numbers = static_cast<double*>(ring.block.data);
  ring.capacity = capacity;
  ring.recordLength = recordLength;
  return 0;
}

void releaseFrameRing(FrameRing& ring) {
  if (ring.block.data != nullptr) platform::unmapSharedBlock(ring.block);
  // The ring belongs to this run alone: remove it even if the name existed before.
  if (ring.block.fd >= 0) {
    ring.block.created = true;
    platform::closeSharedBlock(ring.block);
  }
  ring.numbers = nullptr;
  ring.capacity = 0;
  ring.recordLength = 0;
}

}  // namespace movra
