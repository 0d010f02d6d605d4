#include "apps/dwl/server/AttachmentReceiver.h"

#include <gtest/gtest.h>

namespace dwl::server {
namespace {

const std::string kZeroBlock(1024, '\0');

// Feeds `parts` one read each; the file bytes made certain.
std::string Feed(AttachmentReceiver& receiver, const std::vector<std::string>& parts) {
  std::string file;
  for (const std::string& part : parts) file += receiver.Take(part);
  return file;
}

TEST(AttachmentReceiverTest, SkipsTheZeroBlockAndHoldsBackTheMarker) {
  AttachmentReceiver receiver;
  EXPECT_EQ(Feed(receiver, {kZeroBlock + "hello" + "FINA\r\n"}), "hello");
  EXPECT_TRUE(receiver.HoldsEndMarker());
}

TEST(AttachmentReceiverTest, TheZeroBlockAndTheMarkerMayBeSplitAnywhere) {
  AttachmentReceiver receiver;
  EXPECT_EQ(Feed(receiver, {kZeroBlock.substr(0, 1000), kZeroBlock.substr(1000) + "ab", "cFI", "NA\r", "\n"}),
            "abc");
  EXPECT_TRUE(receiver.HoldsEndMarker());
}

TEST(AttachmentReceiverTest, MarkerBytesInsideTheFileAreFileBytesOnceMoreComes) {
  AttachmentReceiver receiver;
  const std::string piece = std::string(1454, 'x') + "FINA\r\n";  // a piece that ends like the marker
  EXPECT_EQ(Feed(receiver, {kZeroBlock + piece}), std::string(1454, 'x'));
  EXPECT_TRUE(receiver.HoldsEndMarker()) << "only silence can tell";
  EXPECT_EQ(Feed(receiver, {"tail", "FINA\r\n"}), "FINA\r\ntail");
  EXPECT_TRUE(receiver.HoldsEndMarker());
}

TEST(AttachmentReceiverTest, AnEmptyFileIsTheZeroBlockAndTheMarker) {
  AttachmentReceiver receiver;
  EXPECT_EQ(Feed(receiver, {kZeroBlock, "FINA\r\n"}), "");
  EXPECT_TRUE(receiver.HoldsEndMarker());
}

TEST(AttachmentReceiverTest, AMarkerInsideTheZeroBlockDoesNotCount) {
  AttachmentReceiver receiver;
  EXPECT_EQ(Feed(receiver, {std::string(1018, '\0') + "FINA\r\n"}), "");
  EXPECT_FALSE(receiver.HoldsEndMarker());
}

}  // namespace
}  // namespace dwl::server
