// Objects as another account would leave them for us to find, made for real: an
// owner that is not us (root may give its objects away with fchown), modes that
// let others in, a symbolic link where an object of ours belongs.
#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace movra::testing {

// The account of nobody: any uid but ours will do.
inline constexpr uid_t kOtherUid = 65534;
// What a planted block or file holds; a block still holding exactly this was
// neither written nor grown.
inline constexpr const char* kPlantedText = "planted";

enum class Planted { OtherOwner, OpenToAll, GroupReadable, Link };
inline constexpr Planted kEveryPlanting[] = {Planted::OtherOwner, Planted::OpenToAll,
                                             Planted::GroupReadable, Planted::Link};

// Giving an object away needs root; the other plantings work for anyone.
inline bool canGiveAway() {
  return geteuid() == 0;
}

// The words of the refusal that each planting must bring.
inline const char* refusalReason(Planted how) {
  switch (how) {
    case Planted::OtherOwner:
      return "uid 65534";
    case Planted::OpenToAll:
      return "0666";
    case Planted::GroupReadable:
      return "0640";
    case Planted::Link:
      return "シンボリックリンク";
  }
  return "";
}

inline bool giveMode(int fd, Planted how) {
  switch (how) {
    case Planted::OtherOwner:
      return fchown(fd, kOtherUid, kOtherUid) == 0;
    case Planted::OpenToAll:
      return fchmod(fd, 0666) == 0;
    case Planted::GroupReadable:
      return fchmod(fd, 0640) == 0;
    case Planted::Link:
      return true;
  }
  return false;
}

inline std::string shmFile(const std::string& shmPath) {
  return "/dev/shm" + shmPath;
}

// A shm object under shmPath ("/movra...") holding kPlantedText; for Link, a link
// there to a private block of ours beside it.
inline bool plantBlock(const std::string& shmPath, Planted how) {
  const std::string name = how == Planted::Link ? shmPath + ".target" : shmPath;
  const int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return false;
  const size_t length = std::char_traits<char>::length(kPlantedText);
  bool ok = write(fd, kPlantedText, length) == static_cast<ssize_t>(length) && giveMode(fd, how);
  close(fd);
  if (how == Planted::Link)
    ok = ok && symlink(shmFile(name).c_str(), shmFile(shmPath).c_str()) == 0;
  return ok;
}

inline void removePlantedBlock(const std::string& shmPath) {
  unlink(shmFile(shmPath).c_str());
  unlink(shmFile(shmPath + ".target").c_str());
}

// What a file (or the block, through a link) holds now; "<gone>" when it is not there.
inline std::string contentOf(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return "<gone>";
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A folder at path as another account could leave it; for Link, a link to a
// private folder of ours beside it.
inline bool plantFolder(const std::string& path, Planted how) {
  const std::string folder = how == Planted::Link ? path + ".target" : path;
  if (mkdir(folder.c_str(), 0700) != 0) return false;
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return false;
  bool ok = true;
  switch (how) {
    case Planted::OtherOwner:
      ok = fchown(fd, kOtherUid, kOtherUid) == 0;
      break;
    case Planted::OpenToAll:
      ok = fchmod(fd, 0777) == 0;
      break;
    case Planted::GroupReadable:
      ok = fchmod(fd, 0750) == 0;
      break;
    case Planted::Link:
      ok = symlink(folder.c_str(), path.c_str()) == 0;
      break;
  }
  close(fd);
  return ok;
}

// The refusal words for a planted folder.
inline const char* folderRefusalReason(Planted how) {
  switch (how) {
    case Planted::OtherOwner:
      return "uid 65534";
    case Planted::OpenToAll:
      return "0777";
    case Planted::GroupReadable:
      return "0750";
    case Planted::Link:
      return "シンボリックリンク";
  }
  return "";
}

}  // namespace movra::testing
