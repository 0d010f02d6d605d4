#include "addin/AttachmentsCaption.h"

#include <gtest/gtest.h>

#include "addin/HostVersion.h"
#include "support/NumberText.h"
#include "tests/TestPlatform.h"

namespace dwl {
namespace {

// One decimal, rounded half away from zero, never grouped, and a point
// whatever the user's decimal separator (tests/sim/compose shows a caption).
TEST(AttachmentsCaptionTest, SizesInMegabytesWithOneDecimalPoint) {
  testing::TestPlatform platform;
  for (const auto& [decimal, thousands] : {std::pair{".", ","}, std::pair{",", "."}}) {
    platform.numberFormat = sim::FixedNumberFormat(decimal, thousands, 3);
    EXPECT_EQ(AttachmentsCaption(1, 262144), " Dropwell: 1 files, 0.3 MB");
    EXPECT_EQ(AttachmentsCaption(1, 1234.5 * 1048576), " Dropwell: 1 files, 1234.5 MB");
  }
}

TEST(NumberTextTest, GroupsDigitsOnlyWhenAsked) {
  testing::TestPlatform platform;
  EXPECT_EQ(FormatNumber(1234567.25, 1, true), "1,234,567.3");
  EXPECT_EQ(FormatNumber(1234567.25, 1, false), "1234567.3");
  EXPECT_EQ(FormatNumber(999.96, 1, true), "1,000.0");
  EXPECT_EQ(FormatNumber(-1234.5, 0, true), "-1,235");
  platform.numberFormat = sim::FixedNumberFormat(",", ".", 3);
  EXPECT_EQ(FormatNumber(1047946854.0 / 1048576, 1, true), "999,4");
  platform.numberFormat = sim::FixedNumberFormat(",", ".", 3, false);
  EXPECT_EQ(FormatNumber(0.25, 1, true), ",3");
  EXPECT_EQ(FormatNumber(0.25, 0, true), "0");
}

// tests/sim/version9, version10 and the others run hosts of each version.
TEST(HostVersionTest, AVersionThatDoesNotStartWithADigitIsAnError) {
  EXPECT_THROW(HostMajorVersion(""), Error);
  EXPECT_THROW(HostMajorVersion("x1"), Error);
}

}  // namespace
}  // namespace dwl
