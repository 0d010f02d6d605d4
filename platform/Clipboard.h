// The system clipboard and picture files, as the toolbar button's icon needs
// them.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace dwl {

// A picture as the system holds it: the core passes it along and needs only
// its size.
struct Picture {
  std::string bytes;
  int width = 0;   // pixels
  int height = 0;
  bool operator==(const Picture&) const = default;
};

// Everything the clipboard held at one moment, in every format, as the
// clipboard that saved it keeps it; only that clipboard can put it back.
class ClipboardContent {
 public:
  virtual ~ClipboardContent() = default;
};

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // "" when the clipboard holds no text.
  virtual std::string GetText() = 0;
  // The picture on the clipboard, if there is one.
  virtual std::optional<Picture> GetPicture() = 0;
  // Replaces the clipboard's content with a bitmap.
  virtual void SetBitmap(const Picture& picture) = 0;
  virtual void SetText(const std::string& text) = 0;
  virtual void Clear() = 0;
  // The whole content, for Restore once the clipboard was borrowed.
  virtual std::unique_ptr<ClipboardContent> Save() = 0;
  // Replaces the clipboard's content with `content`, which Save of this
  // clipboard made.
  virtual void Restore(const ClipboardContent& content) = 0;
};

class PictureFiles {
 public:
  virtual ~PictureFiles() = default;
  // Reads a BMP, GIF or JPEG file. Fails when the file is missing or holds no
  // picture.
  virtual Picture LoadPicture(const std::string& path) = 0;
};

}  // namespace dwl
