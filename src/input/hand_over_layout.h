// Names and byte layout of the editor's hand-over blocks, shared by the simulator
// (which reads them) and the editor stand-in (which writes them).
#pragma once

#include <string>

#include "input/model.h"

namespace movra {

inline constexpr const char* kCountBlockName = "quillC0";
inline constexpr const char* kRecordBlockName = "quillC";
inline constexpr const char* kNodeBlockName = "hMapN";
inline constexpr int kCountBlockBytes = 1024;
inline constexpr int kNodeBlockBytes = 65536;

// Byte offsets of the arrays in the "hMapN" block.
inline constexpr int kNodeXOffset = 0;
inline constexpr int kNodeYOffset = 8000;
inline constexpr int kNodeMapOffset = 16000;
inline constexpr int kNodeKindOffset = 20000;
inline constexpr int kEditorFlagsOffset = 24000;
inline constexpr int kNodeListOffset = 28000;
inline constexpr int kNodeValuesOffset = 28800;
inline constexpr int kFormulaIndexOffset = 32800;
inline constexpr int kNodeBlockUsedBytes = 33204;

// The name of one of the three blocks for a hand-over by the editor with the given
// id (command-line argument 4): "<id>.quillC0" and so on, so that every run has
// blocks of its own and runs started side by side never read each other's model.
// Without an id (or with one that is not a decimal number) the plain name.
bool isEditorId(const std::string& text);
std::string handOverBlockName(const char* block, const std::string& editorId);
// True when the name is one that handOverBlockName gives for some id.
bool isRunBlockName(const std::string& name, std::string& editorId);

// The node tables to and from the "hMapN" layout; block has kNodeBlockBytes.
void writeNodeBlock(const NodeTables& nodes, unsigned char* block);
void readNodeBlock(const unsigned char* block, NodeTables& nodes);

}  // namespace movra
