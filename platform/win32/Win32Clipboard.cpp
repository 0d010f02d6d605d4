#include "platform/win32/Win32Clipboard.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/win32/DibPicture.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Error.h"

namespace dwl::win32 {
namespace {

// Another program holds the clipboard only while it copies or pastes: half a
// second in all before giving up.
constexpr int kOpenAttempts = 20;
constexpr DWORD kOpenPauseMs = 25;

// The clipboard, open while this lives. No window owns what we put there:
// nothing is rendered late, and a window would tie the clipboard to the
// thread that made it.
class OpenedClipboard {
 public:
  explicit OpenedClipboard(const char* source) {
    for (int attempt = 1; !OpenClipboard(nullptr); ++attempt) {
      if (attempt == kOpenAttempts) throw LastError(source);
      Sleep(kOpenPauseMs);
    }
  }
  ~OpenedClipboard() { CloseClipboard(); }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;

  void Empty(const char* source) {
    if (!EmptyClipboard()) throw LastError(source);
  }
};

// Data for one format until the clipboard takes it: global memory, or an
// enhanced metafile.
class PendingData {
 public:
  static PendingData Memory(std::string_view bytes, const char* source) {
    PendingData data(GlobalAlloc(GMEM_MOVEABLE, std::max<std::size_t>(bytes.size(), 1)), false);
    void* target = data.handle_ ? GlobalLock(data.handle_) : nullptr;
    if (target == nullptr) throw LastError(source);
    std::memcpy(target, bytes.data(), bytes.size());
    GlobalUnlock(data.handle_);
    return data;
  }
  static PendingData Metafile(std::string_view bits, const char* source) {
    PendingData data(SetEnhMetaFileBits(static_cast<UINT>(bits.size()), reinterpret_cast<const BYTE*>(bits.data())),
                     true);
    if (data.handle_ == nullptr) throw LastError(source);
    return data;
  }
  PendingData(PendingData&& other) noexcept
      : handle_(std::exchange(other.handle_, nullptr)), metafile_(other.metafile_) {}
  PendingData& operator=(PendingData&&) = delete;
  ~PendingData() {
    if (handle_ == nullptr) return;
    if (metafile_) {
      DeleteEnhMetaFile(static_cast<HENHMETAFILE>(handle_));
    } else {
      GlobalFree(handle_);
    }
  }

  // Puts the data on the open clipboard as `format`; it is the system's then.
  void Give(UINT format, const char* source) {
    if (SetClipboardData(format, handle_) == nullptr) throw LastError(source);
    handle_ = nullptr;
  }

 private:
  PendingData(HANDLE handle, bool metafile) : handle_(handle), metafile_(metafile) {}
  HANDLE handle_;
  bool metafile_;
};

// A copy of a global memory block; nullopt when `data` is none.
std::optional<std::string> GlobalBytes(HANDLE data) {
  const SIZE_T size = GlobalSize(data);
  const void* source = GlobalLock(data);
  if (source == nullptr) return std::nullopt;
  std::string bytes(static_cast<const char*>(source), size);
  GlobalUnlock(data);
  return bytes;
}

std::string MetafileBits(HANDLE data) {
  const auto metafile = static_cast<HENHMETAFILE>(data);
  std::string bits(GetEnhMetaFileBits(metafile, 0, nullptr), '\0');
  if (bits.empty() || GetEnhMetaFileBits(metafile, static_cast<UINT>(bits.size()),
                                         reinterpret_cast<BYTE*>(bits.data())) != bits.size()) {
    return {};
  }
  return bits;
}

bool IsMetafile(UINT format) { return format == CF_ENHMETAFILE || format == CF_DSPENHMETAFILE; }

// Whether Save keeps `format` of those `present`. Not kept:
// - formats Windows makes from another one present, which it makes again
//   after Restore;
// - formats whose data is a GDI object or holds one (CF_BITMAP,
//   CF_DSPBITMAP, CF_PALETTE, CF_METAFILEPICT, CF_DSPMETAFILEPICT, the
//   CF_GDIOBJ range) or is the owner's private handle (CF_PRIVATE range,
//   CF_OWNERDISPLAY): such a handle means nothing as bytes and dies with its
//   owner. The bitmaps come back through CF_DIB and the old metafiles through
//   CF_ENHMETAFILE, from which Windows makes them;
// - "DataObject", which names the window of the program whose OLE data object
//   was on the clipboard: put back after that program let go, it would send a
//   paste to an object that is gone.
bool Kept(UINT format, const std::vector<UINT>& present, UINT dataObject) {
  const auto has = [&](UINT other) { return std::find(present.begin(), present.end(), other) != present.end(); };
  switch (format) {
    case CF_TEXT:
    case CF_OEMTEXT:
    case CF_LOCALE:
      return !has(CF_UNICODETEXT);
    case CF_DIBV5:
      return !has(CF_DIB);
    case CF_BITMAP:
    case CF_DSPBITMAP:
    case CF_PALETTE:
    case CF_METAFILEPICT:
    case CF_DSPMETAFILEPICT:
    case CF_OWNERDISPLAY:
      return false;
  }
  return !(format >= CF_PRIVATEFIRST && format <= CF_GDIOBJLAST) && format != dataObject;
}

struct SavedFormat {
  UINT format;
  std::string bytes;  // the memory's, or the metafile's bits
};

class Win32ClipboardContent : public ClipboardContent {
 public:
  std::vector<SavedFormat> formats;
};

}  // namespace

std::string Win32Clipboard::GetText() {
  const OpenedClipboard clipboard("Clipboard.GetText");
  const HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (data == nullptr) return "";
  const auto bytes = GlobalBytes(data);
  if (!bytes) throw LastError("Clipboard.GetText");
  std::wstring text(bytes->size() / sizeof(wchar_t), L'\0');
  std::memcpy(text.data(), bytes->data(), text.size() * sizeof(wchar_t));
  // The block may be larger than the text it holds.
  return Utf8(std::wstring_view(text).substr(0, text.find(L'\0')));
}

std::optional<Picture> Win32Clipboard::GetPicture() {
  const OpenedClipboard clipboard("Clipboard.GetPicture");
  const HANDLE data = GetClipboardData(CF_DIB);
  if (data == nullptr) return std::nullopt;
  const auto bytes = GlobalBytes(data);
  if (!bytes) throw LastError("Clipboard.GetPicture");
  return BmpFileFromDib(*bytes);
}

void Win32Clipboard::SetBitmap(const Picture& picture) {
  // Made before the clipboard is opened, which is then held only briefly.
  PendingData dib = PendingData::Memory(DibFromPicture(picture), "Clipboard.SetBitmap");
  OpenedClipboard clipboard("Clipboard.SetBitmap");
  clipboard.Empty("Clipboard.SetBitmap");
  dib.Give(CF_DIB, "Clipboard.SetBitmap");
}

void Win32Clipboard::SetText(const std::string& text) {
  const std::wstring wide = Wide(text);
  PendingData data = PendingData::Memory(
      std::string_view(reinterpret_cast<const char*>(wide.c_str()), (wide.size() + 1) * sizeof(wchar_t)),
      "Clipboard.SetText");
  OpenedClipboard clipboard("Clipboard.SetText");
  clipboard.Empty("Clipboard.SetText");
  data.Give(CF_UNICODETEXT, "Clipboard.SetText");
}

void Win32Clipboard::Clear() {
  OpenedClipboard clipboard("Clipboard.Clear");
  clipboard.Empty("Clipboard.Clear");
}

std::unique_ptr<ClipboardContent> Win32Clipboard::Save() {
  const OpenedClipboard clipboard("Clipboard.Save");
  std::vector<UINT> present;
  for (UINT format = 0;;) {
    SetLastError(ERROR_SUCCESS);
    format = EnumClipboardFormats(format);
    if (format == 0) break;
    present.push_back(format);
  }
  if (GetLastError() != ERROR_SUCCESS) throw LastError("Clipboard.Save");
  const UINT dataObject = RegisterClipboardFormatW(L"DataObject");
  auto content = std::make_unique<Win32ClipboardContent>();
  for (const UINT format : present) {
    if (!Kept(format, present, dataObject)) continue;
    // No data: its owner could not render it, so there is nothing to keep.
    const HANDLE data = GetClipboardData(format);
    if (data == nullptr) continue;
    if (IsMetafile(format)) {
      std::string bits = MetafileBits(data);
      if (!bits.empty()) content->formats.push_back({format, std::move(bits)});
    } else if (auto bytes = GlobalBytes(data)) {
      content->formats.push_back({format, std::move(*bytes)});
    }
  }
  return content;
}

void Win32Clipboard::Restore(const ClipboardContent& content) {
  const auto* saved = dynamic_cast<const Win32ClipboardContent*>(&content);
  if (saved == nullptr) throw Error(errc::kInvalidCall, "Clipboard.Restore", "Content saved by another clipboard");
  // Made first: when memory runs out, the clipboard stays as it is.
  std::vector<std::pair<UINT, PendingData>> data;
  data.reserve(saved->formats.size());
  for (const SavedFormat& format : saved->formats) {
    data.emplace_back(format.format, IsMetafile(format.format)
                                         ? PendingData::Metafile(format.bytes, "Clipboard.Restore")
                                         : PendingData::Memory(format.bytes, "Clipboard.Restore"));
  }
  OpenedClipboard clipboard("Clipboard.Restore");
  clipboard.Empty("Clipboard.Restore");
  // Every format that can go back goes back; the first refusal is reported.
  std::optional<Error> refused;
  for (auto& [format, pending] : data) {
    try {
      pending.Give(format, "Clipboard.Restore");
    } catch (const Error& failure) {
      if (!refused) refused = failure;
    }
  }
  if (refused) throw *refused;
}

}  // namespace dwl::win32
