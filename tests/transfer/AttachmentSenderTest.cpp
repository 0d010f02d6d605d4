#include "transfer/AttachmentSender.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/TestPlatform.h"

namespace dwl {
namespace {

// A file cut short while it is sent fails the upload; it would otherwise
// arrive cut and count as whole.
TEST(AttachmentSenderTest, AFileThatGetsShorterWhileItIsSentIsAnError) {
  testing::TestPlatform platform;
  const std::string path = platform.Path("shrinks.bin");
  testing::WriteBytes(path, std::string(3 * AttachmentSender::kBlockSize, 'x'));
  std::string sent;
  AttachmentSender sender([&](std::string bytes) { sent += bytes; });
  ASSERT_EQ(sender.Open(path), 3 * AttachmentSender::kBlockSize);
  EXPECT_FALSE(sender.SendNext());
  std::filesystem::resize_file(testing::Native(path), AttachmentSender::kBlockSize + 10);
  const std::size_t before = sent.size();
  EXPECT_TRUE(testing::ThrowsError(errc::kInputPastEndOfFile, [&] { sender.SendNext(); }));
  EXPECT_EQ(sent.size(), before) << "nothing more goes out";

  testing::WriteBytes(path, std::string(AttachmentSender::kBlockSize + 1, 'y'));
  ASSERT_EQ(sender.Open(path), AttachmentSender::kBlockSize + 1);
  EXPECT_FALSE(sender.SendNext());
  testing::WriteBytes(path, std::string(2 * AttachmentSender::kBlockSize, 'y'));  // grew: no error
  EXPECT_TRUE(sender.SendNext());
}

}  // namespace
}  // namespace dwl
