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
  void SetUp() override {
    AppSettings::Instance()->RefreshSettings();
    std::filesystem::create_directories(host.platform.Module() + "/recources");
  }
  void InstallDefault() {
    std::filesystem::copy_file(std::string(DWL_RESOURCES_DIR) + "/recources/dialog_banner.gif",
                               host.platform.Module() + "/recources/dialog_banner.gif");
  }
  void InstallReseller() {
    // Any picture does: the 16 x 16 icon.
    std::filesystem::copy_file(std::string(DWL_RESOURCES_DIR) + "/add_file_icon.bmp",
                               AppSettings::Instance()->getResellerHeaderLocation());
  }
  ImageControl Placed() {
    ImageControl control{files_layout::kHeaderOverlay, std::nullopt};
    headerImage().PlaceHeaderImage(control);
    return control;
  }
  testing::SimHost host;
};

TEST_F(HeaderImageTest, AResellerBannerWinsAndSitsLower) {
  InstallDefault();
  InstallReseller();
  const ImageControl control = Placed();
  ASSERT_TRUE(control.Picture.has_value());
  EXPECT_EQ(control.Rect.width, 16 * kTwipsPerPixel) << "the reseller's picture";
  EXPECT_GT(control.Rect.top, 0);
}

TEST_F(HeaderImageTest, AnUnreadableResellerBannerFallsBackToTheDefault) {
  InstallDefault();
  testing::WriteBytes(AppSettings::Instance()->getResellerHeaderLocation(), "not a picture");
  const ImageControl control = Placed();
  ASSERT_TRUE(control.Picture.has_value());
  EXPECT_EQ(control.Rect.top, 0);
  EXPECT_EQ(control.Rect.width, 6000);
}

TEST_F(HeaderImageTest, NoBannerAtAllLeavesTheOverlayEmpty) {
  ImageControl control;
  EXPECT_NO_THROW(control = Placed());
  EXPECT_FALSE(control.Picture.has_value());
}

}  // namespace
}  // namespace dwl
