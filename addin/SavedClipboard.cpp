#include "addin/SavedClipboard.h"

namespace dwl {

SavedClipboard::SavedClipboard(Clipboard& clipboard, TolerantRun& run) : clipboard_(clipboard), run_(run) {
  run_.Run([this] {
    text_ = clipboard_.GetText();
    if (text_.empty()) picture_ = clipboard_.GetPicture();
  });
}

SavedClipboard::~SavedClipboard() {
  run_.Run([this] {
    if (!text_.empty()) {
      clipboard_.SetText(text_);
    } else if (picture_) {
      clipboard_.SetBitmap(*picture_);
    }
  });
}

}  // namespace dwl
