// A picture decoded once into a DIB section, to be drawn as often as a window
// repaints. Owns its bitmap; move-only. Any thread, one at a time.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

#include "platform/Clipboard.h"

namespace dwl::win32 {

class PictureBitmap {
 public:
  // Decodes `picture`'s file bytes. Fails when they hold no picture the
  // decoder reads, or the system refuses the bitmap.
  explicit PictureBitmap(const Picture& picture);

  int Width() const { return width_; }
  int Height() const { return height_; }
  HBITMAP Handle() const { return bitmap_.get(); }

  // Draws the whole picture stretched over `where` (a rectangle of `target`).
  void Draw(HDC target, const RECT& where) const;

 private:
  struct Deleter {
    void operator()(HBITMAP bitmap) const { DeleteObject(bitmap); }
  };

  std::unique_ptr<std::remove_pointer_t<HBITMAP>, Deleter> bitmap_;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace dwl::win32
