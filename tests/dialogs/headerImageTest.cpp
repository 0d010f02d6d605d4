#include "dialogs/headerImage.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "dialogs/FilesWindowLayout.h"
#include "support/AppSettings.h"
#include "tests/addin/SimHost.h"

namespace dwl {
namespace {

class HeaderImageTest : public ::testing::Test {
 protected:
  void SetUp() override { AppSettings::Instance()->RefreshSettings(); }
  ImageControl Placed() {
    ImageControl control{files_layout::kHeaderOverlay, std::nullopt};
    EXPECT_NO_THROW(headerImage().PlaceHeaderImage(control));
    return control;
  }
  testing::SimHost host;
};

// The default banner as placed shows in tests/sim/dialog.
TEST_F(HeaderImageTest, AResellerBannerWinsAndSitsLowerUnlessItCannotBeRead) {
  EXPECT_FALSE(Placed().Picture.has_value()) << "no banner at all leaves the overlay empty";
  std::filesystem::create_directories(host.platform.Module() + "/recources");
  std::filesystem::copy_file(std::string(DWL_RESOURCES_DIR) + "/recources/dialog_banner.gif",
                             host.platform.Module() + "/recources/dialog_banner.gif");
  const std::string reseller = AppSettings::Instance()->getResellerHeaderLocation();
  testing::WriteBytes(reseller, "not a picture");
  ImageControl control = Placed();
  ASSERT_TRUE(control.Picture.has_value());
  EXPECT_EQ(control.Rect.top, 0) << "the default";
  // Any picture does: the 16 x 16 icon.
  std::filesystem::copy_file(std::string(DWL_RESOURCES_DIR) + "/add_file_icon.bmp", reseller,
                             std::filesystem::copy_options::overwrite_existing);
  control = Placed();
  ASSERT_TRUE(control.Picture.has_value());
  EXPECT_EQ(control.Rect.width, 16 * kTwipsPerPixel) << "the reseller's picture";
  EXPECT_GT(control.Rect.top, 0);
}

}  // namespace
}  // namespace dwl
