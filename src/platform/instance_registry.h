// What stands in for visiting every top-level window and reading its title: each
// running simulator keeps its current title in a file named by its process id and
// start time in a per-user directory, and the census reads those files. An entry
// whose process has died (a crash, a kill), or whose id a later process got, is
// ignored and removed on the next visit, so it can never block a later start.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace movra::platform {

// The four markers the census counts, each separately.
inline constexpr const char* kEndedTitleMarker = "_movra_";
inline constexpr const char* kCalculatingTitleMarker = "_on-cal_";
inline constexpr const char* kTryInfoTitleMarker = "_try-info_";
inline constexpr const char* kVersionTitleMarker = " movra  v-7.72";

// A title is searched up to this many bytes, as a window title would be read.
inline constexpr size_t kTitleBytes = 1024;

// Finished simulators a user may keep open at once; the census refuses one more.
inline constexpr int kFinishedWindowLimit = 10;

struct MarkerCounts {
  int ended = 0;        // "_movra_": a simulator whose run has ended
  int calculating = 0;  // "_on-cal_": a simulator still calculating (or paused)
  int tryInfo = 0;      // "_try-info_"
  int version = 0;      // " movra  v-7.72"
};

// Counts the markers in one title (the first kTitleBytes bytes of it).
MarkerCounts countMarkersIn(const std::string& title);

// Held while a starting simulator counts the titles and claims its place, so that
// two started at the same instant cannot both pass the census. Released when it
// goes out of scope.
class RegistryLock {
 public:
  explicit RegistryLock(int fd) : fd_(fd) {}
  ~RegistryLock();
  RegistryLock(RegistryLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  RegistryLock(const RegistryLock&) = delete;
  RegistryLock& operator=(const RegistryLock&) = delete;
  RegistryLock& operator=(RegistryLock&&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

struct TitleEntry {
  pid_t pid = 0;
  std::string title;
};

class TitleRegistry {
 public:
  // The directory of this user: runtimeDirectory()/titles, or with MOVRA_SHM_TAG
  // set runtimeDirectory()/titles-<tag>, so that parallel test runs stay apart.
  TitleRegistry();
  // A registry in the given directory (created with mode 0700 when missing).
  explicit TitleRegistry(std::string directory);

  const std::string& directory() const { return directory_; }
  // "" when the runtime folder (for the default registry) and the registry's own
  // folder are real folders of this user with no access for others (made when
  // missing), else why not. An untrusted registry is neither read nor written:
  // another account could plant titles there to block our starts.
  std::string distrust() const;
  // "<pid>.<start ticks>": the start time tells a process from a later one that
  // was given the same id.
  std::string entryPath(pid_t pid) const;

  // Exclusive among all users of this directory until the lock is dropped.
  [[nodiscard]] RegistryLock lock() const;

  // Replaces the title of a process; atomic for readers (temp file + rename), so
  // a census never sees half a title.
  bool write(pid_t pid, const std::string& title) const;
  // Removes the entry of a process; true when there was one.
  bool remove(pid_t pid) const;
  // Leaves no empty directory behind (test runs make one per tag).
  void removeDirectoryIfEmpty() const;

  // The titles of live processes, in no particular order. Entries (and leftover
  // temp files) of processes that no longer exist are removed on the way; an
  // entry that is not a private file of this user is not read and not counted.
  std::vector<TitleEntry> liveEntries() const;
  // The markers of all live entries, counted separately.
  MarkerCounts countMarkers() const;

 private:
  std::string directory_;
  std::string parent_;  // the runtime folder, checked first; "" for a given directory
};

// The default directory as above.
std::string titleRegistryDirectory();

// When the process started, in clock ticks after boot; 0 when it cannot be read.
unsigned long long processStartTicks(pid_t pid);

// True unless the process is known to be gone (kill(pid, 0) fails with ESRCH).
bool processExists(pid_t pid);

}  // namespace movra::platform
