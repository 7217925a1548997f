#include "platform/instance_registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/editor_link.h"
#include "platform/private_objects.h"

namespace movra::platform {

namespace {

// A whole number spelled in decimal from the start of text up to stop (or the
// end); false for anything else.
bool decimalPrefix(const char* text, char stop, unsigned long long& value, const char** end) {
  value = 0;
  const char* c = text;
  for (; *c != 0 && *c != stop; ++c) {
    if (*c < '0' || *c > '9' || value > 0xffffffffffffULL) return false;
    value = value * 10 + static_cast<unsigned long long>(*c - '0');
  }
  if (c == text) return false;
  *end = c;
  return true;
}

// An entry's name: "<pid>.<start ticks>"; false for any other name.
bool parseEntryName(const char* name, pid_t& pid, unsigned long long& start) {
  unsigned long long value = 0;
  const char* end = nullptr;
  if (!decimalPrefix(name, '.', value, &end) || *end != '.' || value > 0x7fffffffULL) return false;
  pid = static_cast<pid_t>(value);
  return decimalPrefix(end + 1, 0, start, &end) && *end == 0 && pid > 0;
}

// The writer of a temp file ".<pid>.tmp"; 0 for any other name.
pid_t writerOfTempFile(const char* name) {
  unsigned long long value = 0;
  const char* end = nullptr;
  if (name[0] != '.' || !decimalPrefix(name + 1, '.', value, &end)) return 0;
  if (std::strcmp(end, ".tmp") != 0 || value > 0x7fffffffULL) return 0;
  return static_cast<pid_t>(value);
}

// A window counts once per marker, however often its title repeats it.
int contains(const std::string& text, const char* marker) {
  return text.find(marker) != std::string::npos ? 1 : 0;
}

bool writeAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(wrote);
  }
  return true;
}

// The title in an entry, read only when the entry is a private file of this
// user; false otherwise.
bool readTitle(int directory, const char* name, std::string& title) {
  title.clear();
  const int fd = openat(directory, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !distrustOf(info, ObjectKind::File, name).empty()) {
    close(fd);
    return false;
  }
  char buffer[kTitleBytes];
  while (title.size() < kTitleBytes) {
    const ssize_t got = read(fd, buffer, kTitleBytes - title.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    title.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  return true;
}

// Opens a registry folder for listing or locking, when it is a private folder of
// this user (checked on the open descriptor); -1 otherwise.
int openPrivateFolder(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat info {};
  if (fstat(fd, &info) != 0 || info.st_nlink == 0 ||
      !distrustOf(info, ObjectKind::Folder, path).empty()) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

MarkerCounts countMarkersIn(const std::string& title) {
  // A window title is read up to its buffer; what lies beyond is not seen.
  const std::string seen = title.substr(0, kTitleBytes);
  MarkerCounts counts;
  counts.ended = contains(seen, kEndedTitleMarker);
  counts.calculating = contains(seen, kCalculatingTitleMarker);
  counts.tryInfo = contains(seen, kTryInfoTitleMarker);
  counts.version = contains(seen, kVersionTitleMarker);
  return counts;
}

unsigned long long processStartTicks(pid_t pid) {
  if (pid <= 0) return 0;
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%ld/stat", static_cast<long>(pid));
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  char text[1024];
  const ssize_t got = read(fd, text, sizeof text - 1);
  close(fd);
  if (got <= 0) return 0;
  text[got] = 0;
  // The command name in parentheses may hold blanks: count fields after its end.
  const char* field = std::strrchr(text, ')');
  if (field == nullptr) return 0;
  for (int k = 2; k < 22 && field != nullptr; ++k) field = std::strchr(field + 1, ' ');
  if (field == nullptr) return 0;
  return std::strtoull(field + 1, nullptr, 10);
}

bool processExists(pid_t pid) {
  if (pid <= 0) return false;
  // EPERM means someone is there, only not ours to signal.
  return kill(pid, 0) == 0 || errno != ESRCH;
}

std::string titleRegistryDirectory() {
  std::string directory = runtimeDirectory() + "/titles";
  if (const char* tag = std::getenv("MOVRA_SHM_TAG"); tag != nullptr && *tag != 0) {
    directory += '-';
    for (const char* c = tag; *c != 0; ++c) directory += (*c == '/') ? '_' : *c;
  }
  return directory;
}

TitleRegistry::TitleRegistry() : directory_(titleRegistryDirectory()), parent_(runtimeDirectory()) {
  distrust();  // makes the folders when missing
}

TitleRegistry::TitleRegistry(std::string directory) : directory_(std::move(directory)) {
  distrust();
}

std::string TitleRegistry::distrust() const {
  // Nothing is made inside a runtime folder that is not ours.
  if (!parent_.empty()) {
    if (std::string why = ensurePrivateFolder(parent_); !why.empty()) return why;
  }
  return ensurePrivateFolder(directory_);
}

std::string TitleRegistry::entryPath(pid_t pid) const {
  return directory_ + "/" + std::to_string(static_cast<long>(pid)) + "." +
         std::to_string(processStartTicks(pid));
}

RegistryLock::~RegistryLock() {
  if (fd_ >= 0) close(fd_);  // closing releases the lock
}

RegistryLock TitleRegistry::lock() const {
  // A directory removed by the last simulator to leave while we waited is made
  // again, and the lock taken on the new one.
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (!distrust().empty()) return RegistryLock(-1);
    const int fd = openPrivateFolder(directory_);
    if (fd < 0) return RegistryLock(-1);
    int locked = -1;
    while ((locked = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    struct stat info {};
    if (locked == 0 && fstat(fd, &info) == 0 && info.st_nlink > 0) return RegistryLock(fd);
    close(fd);
  }
  return RegistryLock(-1);
}

bool TitleRegistry::write(pid_t pid, const std::string& title) const {
  if (pid <= 0) return false;
  const std::string path = entryPath(pid);
  const std::string temporary = directory_ + "/." + std::to_string(static_cast<long>(pid)) + ".tmp";
  int fd = -1;
  for (int attempt = 0; attempt < 2 && fd < 0; ++attempt) {
    // The folder may go with the last simulator to leave: made again here.
    if (!distrust().empty()) return false;
    // A temp file of ours is a leftover of a writer that had our id before; the
    // new one is made fresh, never written through whatever stands there.
    unlink(temporary.c_str());
    fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno != ENOENT) return false;
  }
  if (fd < 0) return false;
  const bool wrote = writeAll(fd, title);
  if (close(fd) != 0 || !wrote || std::rename(temporary.c_str(), path.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

bool TitleRegistry::remove(pid_t pid) const {
  return unlink(entryPath(pid).c_str()) == 0;
}

void TitleRegistry::removeDirectoryIfEmpty() const {
  const RegistryLock held = lock();
  if (held.held()) rmdir(directory_.c_str());
}

std::vector<TitleEntry> TitleRegistry::liveEntries() const {
  std::vector<TitleEntry> entries;
  const int folder = openPrivateFolder(directory_);
  if (folder < 0) return entries;
  DIR* listing = fdopendir(folder);
  if (listing == nullptr) {
    close(folder);
    return entries;
  }
  while (const dirent* item = readdir(listing)) {
    const char* name = item->d_name;
    if (name[0] == '.') {
      // A temp file of a writer that died between open and rename.
      const pid_t writer = writerOfTempFile(name);
      if (writer > 0 && !processExists(writer)) unlinkat(dirfd(listing), name, 0);
      continue;
    }
    pid_t pid = 0;
    unsigned long long start = 0;
    if (!parseEntryName(name, pid, start)) continue;  // not ours
    // Gone, or its id now belongs to a later process: a leftover of a crash.
    if (!processExists(pid) || start != processStartTicks(pid)) {
      unlinkat(dirfd(listing), name, 0);
      continue;
    }
    TitleEntry entry;
    entry.pid = pid;
    if (!readTitle(dirfd(listing), name, entry.title)) continue;  // not a title we wrote
    entries.push_back(std::move(entry));
  }
  closedir(listing);
  return entries;
}

MarkerCounts TitleRegistry::countMarkers() const {
  MarkerCounts total;
  for (const TitleEntry& entry : liveEntries()) {
    const MarkerCounts one = countMarkersIn(entry.title);
    total.ended += one.ended;
    total.calculating += one.calculating;
    total.tryInfo += one.tryInfo;
    total.version += one.version;
  }
  return total;
}

}  // namespace movra::platform
