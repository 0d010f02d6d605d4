#include "platform/win32/Win32FileDialogs.h"

#include <windows.h>
#include <cderr.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <utility>

#include "platform/Error.h"
#include "platform/win32/WideText.h"

namespace dwl::win32 {
namespace {

constexpr DWORD kOpenFlags = OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_CREATEPROMPT | OFN_EXPLORER |
                             OFN_NODEREFERENCELINKS | OFN_LONGNAMES;
static_assert(kOpenFlags == 0x382204);

// Room the dialog may need beyond the folder and the typed names: a name
// typed with a folder of its own, the separators and the closing NULs.
constexpr std::size_t kSpareLength = MAX_PATH;

// One dialog on this thread: its record and buffer, and what the window hook
// and the dialog's watcher need while the dialog is up.
class OpenDialog {
 public:
  OpenDialog(const OpenFileRequest& request, std::size_t bufferLength)
      : filter_(Wide(request.filter)), title_(Wide(request.title)), folder_(Wide(request.initialDirectory)),
        owner_(GetActiveWindow()), centreOnOwner_(request.centreOnOwner && owner_ != nullptr) {
    record_.lStructSize = sizeof(record_);
    record_.hwndOwner = owner_;
    // The pairs end with one more NUL: the string's own terminator.
    record_.lpstrFilter = filter_.empty() ? nullptr : filter_.c_str();
    record_.nFilterIndex = 1;
    record_.lpstrTitle = title_.empty() ? nullptr : title_.c_str();
    record_.lpstrInitialDir = folder_.empty() ? nullptr : folder_.c_str();
    record_.Flags = kOpenFlags;
    Grow(bufferLength);
  }
  OpenDialog(const OpenDialog&) = delete;
  OpenDialog& operator=(const OpenDialog&) = delete;

  // Shows the dialog once; false when it was cancelled or failed.
  bool Show() {
    outer_ = std::exchange(current_, this);
    // Without the hook the dialog still works, only where the system puts it.
    hook_ = SetWindowsHookExW(WH_CBT, &OpenDialog::OnWindowEvent, nullptr, GetCurrentThreadId());
    const BOOL chosen = GetOpenFileNameW(&record_);
    if (hook_ != nullptr) UnhookWindowsHookEx(std::exchange(hook_, nullptr));
    current_ = outer_;
    return chosen != FALSE;
  }

  // After a too-small buffer: the length the dialog asked for (its first
  // character holds it), and at least twice the old one.
  void GrowAsAsked() {
    const std::size_t asked = static_cast<WORD>(buffer_[0]);
    Grow(std::max(asked, buffer_.size() * 2));
  }

  // The chosen file or files in the interface's format, in UTF-8.
  std::string Chosen() const {
    const std::wstring_view text(buffer_);
    const std::size_t offset = record_.nFileOffset;
    const bool several = offset > 0 && offset <= text.size() && text[offset - 1] == L'\0';
    // Several: the folder, the names, and the empty name that closes the list.
    const std::wstring_view end = several ? std::wstring_view(L"\0\0", 2) : std::wstring_view(L"\0", 1);
    const std::size_t at = text.find(end);
    return Utf8(at == std::wstring_view::npos ? text : text.substr(0, at + end.size()));
  }

 private:
  void Grow(std::size_t length) {
    if (length > MAXDWORD) throw Error(errc::kOutOfMemory, "FileDialogs.ShowOpen", "the selection is too long");
    buffer_.assign(length, L'\0');
    record_.lpstrFile = buffer_.data();
    record_.nMaxFile = static_cast<DWORD>(length);
  }

  // The first window activated is the dialog's own: placed once, then
  // watched, and the hook goes.
  static LRESULT CALLBACK OnWindowEvent(int code, WPARAM wParam, LPARAM lParam) {
    OpenDialog* dialog = current_;
    const auto window = reinterpret_cast<HWND>(wParam);
    const bool first = code == HCBT_ACTIVATE && dialog != nullptr && dialog->hook_ != nullptr &&
                       window != dialog->owner_;
    if (first) {
      dialog->Place(window);
      dialog->Watch(window);
    }
    const LRESULT next = CallNextHookEx(nullptr, code, wParam, lParam);
    if (first) UnhookWindowsHookEx(std::exchange(dialog->hook_, nullptr));
    return next;
  }

  void Place(HWND window) const {
    RECT own{};
    GetWindowRect(window, &own);
    RECT around{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (centreOnOwner_) GetWindowRect(owner_, &around);
    const int x = around.left + ((around.right - around.left) - (own.right - own.left)) / 2;
    const int y = around.top + ((around.bottom - around.top) - (own.bottom - own.top)) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  void Watch(HWND window) {
    window_ = window;
    dialogProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&OpenDialog::WatchDialog)));
  }

  // Some dialogs write a selection longer than the buffer past its end
  // instead of failing, so the buffer grows to the typed names before they
  // are taken.
  static LRESULT CALLBACK WatchDialog(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    OpenDialog* dialog = current_;
    while (dialog != nullptr && dialog->window_ != window) dialog = dialog->outer_;
    if (dialog == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    const WNDPROC dialogProc = dialog->dialogProc_;
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
      try {
        dialog->MakeRoomForTheSelection();
      } catch (...) {
        // Nothing may unwind through the dialog's own frames; it keeps the buffer it has.
      }
    }
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(dialogProc));
      dialog->window_ = nullptr;
    }
    return CallWindowProcW(dialogProc, window, message, wParam, lParam);
  }

  void MakeRoomForTheSelection() {
    // Both lengths count their NUL; a dialog that cannot tell answers below 1.
    const LRESULT folder = SendMessageW(window_, CDM_GETFOLDERPATH, 0, 0);
    const LRESULT names = SendMessageW(window_, CDM_GETSPEC, 0, 0);
    if (folder < 1 || names < 1) return;
    const std::size_t needed = static_cast<std::size_t>(folder + names) + kSpareLength;
    if (needed > buffer_.size()) Grow(needed);
  }

  static thread_local OpenDialog* current_;

  std::wstring filter_;
  std::wstring title_;
  std::wstring folder_;
  HWND owner_;
  bool centreOnOwner_;
  std::wstring buffer_;
  OPENFILENAMEW record_{};
  HHOOK hook_ = nullptr;
  HWND window_ = nullptr;
  WNDPROC dialogProc_ = nullptr;
  OpenDialog* outer_ = nullptr;
};

thread_local OpenDialog* OpenDialog::current_ = nullptr;

// The dialog makes the chosen folder the process's current directory, and
// this process is the host's: its relative paths, and a folder that could not
// be deleted while current, stay as they were. (OFN_NOCHANGEDIR does not
// hold for the open dialog.)
class KeptCurrentDirectory {
 public:
  KeptCurrentDirectory() {
    const DWORD length = GetCurrentDirectoryW(0, nullptr);
    if (length == 0) return;
    folder_.resize(length);
    folder_.resize(GetCurrentDirectoryW(length, folder_.data()));
  }
  ~KeptCurrentDirectory() {
    if (!folder_.empty()) SetCurrentDirectoryW(folder_.c_str());
  }
  KeptCurrentDirectory(const KeptCurrentDirectory&) = delete;
  KeptCurrentDirectory& operator=(const KeptCurrentDirectory&) = delete;

 private:
  std::wstring folder_;
};

Error DialogFailure(DWORD code) {
  char number[16];
  std::snprintf(number, sizeof(number), "0x%04lX", static_cast<unsigned long>(code));
  return Error(static_cast<long>(code), "FileDialogs.ShowOpen",
               std::string("the file-open dialog failed with common dialog error ") + number);
}

}  // namespace

Win32FileDialogs::Win32FileDialogs(std::size_t firstBufferLength)
    : firstBufferLength_(std::max<std::size_t>(firstBufferLength, 2)) {}

std::optional<std::string> Win32FileDialogs::ShowOpen(const OpenFileRequest& request) {
  const KeptCurrentDirectory kept;
  OpenDialog dialog(request, firstBufferLength_);
  while (!dialog.Show()) {
    const DWORD failure = CommDlgExtendedError();
    if (failure == 0) return std::nullopt;
    if (failure != FNERR_BUFFERTOOSMALL) throw DialogFailure(failure);
    // The selection went with the dialog: the user chooses again in one
    // whose buffer holds it.
    dialog.GrowAsAsked();
  }
  return dialog.Chosen();
}

}  // namespace dwl::win32
