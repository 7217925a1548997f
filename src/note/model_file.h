// Reads a model file (the language of docs/model-format.md) into what the editor
// hands over to the simulator: records, node tables and the model text.
#pragma once

#include <string>
#include <vector>

#include "note/hand_over_image.h"

namespace movra::note {

// Reads the file's bytes. On a mistake returns false with the error (and its file
// line) in errors; image is then incomplete and must not be handed over.
bool readModelFile(const std::string& fileText, HandOverImage& image,
                   std::vector<FileError>& errors);

// The bytes of a model whose file is (or will be) at path: its include statements
// resolve from the path's folder and errors name its own lines. An editor hands
// over what its buffer holds this way, saved or not.
bool readModelFileAt(const std::string& bytes, const std::string& path, HandOverImage& image,
                     std::vector<FileError>& errors);

// The same for a file on disk; an unreadable file is an error at line 0.
bool readModelFilePath(const std::string& path, HandOverImage& image,
                       std::vector<FileError>& errors);

}  // namespace movra::note
