#include "app/hand_over.h"

#include <cstdio>
#include <cstring>

#include "platform/shared_memory.h"

namespace movra::app {

namespace {

using platform::SharedBlock;

// The block's own failure message; for a block found already there but not
// trusted, followed by which block and why, so the user can see who made it.
void reportOpenFailure(Reporter& reporter, const char* message, const SharedBlock& block) {
  if (block.refusal.empty()) {
    reporter.notice("%s", message);
  } else {
    reporter.notice("%s\n\n%s", message, block.refusal.c_str());
  }
}

// A run's own block is removed once read: a killed editor then leaves nothing
// behind, and no later run can mistake it for its own.
void releaseBlock(SharedBlock& block, const std::string& editorId) {
  if (isEditorId(editorId)) platform::removeBlockName(block);
  platform::closeSharedBlock(block);
}

bool readCountBlock(Model& model, Reporter& reporter, const std::string& editorId) {
  SharedBlock block;
  const std::string name = handOverBlockName(kCountBlockName, editorId);
  if (!platform::openSharedBlock(name.c_str(), kCountBlockBytes, block)) {
    reportOpenFailure(reporter, " File失敗C0", block);
    return false;
  }
  if (!platform::mapSharedBlock(block)) {
    platform::closeSharedBlock(block);
    reporter.notice(" File失敗1");
    return false;
  }
  char text[kCountBlockBytes + 1];
  std::memcpy(text, block.data, kCountBlockBytes);
  text[kCountBlockBytes] = 0;
  int last = -1;
  int second = 0;
  std::sscanf(text, " %d %d", &last, &second);
  model.lastRecordIndex = last;
  model.secondCount = second;
  if (!platform::unmapSharedBlock(block)) reporter.notice(" File失敗5");
  releaseBlock(block, editorId);
  return true;
}

bool readRecordBlock(Model& model, Reporter& reporter, const std::string& editorId) {
  SharedBlock block;
  const std::string name = handOverBlockName(kRecordBlockName, editorId);
  if (!platform::openSharedBlock(name.c_str(), kRecordBlockBytes, block)) {
    reportOpenFailure(reporter, " File失敗0", block);
    return false;
  }
  if (!platform::mapSharedBlock(block)) {
    platform::closeSharedBlock(block);
    reporter.notice(" File失敗1");
    return false;
  }
  // The block holds 135 whole records; a larger count would read past its end.
  const int last = model.lastRecordIndex;
  bool ok = true;
  if (last >= kHandOverRecordLimit) {
    reporter.notice(" 文の数が多過ぎる？  %d > %d ", last + 1, kHandOverRecordLimit);
    ok = false;
  } else {
    const auto* bytes = static_cast<const unsigned char*>(block.data);
    for (int r = 0; r <= last; ++r) {
      std::memcpy(static_cast<void*>(&model.records[r]), bytes + static_cast<size_t>(r) * kRecordBytes,
                  kRecordBytes);
      terminateTexts(model.records[r]);
    }
  }
  if (!platform::unmapSharedBlock(block)) {
    reporter.notice(" File失敗123");
    ok = false;
  }
  releaseBlock(block, editorId);
  return ok;
}

bool readNodeTables(Model& model, Reporter& reporter, const std::string& editorId) {
  SharedBlock block;
  const std::string name = handOverBlockName(kNodeBlockName, editorId);
  if (!platform::openSharedBlock(name.c_str(), kNodeBlockBytes, block)) {
    reportOpenFailure(reporter, " File失敗C", block);
    return false;
  }
  if (!platform::mapSharedBlock(block)) {
    platform::closeSharedBlock(block);
    reporter.notice(" File失敗1");
    return false;
  }
  readNodeBlock(static_cast<const unsigned char*>(block.data), model.nodes);
  const bool unmapped = platform::unmapSharedBlock(block);
  if (!unmapped) reporter.notice(" File失敗123");
  releaseBlock(block, editorId);
  return unmapped;
}

}  // namespace

bool copyHandOverBlocks(Model& model, Reporter& reporter, const std::string& editorId) {
  return readCountBlock(model, reporter, editorId) && readRecordBlock(model, reporter, editorId) &&
         readNodeTables(model, reporter, editorId);
}

const std::string& LaunchArguments::at(size_t index) const {
  static const std::string kNone;
  return index < arguments.size() ? arguments[index] : kNone;
}

LaunchCheck checkArguments(LaunchArguments& launch, Reporter& reporter) {
  const size_t count = launch.arguments.size();
  if (count <= 1) return LaunchCheck::EndSilently;
  launch.handOverMode = 0;
  if (count == 2) return LaunchCheck::EndSilently;
  static constexpr const char* kMarkers[] = {"_a1_", "_a2_", "_a3_", "_a4_"};
  for (int mode = 1; mode <= 4; ++mode) {
    if (launch.at(2) == kMarkers[mode - 1]) {
      launch.handOverMode = mode;
      launch.interactionMode = mode == 3 ? 1 : (mode == 4 ? 2 : 0);
      return LaunchCheck::Go;
    }
  }
  reporter.notice("バージョンが不一致？  %s  %d  0:%s  1:%s  2:%s  3:%s", kVersion,
                  static_cast<int>(count), launch.at(0).c_str(), launch.at(1).c_str(),
                  launch.at(2).c_str(), launch.at(3).c_str());
  if (launch.at(2).find("scale") == std::string::npos) return LaunchCheck::End;
  launch.scaleForm = true;
  launch.arguments.resize(2);
  return LaunchCheck::Go;
}

}  // namespace movra::app
