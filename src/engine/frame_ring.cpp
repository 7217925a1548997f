#include "engine/frame_ring.h"

#include <cstdio>

namespace movra {

int createFrameRing(FrameRing& ring, long long clockMs, int capacity, int recordLength) {
  releaseFrameRing(ring);
  const size_t bytes = static_cast<size_t>(capacity + 2) * static_cast<size_t>(recordLength + 1) * 8;
  // Another simulator may be making its ring in the same millisecond: never share
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
  // Only this process uses the ring: its name goes at once, so that the memory
  // goes with the mapping even when the process is killed, as a mapping backed
  // by the page file would. Other runs can no longer find it by its name.
  platform::removeSharedBlock(ring.name);
  ring.block.created = false;
  ring.numbers = static_cast<double*>(ring.block.data);
  ring.capacity = capacity;
  ring.recordLength = recordLength;
  return 0;
}

void releaseFrameRing(FrameRing& ring) {
  if (ring.block.data != nullptr) platform::unmapSharedBlock(ring.block);
  // Its name went when it was made; the name may belong to another run by now.
  if (ring.block.fd >= 0) platform::closeSharedBlock(ring.block);
  ring.numbers = nullptr;
  ring.capacity = 0;
  ring.recordLength = 0;
}

}  // namespace movra
