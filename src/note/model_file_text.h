// The model file's bytes as the text the reader works on: UTF-8, or code page
// 932 converted to UTF-8 when the file is not valid UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "note/hand_over_image.h"

namespace movra::note {

// The text without a UTF-8 BOM; false with an error at the file line concerned when
// the bytes are neither encoding or hold a zero byte or a CR that ends no line.
bool decodeFileText(std::string_view raw, std::string& text, std::vector<FileError>& errors);

}  // namespace movra::note
