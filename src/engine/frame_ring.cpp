#include "engine/frame_ring.h"

#include <sys/mman.h>

#include <cstdio>

namespace movra {

namespace {

// How far ahead of the frame being written the ring is made resident: big enough
// that the system's work per page stays small, small enough that a run stopped
// early holds little that it never wrote.
constexpr std::size_t kPrepareStretch = std::size_t{256} * 1024;

}  // namespace

// The ring is private memory of this process, backed by swap like any other: only
// this process ever reads its frames, so no other process needs to find it. Its
// name, from the clock, tells two rings of one process apart in messages and tests.
// Fresh anonymous pages read as zero, so the ring starts all zero without a pass
// over it.
int createFrameRing(FrameRing& ring, long long clockMs, int capacity, int recordLength) {
  releaseFrameRing(ring);
  const std::size_t bytes =
      static_cast<std::size_t>(capacity + 2) * static_cast<std::size_t>(recordLength + 1) * 8;
  std::snprintf(ring.name, sizeof ring.name, "%012d_ts_", static_cast<int>(clockMs % 2147483647));
  void* data = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (data == MAP_FAILED) return 1;
  ring.numbers = static_cast<double*>(data);
  ring.bytes = bytes;
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
  if (ring.preparedBytes + length > ring.bytes) length = ring.bytes - ring.preparedBytes;
  // A kernel without it refuses; the pages then come one fault at a time.
  char* from = reinterpret_cast<char*>(ring.numbers) + ring.preparedBytes;
  if (madvise(from, length, MADV_POPULATE_WRITE) != 0) {
    ring.preparedBytes = ring.bytes;
    return;
  }
  ring.preparedBytes += length;
#else
  (void)ring;
  (void)f;
#endif
}

void releaseFrameRing(FrameRing& ring) {
  if (ring.numbers != nullptr) munmap(ring.numbers, ring.bytes);
  ring.numbers = nullptr;
  ring.bytes = 0;
  ring.preparedBytes = 0;
  ring.capacity = 0;
  ring.recordLength = 0;
}

}  // namespace movra
