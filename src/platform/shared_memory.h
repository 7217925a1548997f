// Named shared-memory blocks: POSIX shm objects whose names carry a per-user tag,
// so two users' editors and simulators never meet. Created zero-filled (mode 0600)
// when the name does not exist yet; a block this process created is removed when
// closed. The shm namespace is open to every account, so a block found already
// there is used only when it is this user's and nobody else may read or write it;
// otherwise it is left exactly as it is.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace movra::platform {

struct SharedBlock {
  int fd = -1;
  void* data = nullptr;
  std::size_t size = 0;
  bool created = false;  // this process made it
  std::string path;      // the shm object name
  std::string refusal;   // why an existing block was not used ("" otherwise)
};

// The shm object name for a block name: "/movra.<uid>.<name>", '/' replaced by '_';
// with MOVRA_SHM_TAG set, "/movra.<uid>.<tag>.<name>".
std::string sharedBlockPath(const char* name);

// Creates the block, or opens the existing one when it is trusted (owner and mode
// checked on the open descriptor before anything touches it). False on failure;
// block.refusal then says why when an existing block was not trusted.
bool openSharedBlock(const char* name, std::size_t size, SharedBlock& block);
// Creates the block and never opens an existing one: false (errno EEXIST) when
// the name is taken, by whomever.
bool createSharedBlock(const char* name, std::size_t size, SharedBlock& block);
bool mapSharedBlock(SharedBlock& block);
bool unmapSharedBlock(SharedBlock& block);
void closeSharedBlock(SharedBlock& block);
bool removeSharedBlock(const char* name);
// Removes the name of an open block, but only while the name still stands for this
// very object: once the other side has removed it, someone else may hold the name.
bool removeBlockName(const SharedBlock& block);

// The names (as passed to openSharedBlock) of this user's blocks under the current
// tag that exist now, for clearing the leftovers of dead processes.
std::vector<std::string> existingBlockNames();
// Removes a leftover: only a private regular object of this user, never a link.
bool removeLeftoverBlock(const std::string& name);

// Owns a block for its lifetime: created, sized and mapped on construction, unmapped,
// closed and removed on destruction. For the editor side: the block is always made
// here (a name already taken, even by a private block of ours, is refused), so an
// editor never writes into or removes a block of another run.
class OwnedSharedBlock {
 public:
  OwnedSharedBlock(const char* name, std::size_t size);
  ~OwnedSharedBlock();
  OwnedSharedBlock(const OwnedSharedBlock&) = delete;
  OwnedSharedBlock& operator=(const OwnedSharedBlock&) = delete;
  bool ok() const { return block_.data != nullptr; }
  unsigned char* bytes() { return static_cast<unsigned char*>(block_.data); }
  std::size_t size() const { return block_.size; }
  // Why an existing block of that name was not used ("" when it was, or none existed).
  const std::string& refusal() const { return block_.refusal; }

 private:
  SharedBlock block_;
};

}  // namespace movra::platform
