// Result files (out.txt, the CSV, view.png) are written whole or not at all: into
// a fresh temporary file beside the target, made exclusively and never through a
// link, then renamed over the target. A full disk or a missing permission leaves
// the older file as it was and says why; a link planted at the target is
// replaced, never followed.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace movra::platform {

class OutputFile {
 public:
  explicit OutputFile(std::string path);
  ~OutputFile();  // an uncommitted temporary file is removed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // The stream to write to; nullptr when the file could not be made.
  std::FILE* stream() { return file_; }
  // True once a write has failed (the reason kept): call it right after writing,
  // while errno still says why.
  bool failed();
  // Flushes, closes and renames into place; false when any write failed, with
  // failure() saying why.
  bool commit();
  // "<path>：<reason>" once something failed, else "".
  const std::string& failure() const { return failure_; }

 private:
  void fail(int error);

  std::string path_;
  std::string temporary_;
  std::FILE* file_ = nullptr;
  std::string failure_;
};

// Writes bytes to path the same way; false with why set on failure.
bool writeWholeFile(const std::string& path, const void* data, std::size_t size, std::string& why);

// A write's errno in the program's words: a full disk, a missing permission, ...
std::string writeFailureReason(int error);

}  // namespace movra::platform
