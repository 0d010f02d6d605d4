// The Windows clipboard: text as CF_UNICODETEXT, pictures as CF_DIB, and the
// whole content, every format that can outlive its owner, for putting back.
// Each call opens the clipboard and closes it again; when another program
// holds it, the call waits a moment for it. The calls of one program must
// not overlap (the host's user-interface thread makes them all).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/Clipboard.h"

namespace dwl::win32 {

class Win32Clipboard : public Clipboard {
 public:
  std::string GetText() override;
  // A BMP file of the clipboard's DIB.
  std::optional<Picture> GetPicture() override;
  // A BMP file goes as its DIB, so GetPicture gives back the same bytes;
  // other pictures are decoded (platform/win32/DibPicture.h).
  void SetBitmap(const Picture& picture) override;
  void SetText(const std::string& text) override;
  void Clear() override;
  std::unique_ptr<ClipboardContent> Save() override;
  void Restore(const ClipboardContent& content) override;
};

}  // namespace dwl::win32
