#include "addin/SavedClipboard.h"

namespace dwl {

SavedClipboard::SavedClipboard(Clipboard& clipboard, TolerantRun& run) : clipboard_(clipboard), run_(run) {
  run_.Run([this] { content_ = clipboard_.Save(); });
}

SavedClipboard::~SavedClipboard() {
  // Saving failed: there is nothing to put back.
  if (!content_) return;
  run_.Run([this] { clipboard_.Restore(*content_); });
}

}  // namespace dwl
