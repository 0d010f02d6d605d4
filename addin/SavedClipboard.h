// The user's clipboard, kept while the add-in borrows the clipboard (the
// toolbar button takes its icon from it): the text, or the picture when there
// is no text, is put back when the keeper goes, however the borrowing ends.
// Saving and restoring are tolerant steps of the caller's run.
#pragma once

#include <optional>
#include <string>

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
  std::string text_;
  std::optional<Picture> picture_;
};

}  // namespace dwl
