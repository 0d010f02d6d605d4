#include "platform/win32/Win32TransferAgentControl.h"

#include <windows.h>

#include <sddl.h>

#include <future>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/win32/WideText.h"
#include "platform/win32/Win32Error.h"

namespace dwl::win32 {
namespace {

constexpr const char* kMarkSource = "TransferAgentControl.TryAcquireMark";
constexpr wchar_t kWindowClass[] = L"DropwellTransferAgentMark";
constexpr wchar_t kWindowTitle[] = L"TransferAgent";
// Posted to the mark's thread to end it.
constexpr UINT kEndMark = WM_APP;

std::string WithoutTrailingSeparators(std::string folder) {
  while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder;
}

std::string AgentPath(const std::string& moduleFolder) {
  return WithoutTrailingSeparators(moduleFolder) + "\\TransferAgent.exe";
}

LRESULT CALLBACK MarkWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // The window goes with the mark, not when another program asks it to close.
  if (message == WM_CLOSE) return 0;
  return DefWindowProcW(window, message, wParam, lParam);
}

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&kWindowClass), &module);
  return module;
}

enum class Outcome { kHeld, kBusy, kFailed };

struct MarkStart {
  Outcome outcome = Outcome::kFailed;
  DWORD error = 0;
  DWORD threadId = 0;
};

// The mark's thread: takes the mutex, makes the window, tells the caller,
// then answers the window's messages until kEndMark comes and gives both up.
// Owning the mutex on this thread makes a second mark of the same process
// fail as one of another process does (a mutex is recursive per thread).
void HoldMark(const std::wstring& mutexName, std::promise<MarkStart> started) {
  MarkStart start;
  HANDLE mutex = CreateMutexW(nullptr, FALSE, mutexName.c_str());
  if (mutex == nullptr) {
    start.error = GetLastError();
    // An agent started elevated holds a mutex we may not open.
    start.outcome = start.error == ERROR_ACCESS_DENIED ? Outcome::kBusy : Outcome::kFailed;
    started.set_value(start);
    return;
  }
  // An abandoned mutex was left by an agent that died: it is ours now.
  const DWORD waited = WaitForSingleObject(mutex, 0);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    start.error = GetLastError();
    start.outcome = waited == WAIT_TIMEOUT ? Outcome::kBusy : Outcome::kFailed;
    CloseHandle(mutex);
    started.set_value(start);
    return;
  }

  const HMODULE module = ThisModule();
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = MarkWindowProc;
  windowClass.hInstance = module;
  windowClass.lpszClassName = kWindowClass;
  const bool registered = RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  // Top-level (not message-only, which no one finds) and never shown.
  HWND window = registered ? CreateWindowExW(0, kWindowClass, kWindowTitle, WS_OVERLAPPED, 0, 0, 0, 0,
                                             nullptr, nullptr, module, nullptr)
                           : nullptr;
  if (window == nullptr) {
    start.error = GetLastError();
    if (registered) UnregisterClassW(kWindowClass, module);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    started.set_value(start);
    return;
  }

  MSG message;
  // The thread's queue exists before the caller can post kEndMark to it.
  PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
  start.outcome = Outcome::kHeld;
  start.threadId = GetCurrentThreadId();
  started.set_value(start);
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.hwnd == nullptr && message.message == kEndMark) break;
    DispatchMessageW(&message);
  }
  // The window first: an add-in that then finds none starts an agent, which
  // either gets the mutex or finds our holder still running.
  DestroyWindow(window);
  UnregisterClassW(kWindowClass, module);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
}

class WindowMark : public AgentMark {
 public:
  WindowMark(std::thread thread, DWORD threadId) : thread_(std::move(thread)), threadId_(threadId) {}
  ~WindowMark() override {
    // Fails only when the thread already ended (its message loop broke).
    PostThreadMessageW(threadId_, kEndMark, 0, 0);
    thread_.join();
  }
  WindowMark(const WindowMark&) = delete;
  WindowMark& operator=(const WindowMark&) = delete;

 private:
  std::thread thread_;
  DWORD threadId_;
};

}  // namespace

bool Win32TransferAgentControl::IsRunning() { return FindWindowA(nullptr, "TransferAgent") != nullptr; }

std::string Win32TransferAgentControl::CommandLine(const std::string& moduleFolder) {
  return "\"" + AgentPath(moduleFolder) + "\" -o";
}

void Win32TransferAgentControl::Start(const std::string& moduleFolder) {
  const std::string program = AgentPath(moduleFolder);
  std::wstring commandLine = Wide(CommandLine(moduleFolder));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  // Minimised, with the focus.
  startup.wShowWindow = SW_SHOWMINIMIZED;
  PROCESS_INFORMATION process{};
  // The program named as well, so that nothing is searched for.
  if (!CreateProcessW(Wide(program).c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    throw LastError("TransferAgentControl.Start", program);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

std::string Win32TransferAgentControl::MutexName() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) throw LastError(kMarkSource);
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> user(size);
  const bool read = size != 0 && GetTokenInformation(token, TokenUser, user.data(), size, &size);
  const DWORD readError = GetLastError();
  CloseHandle(token);
  if (!read) throw Win32Error(readError, kMarkSource);
  wchar_t* sid = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid)) {
    throw LastError(kMarkSource);
  }
  const std::string name = "Global\\DropwellTransferAgent-" + Utf8(sid);
  LocalFree(sid);
  return name;
}

std::unique_ptr<AgentMark> Win32TransferAgentControl::TryAcquireMark() {
  std::promise<MarkStart> started;
  std::future<MarkStart> result = started.get_future();
  std::thread thread;
  try {
    thread = std::thread(HoldMark, Wide(MutexName()), std::move(started));
  } catch (const std::system_error& failure) {
    throw Error(errc::kOutOfMemory, kMarkSource, failure.what());
  }
  const MarkStart start = result.get();
  if (start.outcome == Outcome::kHeld) {
    return std::make_unique<WindowMark>(std::move(thread), start.threadId);
  }
  thread.join();
  if (start.outcome == Outcome::kBusy) return nullptr;
  // Without a desktop (a service, Wine without a display) windows fail
  // without saying why.
  if (start.error == ERROR_SUCCESS) {
    throw Error(errc::kUnknown, kMarkSource, "No window could be made for the mark");
  }
  throw Win32Error(start.error, kMarkSource);
}

}  // namespace dwl::win32
