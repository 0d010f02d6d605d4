#include "platform/portable/WindowsFolderWatch.h"

#include <windows.h>

#include <asio/windows/overlapped_ptr.hpp>
#include <asio/windows/stream_handle.hpp>

#include <array>
#include <climits>

namespace dwl::portable {

namespace {

// Locally rather than platform/win32/WideText: dwl_win32 links this library.
std::wstring Wide(const std::string& utf8) {
  if (utf8.empty() || utf8.size() > INT_MAX) return {};
  const int length = static_cast<int>(utf8.size());
  const int count = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(count), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), count);
  return wide;
}

}  // namespace

struct WindowsFolderWatch::State {
  State(asio::io_context& loop, std::function<void()> handler)
      : context(loop), folder(loop), onChange(std::move(handler)) {}
  asio::io_context& context;
  // Only ties the handle to the completion port and closes it.
  asio::windows::stream_handle folder;
  // What changed does not matter, but the system needs somewhere to say it
  // (DWORD-aligned).
  std::array<DWORD, 1024> changes{};
  std::function<void()> onChange;
  bool stopped = false;
};

std::unique_ptr<FolderWatch> WindowsFolderWatch::Watch(asio::io_context& context, const std::string& folder,
                                                       std::function<void()> onChange) {
  const std::wstring path = Wide(folder);
  if (path.empty()) return nullptr;
  // Sharing everything: the add-in writes, renames and the agent deletes
  // files in the folder while it is watched.
  const HANDLE handle = CreateFileW(path.c_str(), FILE_LIST_DIRECTORY,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  auto state = std::make_shared<State>(context, std::move(onChange));
  asio::error_code failed;
  state->folder.assign(handle, failed);
  if (failed) {
    CloseHandle(handle);
    return nullptr;
  }
  // A folder whose file system gives no change notices (some network
  // shares) fails here, not later.
  if (!Arm(state, true)) return nullptr;  // the state's handle closes itself
  return std::unique_ptr<FolderWatch>(new WindowsFolderWatch(std::move(state)));
}

WindowsFolderWatch::~WindowsFolderWatch() {
  state_->stopped = true;
  // The pending read ends (aborted) and its handler, which holds the state
  // and so the buffer, does nothing.
  asio::error_code ignored;
  state_->folder.cancel(ignored);
  state_->folder.close(ignored);
}

bool WindowsFolderWatch::Arm(const std::shared_ptr<State>& state, bool first) {
  asio::windows::overlapped_ptr read(state->context, [state](const asio::error_code& failed, std::size_t) {
    if (state->stopped) return;
    // 0 bytes (more changes than the buffer held) is a change as well, and so
    // is a failure: the owner looks for itself once.
    state->onChange();
    if (state->stopped) return;
    if (failed && failed.value() != ERROR_NOTIFY_ENUM_DIR) {
      state->stopped = true;  // a folder removed, a re-arm refused: watch no more
      return;
    }
    Arm(state, false);
  });
  // A queue file is written beside and renamed in (a name change), or copied
  // in (made, then written).
  const DWORD filter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;
  if (ReadDirectoryChangesW(state->folder.native_handle(), state->changes.data(),
                            static_cast<DWORD>(state->changes.size() * sizeof(DWORD)), FALSE, filter, nullptr,
                            read.get(), nullptr)) {
    read.release();  // the completion port has it now
    return true;
  }
  const DWORD error = GetLastError();
  // The first read's failure is Watch's nullptr: read's handler goes unrun.
  if (!first) read.complete(asio::error_code(static_cast<int>(error), asio::error::get_system_category()), 0);
  return false;
}

}  // namespace dwl::portable
