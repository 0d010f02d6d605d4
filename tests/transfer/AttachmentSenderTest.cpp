#include "transfer/AttachmentSender.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/TestPlatform.h"
#include "transfer/TransferProtocol.h"

namespace dwl {
namespace {

// A file cut short while it is sent fails the upload; it would otherwise
// arrive cut and count as whole.
TEST(AttachmentSenderTest, AFileThatGetsShorterWhileItIsSentIsAnError) {
  testing::TestPlatform platform;
  const std::string path = platform.Path("shrinks.bin");
  testing::WriteBytes(path, std::string(3 * protocol::kPieceSize, 'x'));
  std::string sent;
  AttachmentSender sender([&](std::string bytes) { sent += bytes; });
  ASSERT_EQ(sender.Open(path), 3 * protocol::kPieceSize);
  EXPECT_FALSE(sender.SendNext());
  std::filesystem::resize_file(testing::Native(path), protocol::kPieceSize + 10);
  const std::size_t before = sent.size();
  EXPECT_TRUE(testing::ThrowsError(errc::kInputPastEndOfFile, [&] { sender.SendNext(); }));
  EXPECT_EQ(sent.size(), before) << "nothing more goes out";

  testing::WriteBytes(path, std::string(protocol::kPieceSize + 1, 'y'));
  ASSERT_EQ(sender.Open(path), protocol::kPieceSize + 1);
  EXPECT_FALSE(sender.SendNext());
  testing::WriteBytes(path, std::string(2 * protocol::kPieceSize, 'y'));  // grew: no error
  EXPECT_TRUE(sender.SendNext());
}

}  // namespace
}  // namespace dwl
