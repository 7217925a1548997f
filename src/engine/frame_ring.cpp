#include "engine/frame_ring.h"

#include <sys/mman.h>

#include <cerrno>
#include <cstdio>

namespace movra {

namespace {

// How far ahead of the frame being written the ring is made resident: big enough
// that the system's work per page stays small, small enough that a run stopped
// early holds little that it never wrote.
constexpr std::size_t kPrepareStretch = std::size_t{256} * 1024;

}  // namespace

int createFrameRing(FrameRing& ring, long long clockMs, int capacity, int recordLength) {
  releaseFrameRing(ring);
  const std::size_t bytes =
      static_cast<std::size_t>(capacity + 2) * static_cast<std::size_t>(recordLength + 1) * 8;
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
  ring.preparedBytes = 0;
  ring.capacity = capacity;
  ring.recordLength = recordLength;
  return 0;
}

void prepareFrame(FrameRing& ring, int f) {
#ifdef MADV_POPULATE_WRITE
  if (ring.numbers == nullptr || f < 0 || f > ring.capacity + 1) return;
  const std::size_t end = (static_cast<std::size_t>(f) + 1) * static_cast<std::size_t>(ring.stride()) * 8;
  if (end <= ring.preparedBytes) return;
  std::size_t length = end - ring.preparedBytes;
  length = (length + kPrepareStretch - 1) / kPrepareStretch * kPrepareStretch;
  if (ring.preparedBytes + length > ring.block.size) length = ring.block.size - ring.preparedBytes;
  // A kernel without it refuses; the pages then come one fault at a time.
  char* from = reinterpret_cast<char*>(ring.numbers) + ring.preparedBytes;
  if (madvise(from, length, MADV_POPULATE_WRITE) != 0) {
    ring.preparedBytes = ring.block.size;
    return;
  }
  ring.preparedBytes += length;
#else
  (void)ring;
  (void)f;
#endif
}

void releaseFrameRing(FrameRing& ring) {
  if (ring.block.data != nullptr) platform::unmapSharedBlock(ring.block);
  // Its name went when it was made; the name may belong to another run by now.
  if (ring.block.fd >= 0) platform::closeSharedBlock(ring.block);
  ring.numbers = nullptr;
  ring.preparedBytes = 0;
  ring.capacity = 0;
  ring.recordLength = 0;
}

}  // namespace movra
