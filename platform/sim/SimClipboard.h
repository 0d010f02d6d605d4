// The simulated clipboard: text or one picture, as the toolbar's icon needs;
// its saved content is a copy of both.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/Clipboard.h"

namespace dwl::sim {

class SimClipboard : public Clipboard {
 public:
  std::string GetText() override { return text_; }
  std::optional<Picture> GetPicture() override { return picture_; }
  void SetBitmap(const Picture& picture) override;
  void SetText(const std::string& text) override;
  void Clear() override;
  std::unique_ptr<ClipboardContent> Save() override;
  void Restore(const ClipboardContent& content) override;

 private:
  std::string text_;
  std::optional<Picture> picture_;
};

}  // namespace dwl::sim
