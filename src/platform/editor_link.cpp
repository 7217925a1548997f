#include "platform/editor_link.h"

#include <dirent.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/instance_registry.h"

#include "platform/private_objects.h"

namespace movra::platform {

namespace {

bool socketAddress(const std::string& id, sockaddr_un& address, std::string& path) {
  for (const char c : id) {
    if (c < '0' || c > '9') return false;  // ids are decimal numbers, nothing else
  }
  if (id.empty()) return false;
  path = runtimeDirectory() + "/editor-" + id + ".sock";
  if (path.size() >= sizeof address.sun_path) return false;
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

}  // namespace

std::string runtimeDirectory() {
  std::string directory;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != 0) {
    directory = std::string(runtime) + "/movra";
  } else {
    directory = "/tmp/movra-" + std::to_string(static_cast<unsigned long>(getuid()));
  }
  mkdir(directory.c_str(), 0700);
  return directory;
}

// The /tmp fallback is refused, not replaced by a fresh folder of another name,
// when it is not ours: every simulator and editor of the user must meet in the
// same folder, or the census would no longer see the others' titles.
std::string runtimeDirectoryDistrust() {
  return ensurePrivateFolder(runtimeDirectory());
}

void removeDeadEditorSockets() {
  if (!runtimeDirectoryDistrust().empty()) return;
  const std::string directory = runtimeDirectory();
  DIR* folder = opendir(directory.c_str());
  if (folder == nullptr) return;
  constexpr std::string_view kPrefix = "editor-";
  constexpr std::string_view kSuffix = ".sock";
  while (const dirent* entry = readdir(folder)) {
    const std::string_view file = entry->d_name;
    if (file.size() <= kPrefix.size() + kSuffix.size() || !file.starts_with(kPrefix) ||
        !file.ends_with(kSuffix)) {
      continue;
    }
    const std::string id(file.substr(kPrefix.size(), file.size() - kPrefix.size() - kSuffix.size()));
    if (id.find_first_not_of("0123456789") != std::string::npos || id.size() > 18) continue;
    const long pid = std::strtol(id.c_str(), nullptr, 10);
    if (pid != static_cast<long>(getpid()) && processExists(static_cast<pid_t>(pid))) continue;
    const std::string path = directory + "/" + std::string(file);
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode) && info.st_uid == geteuid()) {
      unlink(path.c_str());
    }
  }
  closedir(folder);
}

EditorMailbox::EditorMailbox() {
  id_ = std::to_string(static_cast<long>(getpid()));
  refusal_ = runtimeDirectoryDistrust();
  if (!refusal_.empty()) return;
  sockaddr_un address{};
  if (!socketAddress(id_, address, path_)) return;
  // Something under our name is a leftover of a process that had our id before,
  // unless another account put it there: that is left alone, and so is the start.
  struct stat existing {};
  if (lstat(path_.c_str(), &existing) == 0) {
    if (existing.st_uid != geteuid()) {
      refusal_ = distrustOf(existing, ObjectKind::Socket, path_);
      return;
    }
    unlink(path_.c_str());
  }
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return;
  // The socket file gets no access for others from the start (the editor runs
  // on one thread, so the mask is ours for these few lines).
  const mode_t mask = umask(077);
  const int bound = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  umask(mask);
  if (bound != 0) {
    close(fd);
    return;
  }
  // The kernel tells who sent each message, so that an editor with several
  // simulators open can give a report to the run it belongs to.
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_PASSCRED, &on, sizeof on);
  fd_ = fd;
}

EditorMailbox::~EditorMailbox() {
  if (fd_ >= 0) {
    close(fd_);
    unlink(path_.c_str());
  }
}

std::vector<EditorMessage> EditorMailbox::takeMessages() {
  std::vector<EditorMessage> messages;
  if (fd_ < 0) return messages;
  std::vector<char> buffer(sizeof(int32_t) + kEditorMessageBytes + 1);
  while (true) {
    iovec part{buffer.data(), buffer.size() - 1};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
    msghdr header{};
    header.msg_iov = &part;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    const ssize_t got = recvmsg(fd_, &header, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      break;  // nothing more waiting
    }
    if (got < static_cast<ssize_t>(sizeof(int32_t))) continue;
    EditorMessage message;
    for (cmsghdr* c = CMSG_FIRSTHDR(&header); c != nullptr; c = CMSG_NXTHDR(&header, c)) {
      if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_CREDENTIALS) {
        ucred credentials{};
        std::memcpy(&credentials, CMSG_DATA(c), sizeof credentials);
        message.sender = static_cast<long>(credentials.pid);
      }
    }
    int32_t word = 0;
    std::memcpy(&word, buffer.data(), sizeof word);
    message.dataWord = word;
    buffer[static_cast<size_t>(got)] = 0;
    message.text = std::string(buffer.data() + sizeof word, strnlen(buffer.data() + sizeof word,
                                                                    static_cast<size_t>(got) - sizeof word));
    messages.push_back(std::move(message));
  }
  return messages;
}

bool sendToEditor(const std::string& editorId, int dataWord, const char* text) {
  sockaddr_un address{};
  std::string path;
  if (!socketAddress(editorId, address, path)) return false;
  // Model errors and texts go only to a socket that our own editor made.
  struct stat target {};
  if (!runtimeDirectoryDistrust().empty() || lstat(path.c_str(), &target) != 0 ||
      !distrustOf(target, ObjectKind::Socket, path).empty()) {
    return false;
  }
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  // The message carries the data word and a 65536-byte block whose first part is
  // the zero-terminated text.
  std::vector<char> packet(sizeof(int32_t) + kEditorMessageBytes, 0);
  const int32_t word = dataWord;
  std::memcpy(packet.data(), &word, sizeof word);
  const size_t length = strnlen(text, kEditorMessageBytes - 1);
  std::memcpy(packet.data() + sizeof word, text, length);
  const ssize_t sent = sendto(fd, packet.data(), packet.size(), 0,
                              reinterpret_cast<const sockaddr*>(&address), sizeof address);
  close(fd);
  return sent == static_cast<ssize_t>(packet.size());
}

}  // namespace movra::platform
