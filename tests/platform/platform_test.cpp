// The platform stand-ins with the real system services: POSIX shared memory
// blocks that are missing or shorter than their readers expect, and the editor's
// datagram socket, which names each message's sender, when nobody listens any more.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>

#include "platform/editor_link.h"
#include "platform/shared_memory.h"

namespace movra::platform {
namespace {

class PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("MOVRA_SHM_TAG", ("platform-" + std::to_string(getpid())).c_str(), 1);
  }
};

TEST_F(PlatformTest, ShortBlockIsGrownAndReadsZerosPastWhatWasWritten) {
  const char* name = "short";
  const std::string path = sharedBlockPath(name);
  // Another program made the block, ten bytes long.
  const int fd = shm_open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 10), 0);
  ASSERT_EQ(write(fd, "0123456789", 10), 10);
  close(fd);

  constexpr std::size_t kWanted = 1 << 20;
  SharedBlock block;
  ASSERT_TRUE(openSharedBlock(name, kWanted, block));
  EXPECT_FALSE(block.created);
  ASSERT_TRUE(mapSharedBlock(block));
  const auto* bytes = static_cast<const unsigned char*>(block.data);
  EXPECT_EQ(std::memcmp(bytes, "0123456789", 10), 0);
  // Reading to the very end is safe and finds zeros, not another program's memory.
  int nonZero = 0;
  for (std::size_t i = 10; i < kWanted; ++i) nonZero += bytes[i] != 0 ? 1 : 0;
  EXPECT_EQ(nonZero, 0);
  EXPECT_TRUE(unmapSharedBlock(block));
  closeSharedBlock(block);
  EXPECT_TRUE(removeSharedBlock(name)) << "a block we did not make stays for its owner";
}

TEST_F(PlatformTest, MissingBlockIsMadeEmptyAndRemovedByItsMaker) {
  const char* name = "missing";
  SharedBlock block;
  ASSERT_TRUE(openSharedBlock(name, 4096, block));
  EXPECT_TRUE(block.created);
  ASSERT_TRUE(mapSharedBlock(block));
  EXPECT_EQ(static_cast<const unsigned char*>(block.data)[4095], 0);
  unmapSharedBlock(block);
  closeSharedBlock(block);
  EXPECT_FALSE(removeSharedBlock(name)) << "closed by its maker, the block is gone";
}

TEST_F(PlatformTest, MessagesReachTheEditorWhileItListensAndFailQuietlyAfter) {
  std::string id;
  {
    EditorMailbox mailbox;
    ASSERT_TRUE(mailbox.ok());
    id = mailbox.id();
    ASSERT_TRUE(sendToEditor(id, 1012, "R 13 0, 1k * zz"));
    const std::string longText(kEditorMessageBytes + 100, 'x');
    ASSERT_TRUE(sendToEditor(id, 2003, longText.c_str()));
    const auto messages = mailbox.takeMessages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].dataWord, 1012);
    EXPECT_EQ(messages[0].text, "R 13 0, 1k * zz");
    EXPECT_EQ(messages[0].sender, static_cast<long>(getpid())) << "the kernel names the sender";
    EXPECT_EQ(messages[1].dataWord, 2003);
    EXPECT_EQ(messages[1].text.size(), static_cast<std::size_t>(kEditorMessageBytes - 1))
        << "an overlong text is cut to the block, never sent past it";
    EXPECT_TRUE(mailbox.takeMessages().empty());
  }
  // An editor with several simulators tells their reports apart by the sender.
  {
    EditorMailbox mailbox;
    ASSERT_TRUE(mailbox.ok());
    const pid_t child = fork();
    if (child == 0) _exit(sendToEditor(mailbox.id(), 3, " 0 0 1 ") ? 0 : 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    const auto messages = mailbox.takeMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].sender, static_cast<long>(child));
  }
  // The editor has gone: the message is lost, and the sender learns it at once.
  EXPECT_FALSE(sendToEditor(id, 1000, "late"));
  for (const char* bogus : {"", "0", "abc", "../../etc/passwd", "99999999999999999999"}) {
    EXPECT_FALSE(sendToEditor(bogus, 1000, "nobody")) << bogus;
  }
}

}  // namespace
}  // namespace movra::platform
