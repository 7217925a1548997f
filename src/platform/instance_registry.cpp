#include "platform/instance_registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/editor_link.h"

namespace movra::platform {

namespace {

// A process id spelled in decimal and nothing else; 0 for any other name.
pid_t pidOfName(const char* name, const char* suffix) {
  const size_t suffixLength = std::strlen(suffix);
  const size_t length = std::strlen(name);
  if (length <= suffixLength || std::strcmp(name + length - suffixLength, suffix) != 0) return 0;
  long pid = 0;
  for (size_t i = 0; i < length - suffixLength; ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    pid = pid * 10 + (name[i] - '0');
    if (pid > 0x7fffffffL) return 0;
  }
  return static_cast<pid_t>(pid);
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

std::string readTitle(const std::string& path) {
  std::string title;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return title;
  char buffer[kTitleBytes];
  while (title.size() < kTitleBytes) {
    const ssize_t got = read(fd, buffer, kTitleBytes - title.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    title.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  return title;
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

TitleRegistry::TitleRegistry() : TitleRegistry(titleRegistryDirectory()) {}

TitleRegistry::TitleRegistry(std::string directory) : directory_(std::move(directory)) {
  mkdir(directory_.c_str(), 0700);
}

std::string TitleRegistry::entryPath(pid_t pid) const {
  return directory_ + "/" + std::to_string(static_cast<long>(pid));
}

bool TitleRegistry::write(pid_t pid, const std::string& title) const {
  if (pid <= 0) return false;
  const std::string path = entryPath(pid);
  const std::string temporary = directory_ + "/." + std::to_string(static_cast<long>(pid)) + ".tmp";
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0 && errno == ENOENT) {
    // The last simulator to leave took the empty directory with it.
    mkdir(directory_.c_str(), 0700);
    fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
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
  rmdir(directory_.c_str());
}

std::vector<TitleEntry> TitleRegistry::liveEntries() const {
  std::vector<TitleEntry> entries;
  DIR* listing = opendir(directory_.c_str());
  if (listing == nullptr) return entries;
  while (const dirent* item = readdir(listing)) {
    const char* name = item->d_name;
    if (name[0] == '.') {
      // A temp file of a writer that died between open and rename.
      const pid_t writer = pidOfName(name + 1, ".tmp");
      if (writer > 0 && !processExists(writer)) unlinkat(dirfd(listing), name, 0);
      continue;
    }
    const pid_t pid = pidOfName(name, "");
    if (pid <= 0) continue;  // not ours
    if (!processExists(pid)) {
      unlinkat(dirfd(listing), name, 0);
      continue;
    }
    TitleEntry entry;
    entry.pid = pid;
    entry.title = readTitle(directory_ + "/" + name);
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
