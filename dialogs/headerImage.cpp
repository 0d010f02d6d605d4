#include "dialogs/headerImage.h"

#include "platform/Platform.h"
#include "support/AppSettings.h"

namespace dwl {

namespace {
// The reseller's banner sits lower, under the built-in frame line.
constexpr int kResellerOffset = 94;
constexpr int kCentreFromLeft = 2900;
}  // namespace

void headerImage::PlaceHeaderImage(ImageControl& control) {
  const Platform& platform = ThePlatform();
  std::optional<Picture> picture;
  int offset = 0;
  try {
    picture = platform.pictures->LoadPicture(AppSettings::Instance()->getResellerHeaderLocation());
    offset = kResellerOffset;
  } catch (const Error&) {
    const char sep = platform.files->Separator();
    try {
      picture = platform.pictures->LoadPicture(platform.shell->ModuleFolder() + sep + "recources" +
                                               sep + "dialog_banner.gif");
    } catch (const Error&) {
      // No banner at all: the window's own one shows.
    }
  }
  if (picture) {
    control.Rect.width = picture->width * kTwipsPerPixel;
    control.Rect.height = picture->height * kTwipsPerPixel;
    control.Picture = std::move(picture);
  }
  control.Rect.top += offset;
  control.Rect.left = control.Rect.left + kCentreFromLeft - control.Rect.width / 2;
}

}  // namespace dwl
