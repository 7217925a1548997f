#include "platform/shared_memory.h"

#include <fcntl.h>
#include <dirent.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/private_objects.h"

namespace movra::platform {

std::string sharedBlockPath(const char* name) {
  std::string path = "/movra." + std::to_string(static_cast<unsigned long>(getuid())) + ".";
  // A tag keeps parallel test runs (and their child processes) apart.
  if (const char* tag = std::getenv("MOVRA_SHM_TAG"); tag != nullptr && *tag != 0) {
    for (const char* c = tag; *c != 0; ++c) path += (*c == '/') ? '_' : *c;
    path += '.';
  }
  for (const char* c = name; *c != 0; ++c) path += (*c == '/') ? '_' : *c;
  return path;
}

namespace {

// Sizes a block this process has just opened or made; a block that exists but is
// smaller than asked for is grown (zero-filled), as a fresh one would be, so the
// mapping never reaches past the object's end.
bool sizeBlock(int fd, std::size_t size, SharedBlock& block) {
  struct stat info {};
  if (fstat(fd, &info) != 0 || (static_cast<std::size_t>(info.st_size) < size &&
                                ftruncate(fd, static_cast<off_t>(size)) != 0)) {
    close(fd);
    if (block.created) shm_unlink(block.path.c_str());
    block.created = false;
    return false;
  }
  block.fd = fd;
  block.size = size;
  return true;
}

}  // namespace

bool createSharedBlock(const char* name, std::size_t size, SharedBlock& block) {
  block = SharedBlock{};
  block.path = sharedBlockPath(name);
  const int fd = shm_open(block.path.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return false;
  block.created = true;
  return sizeBlock(fd, size, block);
}

bool openSharedBlock(const char* name, std::size_t size, SharedBlock& block) {
  if (createSharedBlock(name, size, block)) return true;
  if (errno != EEXIST) return false;
  // Someone made it first: the editor, a run of ours that crashed, or another
  // account. (shm_open never follows a link: a planted one fails with ELOOP.)
  const int fd = shm_open(block.path.c_str(), O_RDWR | O_NONBLOCK, 0);
  if (fd < 0) {
    if (errno == ELOOP) block.refusal = linkRefusal(ObjectKind::SharedBlock, block.path);
    return false;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0) {
    close(fd);
    return false;
  }
  block.refusal = distrustOf(info, ObjectKind::SharedBlock, block.path);
  if (!block.refusal.empty()) {
    close(fd);
    return false;
  }
  return sizeBlock(fd, size, block);
}

bool mapSharedBlock(SharedBlock& block) {
  if (block.fd < 0 || block.size == 0) return false;
  void* data = mmap(nullptr, block.size, PROT_READ | PROT_WRITE, MAP_SHARED, block.fd, 0);
  if (data == MAP_FAILED) return false;
  block.data = data;
  return true;
}

bool unmapSharedBlock(SharedBlock& block) {
  if (block.data == nullptr) return true;
  const bool ok = munmap(block.data, block.size) == 0;
  block.data = nullptr;
  return ok;
}

void closeSharedBlock(SharedBlock& block) {
  if (block.created) removeBlockName(block);
  if (block.fd >= 0) close(block.fd);
  block.fd = -1;
  block.created = false;
}

bool removeSharedBlock(const char* name) { return shm_unlink(sharedBlockPath(name).c_str()) == 0; }

namespace {

// Where the shm namespace lives as files.
constexpr const char* kShmFolder = "/dev/shm";

}  // namespace

bool removeBlockName(const SharedBlock& block) {
  struct stat held {};
  struct stat named {};
  if (block.fd < 0 || fstat(block.fd, &held) != 0) return false;
  if (lstat((kShmFolder + block.path).c_str(), &named) != 0) return false;
  if (held.st_dev != named.st_dev || held.st_ino != named.st_ino) return false;
  return shm_unlink(block.path.c_str()) == 0;
}

std::vector<std::string> existingBlockNames() {
  std::vector<std::string> names;
  const std::string prefix = sharedBlockPath("").substr(1);
  DIR* folder = opendir(kShmFolder);
  if (folder == nullptr) return names;
  while (const dirent* entry = readdir(folder)) {
    const std::string file = entry->d_name;
    if (file.size() > prefix.size() && file.compare(0, prefix.size(), prefix) == 0) {
      names.push_back(file.substr(prefix.size()));
    }
  }
  closedir(folder);
  return names;
}

bool removeLeftoverBlock(const std::string& name) {
  const std::string path = sharedBlockPath(name.c_str());
  struct stat info {};
  // Only what our own programs make: a private regular object of this user.
  if (lstat((kShmFolder + path).c_str(), &info) != 0 ||
      !distrustOf(info, ObjectKind::SharedBlock, path).empty()) {
    return false;
  }
  return shm_unlink(path.c_str()) == 0;
}

OwnedSharedBlock::OwnedSharedBlock(const char* name, std::size_t size) {
  if (!createSharedBlock(name, size, block_)) {
    if (errno != EEXIST) return;
    // Say what holds the name: someone else's object, or a private one of ours
    // (another run under this editor's id, or a leftover not cleared).
    struct stat info {};
    if (lstat((kShmFolder + block_.path).c_str(), &info) == 0) {
      block_.refusal = S_ISLNK(info.st_mode) ? linkRefusal(ObjectKind::SharedBlock, block_.path)
                                             : distrustOf(info, ObjectKind::SharedBlock, block_.path);
      if (block_.refusal.empty()) block_.refusal = inUseRefusal(ObjectKind::SharedBlock, block_.path);
    }
    return;
  }
  if (!mapSharedBlock(block_)) closeSharedBlock(block_);
}

OwnedSharedBlock::~OwnedSharedBlock() {
  unmapSharedBlock(block_);
  // Made here, so removed here, unless the simulator removed it after copying it
  // and the name is someone else's by now.
  closeSharedBlock(block_);
}

}  // namespace movra::platform
