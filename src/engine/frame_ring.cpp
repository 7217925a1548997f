#include "engine/frame_ring.h"

#include <cerrno>
#include <cstdio>

namespace movra {

int createFrameRing(FrameRing& ring, long long clockMs, int capacity, int recordLength) {
  releaseFrameRing(ring);
  const size_t bytes = static_cast<size_t>(capacity + 2) * static_cast<size_t>(recordLength + 1) * 8;
  // The ring is always made fresh: a block found under its name may be another
  // simulator's, made in the same millisecond, or planted by another account to
  // read or change our frames. Such a name is passed over for the next one.
  bool created = false;
  for (int attempt = 0; attempt < 1000 && !created; ++attempt) {
    std::snprintf(ring.name, sizeof ring.name, "%012d_ts_",
                  static_cast<int>((clockMs + attempt) % 2147483647));
    created = platform::createSharedBlock(ring.name, bytes, ring.block);
    if (!created && errno != EEXIST) return 1;
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
