#include "platform/win32/PictureBitmap.h"

#include <cstdlib>
#include <string>

#include "platform/win32/DibPicture.h"
#include "platform/win32/Win32Error.h"

namespace dwl::win32 {
namespace {

constexpr const char* kSource = "PictureBitmap";

// A memory device context, deleted with the scope.
struct MemoryDc {
  MemoryDc() : dc(CreateCompatibleDC(nullptr)) {
    if (!dc) throw LastError(kSource);
  }
  ~MemoryDc() { DeleteDC(dc); }
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  HDC dc;
};

}  // namespace

PictureBitmap::PictureBitmap(const Picture& picture) {
  // Any DIB the file gives (a palette, a BMP's own layout) is converted into
  // one 32-bit top-down section, which every device context draws alike.
  const std::string dib = DibFromPicture(picture);
  const auto* source = reinterpret_cast<const BITMAPINFO*>(dib.data());
  width_ = source->bmiHeader.biWidth;
  height_ = std::abs(source->bmiHeader.biHeight);
  BITMAPINFO section{};
  section.bmiHeader.biSize = sizeof section.bmiHeader;
  section.bmiHeader.biWidth = width_;
  section.bmiHeader.biHeight = -height_;
  section.bmiHeader.biPlanes = 1;
  section.bmiHeader.biBitCount = 32;
  section.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  bitmap_.reset(CreateDIBSection(nullptr, &section, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap_) throw LastError(kSource);
  const MemoryDc memory;
  if (SetDIBits(memory.dc, bitmap_.get(), 0, static_cast<UINT>(height_), dib.data() + DibBitsOffset(dib), source,
                DIB_RGB_COLORS) == 0) {
    throw LastError(kSource);
  }
}

void PictureBitmap::Draw(HDC target, const RECT& where) const {
  const MemoryDc memory;
  const HGDIOBJ previous = SelectObject(memory.dc, bitmap_.get());
  SetStretchBltMode(target, HALFTONE);
  StretchBlt(target, where.left, where.top, where.right - where.left, where.bottom - where.top, memory.dc, 0, 0,
             width_, height_, SRCCOPY);
  SelectObject(memory.dc, previous);
}

}  // namespace dwl::win32
