#include "engine/recording.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cstdint>
#include <cstring>
#include <iterator>

#include "engine/newton.h"

namespace movra {

namespace {

constexpr double kDegreesPerRadian = 180.0 / 3.141592653589793;
constexpr int kWatchedCount = 2;

// Engine items take their numbers straight from the pool; the limits are checked
// where the part of the frame that must not be lost is stored.
void appendItem(DisplayList& list, int kind, int tag) {
  if (list.count >= kDisplayItemLimit) return;
  ++list.count;
  list.kind[list.count] = kind;
  list.start[list.count] = list.cursor;
  list.tag[list.count] = tag;
  list.statement[list.count] = 0;
}

void appendNumber(DisplayList& list, double value) {
  if (list.cursor < kPoolCapacity) list.pool[++list.cursor] = value;
}

// As appendNumber one by one: what does not fit into the pool is dropped.
void appendNumbers(DisplayList& list, const double* values, int count) {
  const int room = kPoolCapacity - list.cursor;
  const int stored = count < room ? count : (room > 0 ? room : 0);
  std::memcpy(&list.pool[list.cursor + 1], values, sizeof(double) * static_cast<size_t>(stored));
  list.cursor += stored;
}

// A frame goes into the ring once and is not read again during the run: stores that
// bypass the cache spare reading each ring line before writing it, and leave the
// cache to the engine's own arrays.
void copyIntoRing(double* to, const double* from, int count) {
#if defined(__SSE2__)
  int k = 0;
  if ((reinterpret_cast<std::uintptr_t>(to) & 15) != 0) {
    to[0] = from[0];
    k = 1;
  }
  for (; k + 2 <= count; k += 2) _mm_stream_pd(to + k, _mm_loadu_pd(from + k));
  for (; k < count; ++k) to[k] = from[k];
  _mm_sfence();
#else
  std::memcpy(to, from, sizeof(double) * static_cast<size_t>(count));
#endif
}

void advanceCursor(Run& run) {
  const bool held = run.interactionMode >= 1 && run.holdState >= 1;
  if (held) return;
  if (run.interactionMode == 2) {
    if (run.controlKeyFlag == 1) {
      run.controlKeyFlag = 0;
      if (run.frameCursor < run.frameCount) ++run.frameCursor;
    }
    if (run.kt == 0) ++run.frameCursor;
    return;
  }
  if (run.outputInterval > 0 && run.kt % run.outputInterval == 0) ++run.frameCursor;
}

// Frame k holds step k times the output interval, so that step 0 is frame 0; the
// steps in between are computed but not kept.
bool keepsFrame(const Run& run) {
  if (run.interactionMode != 0 || run.outputInterval <= 1) return true;
  return run.kt % run.outputInterval == 0;
}

int appendStatementItems(const Model& model, Run& run, Reporter& reporter) {
  DisplayList& list = run.display;
  const int last = model.lastRecordIndex < kRecordCapacity ? model.lastRecordIndex : kRecordCapacity - 1;
  for (int r = 0; r <= last; ++r) {
    const StatementRecord& record = model.records[r];
    if (record.typeCode <= 19 || record.typeCode >= 71 || record.echoFlag == 1) continue;
    if (list.count > 1000 || list.cursor > 10000) {
      reporter.modelError("データ量が過多 \n\n %d", list.cursor);
      // Only the first record refuses the run; later ones end it like any other
      // stop, keeping the frames already written.
      if (run.kt == 0) return kRunRefused;
      run.runEnded = 1;
      return kRunStopped;
    }
    appendItem(list, 32, 0xFFFF);
    list.statement[list.count] = r;
    appendNumbers(list, record.valueBlock, static_cast<int>(std::size(record.valueBlock)));
  }
  return 0;
}

void appendEngineItems(const Model& model, Run& run) {
  DisplayList& list = run.display;
  appendItem(list, 17, 0xFF);
  appendNumbers(list, run.X, run.unknownCount + 1);
  appendItem(list, 14, 0xFF);
  appendItem(list, 15, 0xFF);
  appendItem(list, 16, 0x10);
  appendItem(list, 11, 0xFF);
  run.outputBlockStart = list.cursor;

  const int items = model.count.outputs;
  for (int i = 1; i <= items; ++i) {
    double value = run.outputValue[i];
    if (i == 1 && run.interactionMode == 2) value = run.frameCursor;
    appendNumber(list, value);
  }
  appendNumber(list, model.count.elements);
  appendNumber(list, run.unknownCount);
  appendNumber(list, static_cast<double>(run.totalIterations));
  appendNumber(list, static_cast<double>(run.totalHalvings));
  appendNumber(list, run.iteration);

  // The node the view follows: its x and y, when the view follows one.
  const int watched[kWatchedCount] = {
      model.view.followedNodeX >= 0 ? model.view.followedNodeX * 10 + 1 : -1,
      model.view.followedNodeY >= 0 ? model.view.followedNodeY * 10 + 2 : -1};
  for (int key : watched) {
    if (key >= 0 && key < kUnknownKeyCapacity && list.cursor < kPoolCapacity) {
      list.pool[++list.cursor] = run.X[run.unknownOfKey[key]];
    } else if (list.cursor < kPoolCapacity) {
      ++list.cursor;  // left as it was
    }
  }
}

// A held frame is drawn again from the same state: the recording pass runs for
// its shapes, but what it adds to the running totals (powers, energies, the
// integrals of the records) must not count again. The store and the unknowns are
// put back as they were before the pass.
struct HeldFrameBaseline {
  ParameterStore parameters;
  double X[kXCapacity];
};
HeldFrameBaseline heldBaseline;  // one process-wide scratch copy, no allocation

int heldUnknownCount(const Run& run) {
  const int last = run.unknownCount + run.stateSlotCount;
  return last < kXCapacity - 1 ? last : kXCapacity - 1;
}

int runHeldRecordingPass(Model& model, Run& run, Reporter& reporter) {
  heldBaseline.parameters = model.parameters;
  const int last = heldUnknownCount(run);
  std::memcpy(heldBaseline.X, run.X, sizeof(double) * static_cast<size_t>(last + 1));
  const int result = runRecordingElementPass(model, run, reporter);
  model.parameters = heldBaseline.parameters;
  std::memcpy(run.X, heldBaseline.X, sizeof(double) * static_cast<size_t>(last + 1));
  return result;
}

// The ring of a run held at its first step is made once, not at every redraw.
bool ringFitsRun(const Run& run, int recordLength) {
  return run.frames.numbers != nullptr && run.frames.capacity == run.frameCount &&
         run.frames.recordLength == recordLength;
}

void trackExtremes(const Model& model, Run& run) {
  for (int i = 1; i <= model.count.outputs && i < kOutputSlots; ++i) {
    if (run.outputUntracked[i]) continue;
    const double value = run.outputValue[i];
    if (value > run.outputHigh[i]) run.outputHigh[i] = value;
    if (value < run.outputLow[i]) run.outputLow[i] = value;
  }
}

}  // namespace

double outputValue(const Model& model, const Run& run, int item) {
  const OutputItem& output = model.outputs[item];
  if (output.componentDigit < 1) return model.parameters.get(output.slot);
  const int key = output.slot;
  if (key < 0 || key >= kUnknownKeyCapacity) return 0.0;
  const double value = run.X[run.unknownOfKey[key]];
  return output.componentDigit == 4 ? value * kDegreesPerRadian : value;
}

double recordedOutput(Run& run, int frame, int item) {
  const double* numbers = run.frames.frame(frame);
  const int entry = run.outputBlockStart + item;  // pool entry numbers start at 1
  if (numbers == nullptr || entry < 1 || entry > run.frames.recordLength + 1) return 0.0;
  return numbers[entry - 1];
}

int recordFrame(Model& model, Run& run, Reporter& reporter, RunHost& host) {
  advanceCursor(run);
  run.displayFlag = 7;
  run.display.clear();
  run.recordingFlag = 1;
  run.holdFlag = (run.interactionMode >= 1 && run.holdState >= 1) ? 1 : 0;

  const int passed = run.holdFlag == 1 ? runHeldRecordingPass(model, run, reporter)
                                       : runRecordingElementPass(model, run, reporter);
  if (passed > 0) {
    if (run.kt == 0) return kRunRefused;
    run.runEnded = 1;
    return kRunStopped;
  }
  for (int i = 1; i <= model.count.outputs && i < kOutputSlots; ++i) {
    run.outputValue[i] = outputValue(model, run, i);
  }
  if (const int status = appendStatementItems(model, run, reporter); status != 0) return status;
  appendEngineItems(model, run);
  trackExtremes(model, run);

  DisplayList& list = run.display;
  if (run.kt == 0 && !(run.holdFlag == 1 && ringFitsRun(run, list.cursor))) {
    if (list.count > 1000 || list.cursor > 10000) {
      reporter.modelError("初期にＨＤ容量不足... imn= %d \n", list.cursor);
      return kRunStopped;
    }
    const int created = createFrameRing(run.frames, host.nowMs(), run.frameCount, list.cursor);
    // The message names the block and the reason: a bare code names nothing.
    if (created == 1) {
      reporter.modelError(" File失敗0\n\n共有メモリ %s を作れない (%s)", run.frames.block.path.c_str(),
                          std::strerror(run.frames.error));
      return kRunStopped;
    }
    if (created == 2) {
      reporter.modelError("File失敗1\n\n共有メモリ %s を割り当てられない (%s)",
                          run.frames.block.path.c_str(), std::strerror(run.frames.error));
      return kRunStopped;
    }
  }
  if (list.count > 1000 || list.cursor > 10000) {
    reporter.modelError(run.kt == 0 ? "初期にＨＤ容量不足... imn= %d \n" : "ＨＤ容量不足... imn= %d \n",
                        list.cursor);
    return kRunStopped;
  }
  if (!keepsFrame(run)) return 0;
  run.currentFrame = run.frameCursor;
  if (run.interactionMode == 1) run.currentFrame = run.frameCursor % (run.frames.capacity + 1);
  double* frame = run.frames.frame(run.currentFrame);
  if (frame == nullptr) return 0;  // a cursor past the ring writes nothing
  prepareFrame(run.frames, run.currentFrame);
  // Pool entries 1..S+1 in one block copy; a stride past the pool reads zeros.
  const int count = run.frames.stride();
  const int fromPool = count < kPoolCapacity ? count : kPoolCapacity;
  if (fromPool > 0) copyIntoRing(frame, &list.pool[1], fromPool);
  for (int k = fromPool; k < count; ++k) frame[k] = 0.0;
  return 0;
}

}  // namespace movra
