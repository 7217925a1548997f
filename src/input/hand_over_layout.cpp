#include "input/hand_over_layout.h"

#include <cstring>

namespace movra {

namespace {

template <typename T>
void copyOut(const unsigned char* block, int offset, T* array, int count) {
  std::memcpy(array, block + offset, sizeof(T) * static_cast<size_t>(count));
}

template <typename T>
void copyIn(unsigned char* block, int offset, const T* array, int count) {
  std::memcpy(block + offset, array, sizeof(T) * static_cast<size_t>(count));
}

static_assert(kNodeYOffset == kNodeXOffset + 8 * kNodeCount);
static_assert(kNodeMapOffset == kNodeYOffset + 8 * kNodeCount);
static_assert(kNodeKindOffset == kNodeMapOffset + 4 * kNodeCount);
static_assert(kEditorFlagsOffset == kNodeKindOffset + 4 * kNodeCount);
static_assert(kNodeListOffset == kEditorFlagsOffset + 4 * kNodeCount);
static_assert(kNodeValuesOffset == kNodeListOffset + 4 * kNodeListCount);
static_assert(kFormulaIndexOffset == kNodeValuesOffset + 8 * kNodeValueCount);
static_assert(kNodeBlockUsedBytes == kFormulaIndexOffset + 4 * kFormulaIndexCount);

}  // namespace

void writeNodeBlock(const NodeTables& nodes, unsigned char* block) {
  copyIn(block, kNodeXOffset, nodes.x, kNodeCount);
  copyIn(block, kNodeYOffset, nodes.y, kNodeCount);
  copyIn(block, kNodeMapOffset, nodes.nodeMap, kNodeCount);
  copyIn(block, kNodeKindOffset, nodes.kind, kNodeCount);
  copyIn(block, kEditorFlagsOffset, nodes.editorFlags, kNodeCount);
  copyIn(block, kNodeListOffset, nodes.nodeList, kNodeListCount);
  copyIn(block, kNodeValuesOffset, nodes.nodeValues, kNodeValueCount);
  copyIn(block, kFormulaIndexOffset, nodes.formulaIndex, kFormulaIndexCount);
}

void readNodeBlock(const unsigned char* block, NodeTables& nodes) {
  copyOut(block, kNodeXOffset, nodes.x, kNodeCount);
  copyOut(block, kNodeYOffset, nodes.y, kNodeCount);
  copyOut(block, kNodeMapOffset, nodes.nodeMap, kNodeCount);
  copyOut(block, kNodeKindOffset, nodes.kind, kNodeCount);
  copyOut(block, kEditorFlagsOffset, nodes.editorFlags, kNodeCount);
  copyOut(block, kNodeListOffset, nodes.nodeList, kNodeListCount);
  copyOut(block, kNodeValuesOffset, nodes.nodeValues, kNodeValueCount);
  copyOut(block, kFormulaIndexOffset, nodes.formulaIndex, kFormulaIndexCount);
}

bool isEditorId(const std::string& text) {
  if (text.empty() || text.size() > 18) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::string handOverBlockName(const char* block, const std::string& editorId) {
  return isEditorId(editorId) ? editorId + "." + block : std::string(block);
}

bool isRunBlockName(const std::string& name, std::string& editorId) {
  const size_t dot = name.find('.');
  if (dot == std::string::npos) return false;
  const std::string rest = name.substr(dot + 1);
  if (rest != kCountBlockName && rest != kRecordBlockName && rest != kNodeBlockName) return false;
  editorId = name.substr(0, dot);
  return isEditorId(editorId);
}

}  // namespace movra
