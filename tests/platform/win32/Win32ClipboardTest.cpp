#include "tests/TestPlatform.h"

#include "platform/win32/Win32Clipboard.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/platform/win32/CaughtError.h"

namespace dwl::win32 {
namespace {

using Formats = std::vector<std::pair<UINT, std::string>>;

std::string Bytes(std::wstring_view wide) {
  return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
}

// Fills the clipboard as another program would, format by format.
void PutAsAnotherProgram(const Formats& formats) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  for (const auto& [format, bytes] : formats) {
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(memory), bytes.data(), bytes.size());
    GlobalUnlock(memory);
    EXPECT_NE(SetClipboardData(format, memory), nullptr) << format;
  }
  CloseClipboard();
}

// The bytes of one format as another program reads them.
std::optional<std::string> ReadAsAnotherProgram(UINT format) {
  if (!OpenClipboard(nullptr)) return "(clipboard not open)";
  std::optional<std::string> bytes;
  if (const HANDLE data = GetClipboardData(format)) {
    const char* start = static_cast<const char*>(GlobalLock(data));
    bytes = std::string(start, GlobalSize(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return bytes;
}

int FormatCount() {
  if (!OpenClipboard(nullptr)) return -1;
  const int count = CountClipboardFormats();
  CloseClipboard();
  return count;
}

Picture Icon() {
  const std::string bytes = testing::ReadBytes(std::string(DWL_RESOURCES_DIR) + "/add_file_icon.bmp");
  return Picture{bytes, 16, 16};
}

TEST(Win32ClipboardTest, TextTravelsAsUnicodeAndReplacesThePicture) {
  Win32Clipboard clipboard;
  clipboard.SetBitmap(Icon());
  const std::string text = "Gr\xC3\xBC\xC3\x9F" "e \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x93\x8E";  // Grüße 日本 📎
  clipboard.SetText(text);
  EXPECT_EQ(clipboard.GetText(), text);
  EXPECT_EQ(clipboard.GetPicture(), std::nullopt);
  EXPECT_EQ(ReadAsAnotherProgram(CF_UNICODETEXT), Bytes(L"Gr\u00FC\u00DFe \u65E5\u672C \U0001F4CE") + Bytes({L"", 1}));

  // Another program's block may be longer than its text.
  PutAsAnotherProgram({{CF_UNICODETEXT, Bytes(L"short") + std::string(2, '\0') + Bytes(L"junk")}});
  EXPECT_EQ(clipboard.GetText(), "short");
  clipboard.Clear();
  EXPECT_EQ(clipboard.GetText(), "");
  EXPECT_EQ(FormatCount(), 0);
}

TEST(Win32ClipboardTest, ABmpFileComesBackByteForByte) {
  Win32Clipboard clipboard;
  clipboard.SetText("before");
  const Picture icon = Icon();
  clipboard.SetBitmap(icon);
  EXPECT_EQ(clipboard.GetText(), "") << "the bitmap replaced the text";
  EXPECT_EQ(ReadAsAnotherProgram(CF_DIB), icon.bytes.substr(14));
  EXPECT_EQ(clipboard.GetPicture(), icon);

  PutAsAnotherProgram({{CF_DIB, icon.bytes.substr(14, 40 + 100)}});
  EXPECT_TRUE(testing::ThrowsError(481, [&] { clipboard.GetPicture(); })) << "rows missing";
  EXPECT_TRUE(testing::ThrowsError(481, [&] { clipboard.SetBitmap({"GIF89a", 1, 1}); }));
  EXPECT_EQ(ReadAsAnotherProgram(CF_DIB), icon.bytes.substr(14, 40 + 100)) << "a refused picture changes nothing";
}

TEST(Win32ClipboardTest, ASavedContentComesBackInEveryFormat) {
  const UINT html = RegisterClipboardFormatW(L"HTML Format");
  std::string drop(sizeof(DROPFILES), '\0');
  DROPFILES header{};
  header.pFiles = sizeof(DROPFILES);
  header.fWide = TRUE;
  std::memcpy(drop.data(), &header, sizeof header);
  drop += Bytes(L"C:\\mail\\a.txt") + Bytes({L"", 1}) + Bytes(L"C:\\mail\\Zo\u00EB.doc") + Bytes({L"\0\0", 2});
  const Formats user = {
      {CF_UNICODETEXT, Bytes(L"copied \u00FC") + Bytes({L"", 1})},
      {html, "Version:0.9\r\nStartHTML:0000000000\r\n<b>copied \xC3\xBC</b>"},
      {CF_HDROP, drop},
  };
  PutAsAnotherProgram(user);

  Win32Clipboard clipboard;
  const auto saved = clipboard.Save();
  clipboard.SetBitmap(Icon());
  EXPECT_EQ(ReadAsAnotherProgram(html), std::nullopt);
  clipboard.Clear();
  clipboard.Restore(*saved);
  for (const auto& [format, bytes] : user) {
    EXPECT_EQ(ReadAsAnotherProgram(format), bytes) << format;
  }
  const auto ansi = ReadAsAnotherProgram(CF_TEXT).value_or("(none)");
  EXPECT_EQ(ansi.substr(0, ansi.find('\0')), "copied \xFC") << "Windows makes the ANSI text again";
  EXPECT_EQ(clipboard.GetPicture(), std::nullopt);

  clipboard.Restore(*saved);
  EXPECT_EQ(ReadAsAnotherProgram(CF_HDROP), drop) << "a content can be put back more than once";
}

TEST(Win32ClipboardTest, AMetafileIsKeptByItsBits) {
  const HDC drawing = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(drawing, nullptr);
  Rectangle(drawing, 1, 2, 30, 40);
  const HENHMETAFILE metafile = CloseEnhMetaFile(drawing);
  std::string bits(GetEnhMetaFileBits(metafile, 0, nullptr), '\0');
  GetEnhMetaFileBits(metafile, static_cast<UINT>(bits.size()), reinterpret_cast<BYTE*>(bits.data()));
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  ASSERT_NE(SetClipboardData(CF_ENHMETAFILE, metafile), nullptr);
  CloseClipboard();

  Win32Clipboard clipboard;
  const auto saved = clipboard.Save();
  clipboard.Clear();
  clipboard.Restore(*saved);
  ASSERT_TRUE(OpenClipboard(nullptr));
  const auto restored = static_cast<HENHMETAFILE>(GetClipboardData(CF_ENHMETAFILE));
  std::string restoredBits(restored ? GetEnhMetaFileBits(restored, 0, nullptr) : 0, '\0');
  if (restored) {
    GetEnhMetaFileBits(restored, static_cast<UINT>(restoredBits.size()),
                       reinterpret_cast<BYTE*>(restoredBits.data()));
  }
  CloseClipboard();
  EXPECT_EQ(restoredBits, bits);
}

// Holds the clipboard from a thread and window of its own, as another
// program would, until `Release` or for `moment` when that is given.
class ClipboardHolder {
 public:
  explicit ClipboardHolder(DWORD moment = INFINITE)
      : thread_([this, moment] {
          const HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
          const bool opened = window != nullptr && OpenClipboard(window);
          held_ = opened ? 1 : -1;
          if (moment == INFINITE) {
            while (!release_) Sleep(5);
          } else {
            Sleep(moment);
          }
          if (opened) CloseClipboard();
          if (window != nullptr) DestroyWindow(window);
        }) {
    while (held_ == 0) Sleep(1);
  }
  ~ClipboardHolder() { Release(); }
  bool Holds() const { return held_ == 1; }
  void Release() {
    release_ = true;
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::atomic<int> held_ = 0;  // 1 open, -1 could not open
  std::atomic<bool> release_ = false;
  std::thread thread_;
};

TEST(Win32ClipboardTest, ABusyClipboardIsWaitedForBrieflyThenRefused) {
  Win32Clipboard clipboard;
  clipboard.SetText("before");
  {
    ClipboardHolder holder;
    ASSERT_TRUE(holder.Holds());
    const Error refused = testing::CaughtError([&] { clipboard.SetText("while busy"); });
    EXPECT_EQ(refused.Source(), "Clipboard.SetText");
    EXPECT_FALSE(refused.Description().empty());
  }
  EXPECT_EQ(clipboard.GetText(), "before");

  ClipboardHolder moment(30);
  ASSERT_TRUE(moment.Holds());
  clipboard.SetText("after");
  moment.Release();
  EXPECT_EQ(clipboard.GetText(), "after");
}

}  // namespace
}  // namespace dwl::win32
