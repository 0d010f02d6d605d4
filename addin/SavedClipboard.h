// The user's clipboard, kept while the add-in borrows the clipboard (the
// toolbar button takes its icon from it): its whole content, every format,
// is put back when the keeper goes, however the borrowing ends.
// Saving and restoring are tolerant steps of the caller's run.
#pragma once

#include <memory>

#include "platform/Clipboard.h"
#include "support/TolerantRun.h"

namespace dwl {

class SavedClipboard {
 public:
  SavedClipboard(Clipboard& clipboard, TolerantRun& run);
  ~SavedClipboard();
  SavedClipboard(const SavedClipboard&) = delete;
  SavedClipboard& operator=(const SavedClipboard&) = delete;

 private:
  Clipboard& clipboard_;
  TolerantRun& run_;
  std::unique_ptr<ClipboardContent> content_;  // null when saving failed
};

}  // namespace dwl
