#include "platform/win32/Win32TransferAgentControl.h"

#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>
#include <vector>

#include "platform/Error.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Shell.h"

namespace dwl::win32 {
namespace {

namespace fs = std::filesystem;

// The start test runs a copy of this program as TransferAgent.exe: the copy
// writes its command line beside itself and leaves before any test runs.
fs::path ThisProgram() {
  wchar_t self[MAX_PATH * 4];
  return fs::path(std::wstring(self, GetModuleFileNameW(nullptr, self, MAX_PATH * 4)));
}

const bool kStartedAsAgent = [] {
  if (ThisProgram().filename() != L"TransferAgent.exe") return false;
  const fs::path record = ThisProgram().parent_path() / L"started.txt";
  std::ofstream(fs::path(record).concat(L".part"), std::ios::binary) << Utf8(GetCommandLineW());
  fs::rename(fs::path(record).concat(L".part"), record);
  ExitProcess(0);
}();

std::vector<std::wstring> Arguments(const std::string& commandLine) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(Wide(commandLine).c_str(), &count);
  std::vector<std::wstring> result(arguments, arguments + count);
  LocalFree(arguments);
  return result;
}

TEST(Win32TransferAgentControlTest, TheCommandLineQuotesTheAgentsPath) {
  for (const char* folder : {"C:\\Program Files\\Drop Well", "C:\\Program Files\\Drop Well\\",
                             "C:\\Program Files\\Drop Well/"}) {
    EXPECT_EQ(Win32TransferAgentControl::CommandLine(folder),
              "\"C:\\Program Files\\Drop Well\\TransferAgent.exe\" -o");
  }
}

// One test holds every mark and window check: test programs may run side by
// side, and each user has one mark.
TEST(Win32TransferAgentControlTest, TheMarkIsOnePerUserAndShowsAsTheAgentsWindow) {
  Win32TransferAgentControl control;
  ASSERT_FALSE(control.IsRunning()) << "an agent of this user runs already";
  const std::string name = Win32TransferAgentControl::MutexName();
  EXPECT_EQ(name.rfind("Global\\DropwellTransferAgent-S-1-", 0), 0u) << name;

  {
    const std::unique_ptr<AgentMark> mark = control.TryAcquireMark();
    ASSERT_NE(mark, nullptr);
    EXPECT_TRUE(control.IsRunning());
    const HWND window = FindWindowA(nullptr, "TransferAgent");
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsWindowVisible(window));
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutW(window, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer), 0)
        << "nobody answers the window's messages";
    EXPECT_TRUE(control.IsRunning()) << "closed by another program";
    EXPECT_EQ(control.TryAcquireMark(), nullptr) << "a second mark of the same thread";
  }
  EXPECT_FALSE(control.IsRunning()) << "the window goes with the mark";
  EXPECT_NE(control.TryAcquireMark(), nullptr) << "the mutex goes with the mark";

  // Another process's agent, as far as the mutex shows: held, then abandoned.
  std::promise<HANDLE> held;
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread other([&] {
    held.set_value(CreateMutexW(nullptr, TRUE, Wide(name).c_str()));
    WaitForSingleObject(release, INFINITE);  // ends without releasing it
  });
  const HANDLE mutex = held.get_future().get();
  EXPECT_NE(mutex, nullptr);
  EXPECT_EQ(control.TryAcquireMark(), nullptr) << "taken by another agent";
  SetEvent(release);
  other.join();
  EXPECT_NE(control.TryAcquireMark(), nullptr) << "an agent that died leaves the mutex free";
  CloseHandle(mutex);
  CloseHandle(release);
}

TEST(Win32TransferAgentControlTest, StartsTheAgentFromAFolderWithBlanks) {
  Win32TransferAgentControl control;
  const fs::path folder = fs::temp_directory_path() / Wide("Drop Well Ägent " + Win32Shell().NewGuid());
  fs::create_directories(folder);
  fs::copy_file(ThisProgram(), folder / L"TransferAgent.exe");
  control.Start(Utf8(folder.wstring()) + "\\");
  const fs::path record = folder / L"started.txt";
  // Up to a minute: a loaded machine starts a Wine process slowly.
  for (int i = 0; i < 6000 && !fs::exists(record); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::string commandLine;
  std::getline(std::ifstream(record, std::ios::binary), commandLine);
  const std::vector<std::wstring> expected{(folder / L"TransferAgent.exe").wstring(), L"-o"};
  EXPECT_EQ(Arguments(commandLine), expected) << "the agent did not run, or not so: " << commandLine;

  try {
    fs::create_directory(folder / L"empty");
    control.Start(Utf8((folder / L"empty").wstring()));
    ADD_FAILURE() << "started a missing agent";
  } catch (const Error& failure) {
    EXPECT_EQ(failure.Number(), errc::kFileNotFound) << failure.what();
  }
  // The agent may still be leaving and hold its file a moment.
  std::error_code busy;
  for (int i = 0; i < 500 && fs::remove_all(folder, busy) == static_cast<std::uintmax_t>(-1); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace
}  // namespace dwl::win32
