// The model file's bytes as the text the reader works on: UTF-8, or code page
// 932 converted to UTF-8 when the file is not valid UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "note/hand_over_image.h"

namespace movra::note {

// A model and the files it includes together: the hand-over takes 135 records and
// 64 KB of text, so anything much larger is a mistake (or a device such as
// /dev/zero that never ends), and is refused before it fills the memory.
inline constexpr size_t kModelBytesLimit = 1 << 20;
inline constexpr int kModelLinesLimit = 20000;

// Reads at most `limit` bytes of a regular file into bytes; false with why set for
// anything else: a folder, a device or a named pipe (opened without waiting for a
// writer), a file that cannot be read, or one longer than the limit.
bool readBoundedFile(const std::string& path, size_t limit, std::string& bytes, std::string& why);

// The text without a UTF-8 BOM; false with an error at the file line concerned when
// the bytes are neither encoding or hold a zero byte or a CR that ends no line.
bool decodeFileText(std::string_view raw, std::string& text, std::vector<FileError>& errors);

}  // namespace movra::note
