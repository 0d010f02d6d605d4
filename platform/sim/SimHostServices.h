// The services a simulated Outlook adds to a platform: clipboard, picture
// files, the safe mail item, the per-user store and the open dialog.
#pragma once

#include "platform/Platform.h"
#include "platform/sim/SimClipboard.h"
#include "platform/sim/SimFileDialogs.h"
#include "platform/sim/SimObjectFactory.h"
#include "platform/sim/SimPictureFiles.h"
#include "platform/sim/SimSettingsStore.h"

namespace dwl::sim {

struct SimHostServices {
  SimClipboard clipboard;
  SimPictureFiles pictures;
  SimObjectFactory objects;
  SimSettingsStore settingsStore;
  SimFileDialogs fileDialogs;

  // `base` with these services in place of its own.
  Platform Over(Platform base) {
    base.clipboard = &clipboard;
    base.pictures = &pictures;
    base.objects = &objects;
    base.settingsStore = &settingsStore;
    base.fileDialogs = &fileDialogs;
    return base;
  }
};

}  // namespace dwl::sim
