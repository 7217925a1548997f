// Named shared-memory blocks: POSIX shm objects whose names carry a per-user tag,
// so two users' editors and simulators never meet. Created zero-filled when the
// name does not exist yet; a block this process created is removed when closed.
#pragma once

#include <cstddef>
#include <string>

namespace movra::platform {

struct SharedBlock {
  int fd = -1;
  void* data = nullptr;
  std::size_t size = 0;
  bool created = false;  // this process made it
  std::string path;      // the shm object name
};

// The shm object name for a block name: "/movra.<uid>.<name>", '/' replaced by '_';
// with MOVRA_SHM_TAG set, "/movra.<uid>.<tag>.<name>".
std::string sharedBlockPath(const char* name);

bool openSharedBlock(const char* name, std::size_t size, SharedBlock& block);  // create or open
bool mapSharedBlock(SharedBlock& block);
bool unmapSharedBlock(SharedBlock& block);
void closeSharedBlock(SharedBlock& block);
bool removeSharedBlock(const char* name);

// Owns a block for its lifetime: created, sized and mapped on construction, unmapped,
// closed and (when created here) removed on destruction. For the editor side.
class OwnedSharedBlock {
 public:
  OwnedSharedBlock(const char* name, std::size_t size);
  ~OwnedSharedBlock();
  OwnedSharedBlock(const OwnedSharedBlock&) = delete;
  OwnedSharedBlock& operator=(const OwnedSharedBlock&) = delete;
  bool ok() const { return block_.data != nullptr; }
  unsigned char* bytes() { return static_cast<unsigned char*>(block_.data); }
  std::size_t size() const { return block_.size; }

 private:
  SharedBlock block_;
  std::string name_;
};

}  // namespace movra::platform
