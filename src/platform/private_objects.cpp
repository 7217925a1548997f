#include "platform/private_objects.h"

#include <unistd.h>

#include <climits>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>

namespace movra::platform {

namespace {

const char* nounOf(ObjectKind kind) {
  switch (kind) {
    case ObjectKind::SharedBlock:
      return "共有メモリ";
    case ObjectKind::Folder:
      return "フォルダ";
    case ObjectKind::File:
      return "ファイル";
    case ObjectKind::Socket:
      return "ソケット";
  }
  return "";
}

bool isKind(const struct stat& info, ObjectKind kind) {
  switch (kind) {
    case ObjectKind::SharedBlock:
    case ObjectKind::File:
      return S_ISREG(info.st_mode);
    case ObjectKind::Folder:
      return S_ISDIR(info.st_mode);
    case ObjectKind::Socket:
      return S_ISSOCK(info.st_mode);
  }
  return false;
}

const char* wrongKind(ObjectKind kind) {
  switch (kind) {
    case ObjectKind::SharedBlock:
    case ObjectKind::File:
      return "通常のファイルではない";
    case ObjectKind::Folder:
      return "フォルダではない";
    case ObjectKind::Socket:
      return "ソケットではない";
  }
  return "";
}

std::string refusal(ObjectKind kind, const std::string& path, const std::string& reason) {
  return std::string(nounOf(kind)) + " " + path + " を使わない：" + reason;
}

}  // namespace

std::string linkRefusal(ObjectKind kind, const std::string& path) {
  return refusal(kind, path, "シンボリックリンク");
}

std::string inUseRefusal(ObjectKind kind, const std::string& path) {
  return refusal(kind, path, "既にある (別の実行が使用中)");
}

std::string distrustOf(const struct stat& info, ObjectKind kind, const std::string& path) {
  if (S_ISLNK(info.st_mode)) return linkRefusal(kind, path);
  if (!isKind(info, kind)) return refusal(kind, path, wrongKind(kind));
  // Root too: a block another account made is that account's, whoever may open it.
  if (info.st_uid != geteuid()) {
    return refusal(
        kind, path,
        "別のユーザ (uid " + std::to_string(static_cast<unsigned long>(info.st_uid)) + ") のもの");
  }
  if ((info.st_mode & 077) != 0) {
    char mode[16];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    return refusal(kind, path, std::string("他のユーザにも開いている (mode ") + mode + ")");
  }
  return {};
}

std::string outputFolderDistrust(const std::string& path, std::string& resolved) {
  char real[PATH_MAX];
  if (realpath(path.c_str(), real) == nullptr) {
    return refusal(ObjectKind::Folder, path, std::string("見えない (") + std::strerror(errno) + ")");
  }
  resolved = real;
  struct stat info {};
  if (stat(real, &info) != 0) {
    return refusal(ObjectKind::Folder, path, std::string("見えない (") + std::strerror(errno) + ")");
  }
  if (!S_ISDIR(info.st_mode)) return refusal(ObjectKind::Folder, path, wrongKind(ObjectKind::Folder));
  if (info.st_uid != geteuid() && info.st_uid != 0) {
    return refusal(ObjectKind::Folder, path,
                   "別のユーザ (uid " + std::to_string(static_cast<unsigned long>(info.st_uid)) + ") のもの");
  }
  if ((info.st_mode & 022) != 0 && (info.st_mode & S_ISVTX) == 0) {
    char mode[16];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    return refusal(ObjectKind::Folder, path, std::string("他のユーザも書き込める (mode ") + mode + ")");
  }
  return {};
}

std::string ensurePrivateFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    return refusal(ObjectKind::Folder, path,
                   std::string("作れない (") + std::strerror(errno) + ")");
  }
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) {
    return refusal(ObjectKind::Folder, path,
                   std::string("見えない (") + std::strerror(errno) + ")");
  }
  return distrustOf(info, ObjectKind::Folder, path);
}

}  // namespace movra::platform
