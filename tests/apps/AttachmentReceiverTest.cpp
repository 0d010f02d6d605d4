#include "apps/dwl/server/AttachmentReceiver.h"

#include <gtest/gtest.h>

namespace dwl::server {
namespace {

const std::string kZeroBlock(1024, '\0');

// Reads arrive in any pieces: the zero block before the file is skipped,
// and the end marker is held back until more comes (then it was file
// bytes) or nothing does (then the file ended).
TEST(AttachmentReceiverTest, SkipsTheZeroBlockAndHoldsBackTheMarker) {
  struct Case {
    std::vector<std::string> reads;
    std::string file;  // the bytes made certain
    bool endMarker;
  };
  const std::string piece = std::string(1454, 'x') + "FINA\r\n";  // a piece that ends like the marker
  const Case cases[] = {
      {{kZeroBlock + "hello" + "FINA\r\n"}, "hello", true},
      {{kZeroBlock.substr(0, 1000), kZeroBlock.substr(1000) + "ab", "cFI", "NA\r", "\n"}, "abc", true},
      {{kZeroBlock + piece}, std::string(1454, 'x'), true},
      {{kZeroBlock + piece, "tail", "FINA\r\n"}, piece + "tail", true},
      {{kZeroBlock, "FINA\r\n"}, "", true},
      {{std::string(1018, '\0') + "FINA\r\n"}, "", false},  // a marker inside the zero block
  };
  for (const Case& c : cases) {
    AttachmentReceiver receiver;
    std::string file;
    for (const std::string& read : c.reads) {
      const AttachmentReceiver::Certain certain = receiver.Take(read);
      file.append(certain.released).append(certain.read);
    }
    EXPECT_EQ(file, c.file) << c.reads.size() << " reads";
    EXPECT_EQ(receiver.HoldsEndMarker(), c.endMarker) << c.reads.size() << " reads";
  }
}

}  // namespace
}  // namespace dwl::server
