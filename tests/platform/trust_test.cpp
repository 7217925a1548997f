// What another account may leave for us in the shared places, made for real as
// root can make it (objects given away with fchown), with open modes and with
// links: shared-memory blocks, the runtime folder, the title registry and the
// editor's socket. Each must be refused by name and reason, and left untouched.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/editor_link.h"
#include "platform/instance_registry.h"
#include "platform/private_objects.h"
#include "platform/shared_memory.h"
#include "support/foreign_objects.h"

namespace movra::platform {
namespace {

using testing::Planted;

std::string nameOf(Planted how) {
  switch (how) {
    case Planted::OtherOwner:
      return "other-owner";
    case Planted::OpenToAll:
      return "open-to-all";
    case Planted::GroupReadable:
      return "group-readable";
    case Planted::Link:
      return "link";
  }
  return "";
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class PlatformTrustTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("MOVRA_SHM_TAG", ("trust-" + std::to_string(getpid())).c_str(), 1);
    // A runtime folder of this test alone; the machine's own stays out of it.
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR")) savedRuntime = runtime;
    base = ::testing::TempDir() + "trust_" + std::to_string(getpid());
    std::filesystem::remove_all(base);
    ASSERT_EQ(mkdir(base.c_str(), 0700), 0);
    setenv("XDG_RUNTIME_DIR", base.c_str(), 1);
  }
  void TearDown() override {
    std::filesystem::remove_all(base);
    if (savedRuntime.empty()) {
      unsetenv("XDG_RUNTIME_DIR");
    } else {
      setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1);
    }
  }
  bool skipUnlessPlantable(Planted how) {
    return how == Planted::OtherOwner && !testing::canGiveAway();
  }

  std::string base;
  std::string savedRuntime;
};

TEST_F(PlatformTrustTest, BlocksFoundAlreadyThereAreUsedOnlyWhenOursAlone) {
  for (const Planted how : testing::kEveryPlanting) {
    if (skipUnlessPlantable(how)) continue;
    const std::string name = "planted-" + nameOf(how);
    const std::string path = sharedBlockPath(name.c_str());
    ASSERT_TRUE(testing::plantBlock(path, how)) << name;

    // The simulator's side: refused, by name and reason, before anything touched it.
    SharedBlock block;
    EXPECT_FALSE(openSharedBlock(name.c_str(), 4096, block)) << name;
    EXPECT_EQ(block.fd, -1);
    EXPECT_TRUE(contains(block.refusal, path)) << block.refusal;
    EXPECT_TRUE(contains(block.refusal, testing::refusalReason(how))) << block.refusal;
    EXPECT_EQ(testing::contentOf(testing::shmFile(path)), testing::kPlantedText)
        << name << ": neither written nor grown";

    // The editor's side: not used, and not removed either when the editor is done.
    {
      OwnedSharedBlock owned(name.c_str(), 4096);
      EXPECT_FALSE(owned.ok()) << name;
      EXPECT_EQ(owned.refusal(), block.refusal);
    }
    struct stat still {};
    EXPECT_EQ(lstat(testing::shmFile(path).c_str(), &still), 0) << name << " was removed";
    EXPECT_EQ(testing::contentOf(testing::shmFile(path)), testing::kPlantedText) << name;

    // An exclusive create never takes the name over.
    SharedBlock fresh;
    EXPECT_FALSE(createSharedBlock(name.c_str(), 4096, fresh));
    EXPECT_EQ(errno, EEXIST);
    testing::removePlantedBlock(path);
  }

  // A private block of ours, left by a crashed run, is used (and grown) as before.
  const std::string path = sharedBlockPath("ours");
  const int fd = shm_open(path.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  ASSERT_GE(fd, 0);
  close(fd);
  SharedBlock block;
  ASSERT_TRUE(openSharedBlock("ours", 4096, block)) << block.refusal;
  EXPECT_TRUE(block.refusal.empty());
  EXPECT_FALSE(block.created);
  EXPECT_EQ(static_cast<long>(std::filesystem::file_size(testing::shmFile(path))), 4096L);
  closeSharedBlock(block);
  EXPECT_TRUE(removeSharedBlock("ours"));
}

TEST_F(PlatformTrustTest, RuntimeFolderAndRegistryAreUsedOnlyWhenPrivateFoldersOfOurs) {
  const std::string folder = base + "/movra";
  for (const Planted how : testing::kEveryPlanting) {
    if (skipUnlessPlantable(how)) continue;
    ASSERT_TRUE(testing::plantFolder(folder, how)) << nameOf(how);
    const std::string why = runtimeDirectoryDistrust();
    EXPECT_TRUE(contains(why, "フォルダ " + folder + " を使わない")) << why;
    EXPECT_TRUE(contains(why, testing::folderRefusalReason(how))) << why;

    // Neither the registry nor the editor's mailbox goes into it.
    const TitleRegistry registry;
    EXPECT_EQ(registry.distrust(), why);
    EXPECT_FALSE(registry.write(getpid(), "x     _on-cal_"));
    EXPECT_FALSE(registry.lock().held());
    EXPECT_TRUE(registry.liveEntries().empty());
    EditorMailbox mailbox;
    EXPECT_FALSE(mailbox.ok());
    EXPECT_EQ(mailbox.refusal(), why);
    EXPECT_FALSE(sendToEditor(mailbox.id(), 1000, "model text"));
    EXPECT_TRUE(std::filesystem::is_empty(how == Planted::Link ? folder + ".target" : folder))
        << nameOf(how) << ": something was put into it";
    std::filesystem::remove_all(folder);
    std::filesystem::remove_all(folder + ".target");
  }

  // Not a folder at all.
  { std::ofstream(folder) << "x"; }
  EXPECT_TRUE(contains(runtimeDirectoryDistrust(), "フォルダではない"));
  std::filesystem::remove(folder);

  // Missing: made private, and the registry's folder inside it too.
  const TitleRegistry registry;
  EXPECT_EQ(registry.distrust(), "");
  for (const std::string& made : {folder, registry.directory()}) {
    struct stat info {};
    ASSERT_EQ(lstat(made.c_str(), &info), 0) << made;
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 077, 0u) << made;
  }
  // A registry folder of someone else inside our own runtime folder is refused too.
  std::filesystem::remove(registry.directory());
  ASSERT_TRUE(testing::plantFolder(registry.directory(), Planted::OpenToAll));
  EXPECT_TRUE(contains(registry.distrust(), registry.directory())) << registry.distrust();
  EXPECT_FALSE(registry.write(getpid(), "x     _on-cal_"));
}

TEST_F(PlatformTrustTest, TitlesInEntriesOfOthersAreNotRead) {
  const TitleRegistry registry;
  ASSERT_EQ(registry.distrust(), "");
  // Entries under this process's own id, so that they count as live.
  for (const Planted how : testing::kEveryPlanting) {
    if (skipUnlessPlantable(how)) continue;
    const std::string entry = registry.entryPath(getpid());
    const std::string target = how == Planted::Link ? base + "/title-target" : entry;
    {
      const int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
      ASSERT_GE(fd, 0);
      ASSERT_EQ(write(fd, "x     _on-cal_", 14), 14);
      ASSERT_TRUE(testing::giveMode(fd, how));
      close(fd);
    }
    if (how == Planted::Link) {
      ASSERT_EQ(symlink(target.c_str(), entry.c_str()), 0);
    }
    EXPECT_TRUE(registry.liveEntries().empty()) << nameOf(how);
    EXPECT_EQ(registry.countMarkers().calculating, 0) << nameOf(how);
    // Our own title replaces it, as a fresh private file.
    ASSERT_TRUE(registry.write(getpid(), "y     _movra_"));
    ASSERT_EQ(registry.liveEntries().size(), 1u);
    EXPECT_EQ(registry.countMarkers().ended, 1);
    struct stat info {};
    ASSERT_EQ(lstat(entry.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_uid, geteuid());
    EXPECT_EQ(info.st_mode & 077, 0u);
    EXPECT_EQ(testing::contentOf(target), how == Planted::Link ? "x     _on-cal_" : "y     _movra_")
        << "the title was written through the link";
    registry.remove(getpid());
    unlink(target.c_str());
  }
}

// A socket bound at path with the given mode and owner; -1 when it cannot be made.
int bindSocket(const std::string& path, mode_t mode, uid_t owner) {
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      chmod(path.c_str(), mode) != 0 || chown(path.c_str(), owner, owner) != 0) {
    if (fd >= 0) close(fd);
    return -1;
  }
  return fd;
}

TEST_F(PlatformTrustTest, EditorSocketIsPrivateAndReportsGoOnlyToOurOwn) {
  const std::string folder = runtimeDirectory();
  ASSERT_EQ(runtimeDirectoryDistrust(), "");
  {
    EditorMailbox mailbox;
    ASSERT_TRUE(mailbox.ok()) << mailbox.refusal();
    struct stat info {};
    ASSERT_EQ(lstat((folder + "/editor-" + mailbox.id() + ".sock").c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 077, 0u) << "others may reach the editor's socket";
    EXPECT_TRUE(sendToEditor(mailbox.id(), 1000, "ours"));
    EXPECT_EQ(mailbox.takeMessages().size(), 1u);
  }

  // Sockets the simulator must not talk to: open to all, or someone else's.
  struct Case {
    mode_t mode;
    bool otherOwner;
  };
  for (const Case c : {Case{0777, false}, Case{0600, true}}) {
    if (c.otherOwner && !testing::canGiveAway()) continue;
    const std::string path = folder + "/editor-424242.sock";
    const int listener = bindSocket(path, c.mode, c.otherOwner ? testing::kOtherUid : geteuid());
    ASSERT_GE(listener, 0);
    EXPECT_FALSE(sendToEditor("424242", 1012, "model error")) << c.mode;
    char buffer[16];
    EXPECT_LT(recv(listener, buffer, sizeof buffer, 0), 0) << "a report reached a socket of others";
    close(listener);
    unlink(path.c_str());
  }

  // Another account's socket under the editor's own name: the editor does not
  // start, and the socket stays.
  if (testing::canGiveAway()) {
    const std::string path = folder + "/editor-" + std::to_string(getpid()) + ".sock";
    const int planted = bindSocket(path, 0600, testing::kOtherUid);
    ASSERT_GE(planted, 0);
    EditorMailbox mailbox;
    EXPECT_FALSE(mailbox.ok());
    EXPECT_TRUE(contains(mailbox.refusal(), path)) << mailbox.refusal();
    EXPECT_TRUE(contains(mailbox.refusal(), "uid 65534")) << mailbox.refusal();
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0);
    close(planted);
  }
}

}  // namespace
}  // namespace movra::platform
