#include "platform/win32/DibPicture.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "platform/Error.h"
#include "platform/portable/PortablePictureFiles.h"
#include "tests/TestPlatform.h"

namespace dwl::win32 {
namespace {

constexpr long kInvalidPicture = 481;

void Put(std::string& bytes, std::uint32_t value, int size) {
  for (int i = 0; i < size; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint32_t Get(const std::string& bytes, std::size_t offset, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes.at(offset + i));
  return value;
}

// A BITMAPINFOHEADER followed by `tail` zero bytes.
std::string Dib(std::int32_t width, std::int32_t height, int bits, std::uint32_t compression = 0,
                std::uint32_t colorsUsed = 0, std::size_t tail = 0) {
  std::string dib;
  Put(dib, 40, 4);
  Put(dib, static_cast<std::uint32_t>(width), 4);
  Put(dib, static_cast<std::uint32_t>(height), 4);
  Put(dib, 1, 2);
  Put(dib, bits, 2);
  Put(dib, compression, 4);
  Put(dib, 0, 4);  // size of the image: may be 0 when uncompressed
  Put(dib, 0, 8);  // resolution
  Put(dib, colorsUsed, 4);
  Put(dib, 0, 4);
  return dib + std::string(tail, '\0');
}

TEST(DibPictureTest, BmpFilesGetTheOffsetOfTheirPixels) {
  // Pixels follow the header, the masks outside it and the colour table.
  const struct {
    std::string dib;
    std::uint32_t offBits;
  } cases[] = {
      {Dib(8, 1, 1, 0, 0, 8 + 4), 14 + 40 + 2 * 4},
      {Dib(1, 1, 8, 0, 3, 3 * 4 + 4), 14 + 40 + 3 * 4},
      {Dib(1, -2, 16, 3, 0, 12 + 8), 14 + 40 + 12},
      {Dib(2, 1, 32, 0, 0, 8), 14 + 40},
  };
  for (const auto& [dib, offBits] : cases) {
    const Picture file = BmpFileFromDib(dib);
    EXPECT_EQ(file.bytes.substr(0, 2), "BM");
    EXPECT_EQ(Get(file.bytes, 2, 4), 14 + dib.size());
    EXPECT_EQ(Get(file.bytes, 10, 4), offBits);
    EXPECT_EQ(file.bytes.substr(14), dib);
  }
  EXPECT_EQ(BmpFileFromDib(Dib(1, -2, 16, 3, 0, 12 + 8)).height, 2) << "a top-down DIB is as high";
}

TEST(DibPictureTest, NoWholeDibIsRefusedWithoutReadingPastIt) {
  const std::string cases[] = {
      "",
      Dib(1, 1, 32).substr(0, 39),
      Dib(1, 1, 32, 0, 0, 3),         // one pixel short
      Dib(8, 1, 1, 0, 0, 8 + 3),      // the row after the colours short
      Dib(1, 1, 32, 0, 0xFFFFFFFF, 4),  // more colours than bytes
      Dib(1, 1, 16, 3, 0, 11),        // the masks cut
      Dib(0, 1, 32, 0, 0, 4),
      Dib(-1, 1, 32, 0, 0, 4),
      Dib(1, 0, 32, 0, 0, 4),
      Dib(1, INT_MIN, 32, 0, 0, 4),
      Dib(0x7FFFFFFF, 0x7FFFFFFF, 32, 0, 0, 4),
  };
  for (const std::string& dib : cases) {
    SCOPED_TRACE(dib.size());
    EXPECT_TRUE(testing::ThrowsError(kInvalidPicture, [&] { BmpFileFromDib(dib); }));
  }
  std::string header = Dib(1, 1, 32, 0, 0, 4);
  header[0] = 41;  // a header longer than the block
  EXPECT_TRUE(testing::ThrowsError(kInvalidPicture, [&] { BmpFileFromDib(header.substr(0, 40)); }));
}

TEST(DibPictureTest, OtherPicturesAreDecodedIntoABottomUpDibOf32Bits) {
  // A 2x2 BMP of the oldest kind (its header has 12 bytes, which no CF_DIB
  // reader takes), bottom row first: red green over blue white.
  std::string file = "BM";
  Put(file, 14 + 12 + 16, 4);
  Put(file, 0, 4);
  Put(file, 14 + 12, 4);
  Put(file, 12, 4);
  Put(file, 2, 2);
  Put(file, 2, 2);
  Put(file, 1, 2);
  Put(file, 24, 2);
  file += std::string("\xFF\x00\x00\xFF\xFF\xFF", 6) + std::string(2, '\0');
  file += std::string("\x00\x00\xFF\x00\xFF\x00", 6) + std::string(2, '\0');
  const std::string dib = DibFromPicture({file, 2, 2});
  ASSERT_EQ(dib.size(), 40u + 16u);
  EXPECT_EQ(Get(dib, 4, 4), 2u);
  EXPECT_EQ(Get(dib, 8, 4), 2u) << "bottom-up";
  EXPECT_EQ(Get(dib, 14, 2), 32u);
  EXPECT_EQ(dib.substr(40), std::string("\xFF\x00\x00\xFF\xFF\xFF\xFF\xFF"   // blue white
                                        "\x00\x00\xFF\xFF\x00\xFF\x00\xFF",  // red green
                                        16));
  EXPECT_EQ(BmpFileFromDib(dib).width, 2);

  const Picture gif =
      portable::PortablePictureFiles().LoadPicture(std::string(DWL_RESOURCES_DIR) + "/recources/dialog_banner.gif");
  const Picture banner = BmpFileFromDib(DibFromPicture(gif));
  EXPECT_EQ(banner.width, gif.width);
  EXPECT_EQ(banner.height, gif.height);
  EXPECT_EQ(banner.bytes.size(), 14 + 40 + 4u * gif.width * gif.height);
  EXPECT_TRUE(testing::ThrowsError(kInvalidPicture, [&] { DibFromPicture({"not a picture", 1, 1}); }));
}

}  // namespace
}  // namespace dwl::win32
