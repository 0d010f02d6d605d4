// Pictures as the clipboard's CF_DIB holds them (a packed DIB: the bitmap's
// header, colour table and pixels in one block) and as picture files.
// Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

#include "platform/Clipboard.h"

namespace dwl::win32 {

// The DIB of a picture file: a BMP file's own bytes after its file header
// when they form a packed DIB, so that BmpFileFromDib gives the file back
// whole; any other picture (GIF, JPEG, a BMP laid out otherwise) decoded
// into a 32-bit bottom-up DIB. Fails when the picture cannot be decoded.
std::string DibFromPicture(const Picture& picture);

// A BMP file of a packed DIB, with its width and height. Fails when `dib`
// is not one whole DIB.
Picture BmpFileFromDib(std::string_view dib);

// Where the pixels of a packed DIB begin. Fails when `dib` is not one whole
// DIB.
std::size_t DibBitsOffset(std::string_view dib);

}  // namespace dwl::win32
