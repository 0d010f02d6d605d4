// Places the banner over the attachments window's built-in one: the
// reseller's banner when installed, else the default banner that ships with
// the add-in, centred at the window's middle.
#pragma once

#include "dialogs/WindowControls.h"

namespace dwl {

class headerImage {
 public:
  // Loads the banner into `control`, sizes the control to it and moves it.
  // Neither banner loading is no error: the control stays empty.
  void PlaceHeaderImage(ImageControl& control);
};

}  // namespace dwl
