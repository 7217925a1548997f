#include "platform/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace movra::platform {

std::string writeFailureReason(int error) {
  switch (error) {
    case ENOSPC:
      return "ディスクに空きがない";
    case EDQUOT:
      return "ディスクの割り当てを超えた";
    case EACCES:
    case EPERM:
    case EROFS:
      return "書き込みの権限がない";
    default:
      return std::strerror(error);
  }
}

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
  // mkstemp makes the file with O_EXCL, mode 0600: nothing already there is
  // opened, a link included. The result's mode follows the umask as before.
  temporary_ = path_ + ".XXXXXX";
  const int fd = mkstemp(temporary_.data());
  if (fd < 0) {
    fail(errno);
    temporary_.clear();
    return;
  }
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  file_ = fdopen(fd, "w");
  if (file_ == nullptr) {
    fail(errno);
    close(fd);
  }
}

OutputFile::~OutputFile() {
  if (file_ != nullptr) std::fclose(file_);
  if (!temporary_.empty()) unlink(temporary_.c_str());
}

void OutputFile::fail(int error) {
  if (failure_.empty()) failure_ = path_ + "：" + writeFailureReason(error);
}

bool OutputFile::failed() {
  if (file_ != nullptr && std::ferror(file_) != 0) fail(errno);
  return !failure_.empty();
}

bool OutputFile::commit() {
  if (file_ == nullptr) return false;
  if (!failed() && std::fflush(file_) != 0) fail(errno);
  const int closed = std::fclose(file_);
  file_ = nullptr;
  if (closed != 0) fail(errno);
  if (!failure_.empty()) return false;
  if (rename(temporary_.c_str(), path_.c_str()) != 0) {
    fail(errno);
    return false;
  }
  temporary_.clear();
  return true;
}

bool writeWholeFile(const std::string& path, const void* data, std::size_t size, std::string& why) {
  OutputFile file(path);
  if (file.stream() != nullptr && size > 0) std::fwrite(data, 1, size, file.stream());
  const bool written = file.commit();
  why = file.failure();
  return written;
}

}  // namespace movra::platform
