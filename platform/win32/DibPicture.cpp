#include "platform/win32/DibPicture.h"

#include <windows.h>

#include <stb/stb_image.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>

#include "platform/Error.h"

namespace dwl::win32 {
namespace {

constexpr long kInvalidPicture = 481;
constexpr std::size_t kFileHeaderSize = sizeof(BITMAPFILEHEADER);
static_assert(kFileHeaderSize == 14, "a BMP file header is packed");
constexpr DWORD kAlphaBitfields = 6;  // BI_ALPHABITFIELDS, missing from older headers

template <class T>
T ReadAt(std::string_view bytes, std::size_t offset) {
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

// Where the pixels of a packed DIB begin, when `dib` holds its header, its
// colours and, unless compressed, all of its rows.
std::optional<std::uint64_t> BitsOffset(std::string_view dib) {
  if (dib.size() < sizeof(BITMAPINFOHEADER)) return std::nullopt;
  const auto header = ReadAt<BITMAPINFOHEADER>(dib, 0);
  if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biSize > dib.size()) return std::nullopt;
  if (header.biWidth <= 0 || header.biHeight == 0 || header.biHeight == INT_MIN) return std::nullopt;
  std::uint64_t offset = header.biSize;
  // Only the oldest header keeps its colour masks outside itself.
  if (header.biSize == sizeof(BITMAPINFOHEADER)) {
    if (header.biCompression == BI_BITFIELDS) offset += 3 * sizeof(DWORD);
    if (header.biCompression == kAlphaBitfields) offset += 4 * sizeof(DWORD);
  }
  std::uint64_t colors = header.biClrUsed;
  if (colors == 0 && header.biBitCount >= 1 && header.biBitCount <= 8) colors = std::uint64_t{1} << header.biBitCount;
  offset += colors * sizeof(RGBQUAD);
  if (offset > dib.size()) return std::nullopt;
  const std::uint64_t room = dib.size() - offset;
  const bool uncompressed = header.biCompression == BI_RGB || header.biCompression == BI_BITFIELDS ||
                            header.biCompression == kAlphaBitfields;
  if (!uncompressed) {
    if (header.biSizeImage > room) return std::nullopt;
    return offset;
  }
  const std::uint64_t stride = (std::uint64_t{static_cast<DWORD>(header.biWidth)} * header.biBitCount + 31) / 32 * 4;
  const std::uint64_t rows = header.biHeight < 0 ? -std::int64_t{header.biHeight} : header.biHeight;
  if (stride == 0 || rows > room / stride) return std::nullopt;
  return offset;
}

Error InvalidPicture(const std::string& source, const std::string& why) {
  return Error(kInvalidPicture, source, "Invalid picture (" + why + ")");
}

std::string DecodedDib(const Picture& picture) {
  if (picture.bytes.size() > INT_MAX) throw InvalidPicture("Clipboard.SetBitmap", "too large");
  int width = 0;
  int height = 0;
  int channels = 0;
  const std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
      stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(picture.bytes.data()),
                            static_cast<int>(picture.bytes.size()), &width, &height, &channels, 4),
      stbi_image_free);
  if (!pixels) throw InvalidPicture("Clipboard.SetBitmap", stbi_failure_reason());
  const std::size_t stride = static_cast<std::size_t>(width) * 4;
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;  // positive: bottom-up
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(stride * height);
  std::string dib(sizeof header + header.biSizeImage, '\0');
  std::memcpy(dib.data(), &header, sizeof header);
  char* out = dib.data() + sizeof header;
  for (int row = height - 1; row >= 0; --row) {
    const stbi_uc* in = pixels.get() + stride * row;
    for (int x = 0; x < width; ++x, in += 4) {
      // stb gives RGBA; a DIB's pixels are BGRA.
      *out++ = static_cast<char>(in[2]);
      *out++ = static_cast<char>(in[1]);
      *out++ = static_cast<char>(in[0]);
      *out++ = static_cast<char>(in[3]);
    }
  }
  return dib;
}

}  // namespace

std::string DibFromPicture(const Picture& picture) {
  const std::string_view file = picture.bytes;
  if (file.size() > kFileHeaderSize && file.starts_with("BM")) {
    const auto fileHeader = ReadAt<BITMAPFILEHEADER>(file, 0);
    const std::string_view dib = file.substr(kFileHeaderSize);
    // The pixels must sit where a packed DIB's reader looks for them.
    const auto bits = BitsOffset(dib);
    if (bits && fileHeader.bfOffBits == kFileHeaderSize + *bits) return std::string(dib);
  }
  return DecodedDib(picture);
}

std::size_t DibBitsOffset(std::string_view dib) {
  const auto bits = BitsOffset(dib);
  if (!bits) throw InvalidPicture("DibBitsOffset", "not a whole DIB");
  return static_cast<std::size_t>(*bits);
}

Picture BmpFileFromDib(std::string_view dib) {
  const auto bits = BitsOffset(dib);
  if (!bits) throw InvalidPicture("Clipboard.GetPicture", "not a whole DIB");
  if (dib.size() > UINT32_MAX - kFileHeaderSize) throw InvalidPicture("Clipboard.GetPicture", "too large");
  const auto header = ReadAt<BITMAPINFOHEADER>(dib, 0);
  BITMAPFILEHEADER fileHeader{};
  fileHeader.bfType = 0x4D42;  // "BM"
  fileHeader.bfSize = static_cast<DWORD>(kFileHeaderSize + dib.size());
  fileHeader.bfOffBits = static_cast<DWORD>(kFileHeaderSize + *bits);
  Picture picture;
  picture.bytes.resize(kFileHeaderSize);
  std::memcpy(picture.bytes.data(), &fileHeader, kFileHeaderSize);
  picture.bytes.append(dib);
  picture.width = header.biWidth;
  picture.height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  return picture;
}

}  // namespace dwl::win32
