#include "engine/frame_ring.h"

#include <sys/mman.h>
#include <sys/random.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <system_error>

namespace movra {

namespace {

// How far ahead of the frame being written the ring is made resident: big enough
// that the system's work per page stays small, small enough that a run stopped
// early holds little that it never wrote.
constexpr std::size_t kPrepareStretch = std::size_t{256} * 1024;
// The helper's lead over the writer: a run stopped early holds at most this much
// that it never wrote.
constexpr std::size_t kHelperLead = std::size_t{8} * 1024 * 1024;
// The writer wakes a waiting helper only when it crosses a boundary of this size,
// so that the helper wakes a few dozen times in a run rather than at every frame.
constexpr std::size_t kWakeStretch = std::size_t{2} * 1024 * 1024;
// Random names taken already: only a planted one, or a broken random source.
constexpr int kNameAttempts = 16;

bool populate(char* from, std::size_t length) {
#ifdef MADV_POPULATE_WRITE
  return madvise(from, length, MADV_POPULATE_WRITE) == 0;
#else
  (void)from;
  (void)length;
  return false;
#endif
}

// The helper: stretch after stretch, never more than kHelperLead past the furthest
// frame written; it sleeps while it is that far ahead. A kernel that cannot
// populate ends it at once (the writes then fault their pages in).
void prepareAhead(FrameRing& ring) {
  char* const base = reinterpret_cast<char*>(ring.numbers);
  const std::size_t size = ring.block.size;
  std::size_t done = 0;
  while (done < size && !ring.stopPreparing.load(std::memory_order_acquire)) {
    const std::size_t written = ring.writtenEnd.load(std::memory_order_acquire);
    if (done >= written + kHelperLead) {
      ring.writtenEnd.wait(written, std::memory_order_acquire);
      continue;
    }
    const std::size_t length = std::min(kPrepareStretch, size - done);
    if (!populate(base + done, length)) return;
    done += length;
  }
}

void stopHelper(FrameRing& ring) {
  if (!ring.preparer.joinable()) return;
  ring.stopPreparing.store(true, std::memory_order_release);
  ring.writtenEnd.store(ring.block.size, std::memory_order_release);
  ring.writtenEnd.notify_all();
  ring.preparer.join();
}

}  // namespace

int createFrameRing(FrameRing& ring, long long clockMs, int capacity, int recordLength) {
  releaseFrameRing(ring);
  const std::size_t bytes =
      static_cast<std::size_t>(capacity + 2) * static_cast<std::size_t>(recordLength + 1) * 8;
  // The ring is always made fresh: a block found under its name may be planted by
  // another account to read or change our frames, or to block our runs (names
  // from the clock alone could all be taken beforehand). The random part makes
  // the name one nobody can guess; a name that is taken anyway is passed over.
  bool created = false;
  ring.error = 0;
  for (int attempt = 0; attempt < kNameAttempts && !created; ++attempt) {
    unsigned long long random = 0;
    if (getrandom(&random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
      random = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count()) *
               0x9E3779B97F4A7C15ULL;
    }
    std::snprintf(ring.name, sizeof ring.name, "%012d_ts_%016llx",
                  static_cast<int>(clockMs % 2147483647), random);
    created = platform::createSharedBlock(ring.name, bytes, ring.block);
    if (!created) ring.error = errno;
    if (!created && ring.error != EEXIST) return 1;
  }
  if (!created) return 1;
  if (!platform::mapSharedBlock(ring.block)) {
    ring.error = errno;
    platform::closeSharedBlock(ring.block);
    return 2;
  }
  // Only this process uses the ring: its name goes at once, so that the memory
  // goes with the mapping even when the process is killed, as a mapping backed
  // by the page file would. Other runs can no longer find it by its name.
  platform::removeBlockName(ring.block);
  ring.block.created = false;
  ring.numbers = static_cast<double*>(ring.block.data);
  ring.preparedBytes = 0;
  ring.capacity = capacity;
  ring.recordLength = recordLength;
  ring.writtenEnd.store(0);
  ring.stopPreparing.store(false);
  // A ring within the helper's lead is prepared by the writer: a thread would
  // cost more than it saves.
  if (ring.block.size > kHelperLead) {
    try {
      ring.preparer = std::thread(prepareAhead, std::ref(ring));
    } catch (const std::system_error&) {
      // No thread to be had: the writer prepares its own pages.
    }
  }
  return 0;
}

void prepareFrame(FrameRing& ring, int f) {
  if (ring.numbers == nullptr || f < 0 || f > ring.capacity + 1) return;
  const std::size_t end = (static_cast<std::size_t>(f) + 1) * static_cast<std::size_t>(ring.stride()) * 8;
  if (ring.preparer.joinable()) {
    // Only forward: frames that wrap round in an interactive ring are resident.
    const std::size_t before = ring.writtenEnd.load(std::memory_order_relaxed);
    if (end > before) {
      ring.writtenEnd.store(end, std::memory_order_release);
      if (end / kWakeStretch != before / kWakeStretch) ring.writtenEnd.notify_one();
    }
    return;
  }
  if (end <= ring.preparedBytes) return;
  std::size_t length = end - ring.preparedBytes;
  length = (length + kPrepareStretch - 1) / kPrepareStretch * kPrepareStretch;
  if (ring.preparedBytes + length > ring.block.size) length = ring.block.size - ring.preparedBytes;
  // A kernel without it refuses; the pages then come one fault at a time.
  char* from = reinterpret_cast<char*>(ring.numbers) + ring.preparedBytes;
  if (!populate(from, length)) {
    ring.preparedBytes = ring.block.size;
    return;
  }
  ring.preparedBytes += length;
}

void releaseFrameRing(FrameRing& ring) {
  stopHelper(ring);
  if (ring.block.data != nullptr) platform::unmapSharedBlock(ring.block);
  // Its name went when it was made; the name may belong to another run by now.
  if (ring.block.fd >= 0) platform::closeSharedBlock(ring.block);
  ring.numbers = nullptr;
  ring.preparedBytes = 0;
  ring.capacity = 0;
  ring.recordLength = 0;
}

}  // namespace movra
