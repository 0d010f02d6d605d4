#include "tests/TestPlatform.h"

#include "platform/win32/Win32FileDialogs.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/win32/WideText.h"

namespace dwl::win32 {
namespace {

constexpr int kFileNameBox = 0x047C;  // cmb13
constexpr int kFilterBox = 0x0470;    // cmb1

// Plays the user from a timer on the dialog's own thread: each open dialog
// that shows is looked at, gets `names` typed into its file-name box and is
// closed with Open, or with Cancel when `names` is empty. Notes where the
// first dialog stood when it was activated, before it laid itself out.
class DialogUser {
 public:
  explicit DialogUser(std::wstring names) : names_(std::move(names)) {
    playing_ = this;
    hook_ = SetWindowsHookExW(WH_CBT, &DialogUser::OnWindowEvent, nullptr, GetCurrentThreadId());
    timer_ = SetTimer(nullptr, 0, 50, &DialogUser::Tick);
  }
  ~DialogUser() {
    KillTimer(nullptr, timer_);
    UnhookWindowsHookEx(hook_);
    playing_ = nullptr;
  }
  DialogUser(const DialogUser&) = delete;
  DialogUser& operator=(const DialogUser&) = delete;

  int shown = 0;
  std::optional<RECT> placed;
  HWND owner = nullptr;
  std::wstring title;
  std::wstring firstFilter;

 private:
  static bool IsDialog(HWND window) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    return std::wstring_view(name) == L"#32770";
  }

  static BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
    if (!IsDialog(window) || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }

  // Runs after the hook of the dialog's owner code, which was installed later.
  static LRESULT CALLBACK OnWindowEvent(int code, WPARAM wParam, LPARAM lParam) {
    DialogUser* user = playing_;
    const auto window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_ACTIVATE && user != nullptr && !user->placed && IsDialog(window)) {
      user->placed.emplace();
      GetWindowRect(window, &*user->placed);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }

  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    DialogUser* user = playing_;
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &DialogUser::FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (user == nullptr || dialog == nullptr || dialog == user->answered_) return;
    user->answered_ = dialog;
    ++user->shown;
    user->owner = GetWindow(dialog, GW_OWNER);
    wchar_t text[256] = {};
    GetWindowTextW(dialog, text, 256);
    user->title = text;
    text[0] = L'\0';
    SendDlgItemMessageW(dialog, kFilterBox, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
    user->firstFilter = text;
    if (user->names_.empty()) {
      PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
      return;
    }
    SetDlgItemTextW(dialog, kFileNameBox, user->names_.c_str());
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  }

  static inline DialogUser* playing_ = nullptr;
  std::wstring names_;
  HHOOK hook_ = nullptr;
  UINT_PTR timer_ = 0;
  HWND answered_ = nullptr;
};

std::wstring Quoted(const std::vector<std::string>& names) {
  std::wstring typed;
  for (const std::string& name : names) typed += L"\"" + Wide(name) + L"\" ";
  return typed;
}

// The folder, a NUL, each name with its NUL, and the closing NUL.
std::string FolderAndNames(const std::string& folder, const std::vector<std::string>& names) {
  std::string buffer = folder + '\0';
  for (const std::string& name : names) buffer += name + '\0';
  return buffer + '\0';
}

class Win32FileDialogsTest : public ::testing::Test {
 protected:
  // Files in the sandbox's "chosen" folder, which the dialog opens in.
  void Make(const std::vector<std::string>& names) {
    std::filesystem::create_directories(platform.Root() / "chosen");
    for (const std::string& name : names) testing::WriteBytes(platform.Path("chosen\\" + name), "x");
  }
  OpenFileRequest Request(bool centreOnOwner = false) {
    return {std::string("All Files (*.*)") + '\0' + "*.*" + '\0', "Add Dropwell attachment(s)",
            platform.Path("chosen"), centreOnOwner};
  }

  testing::TestPlatform platform;
  Win32FileDialogs dialogs;
};

TEST_F(Win32FileDialogsTest, SeveralFilesComeBackAsTheirFolderAndNamesOneFileAsItsPath) {
  const std::vector<std::string> names{"a.txt", "b.txt", "Łódź ☃.txt"};
  Make(names);
  const std::filesystem::path before = std::filesystem::current_path();
  {
    DialogUser user(Quoted({names[0], names[1]}));
    EXPECT_EQ(dialogs.ShowOpen(Request()), FolderAndNames(platform.Path("chosen"), {names[0], names[1]}));
    EXPECT_EQ(user.shown, 1);
    EXPECT_EQ(user.title, L"Add Dropwell attachment(s)");
    EXPECT_EQ(user.firstFilter, L"All Files (*.*)");
  }
  EXPECT_EQ(std::filesystem::current_path(), before) << "the host's current directory is left alone";
  DialogUser user(Wide(names[2]));
  EXPECT_EQ(dialogs.ShowOpen(Request()), platform.Path("chosen\\" + names[2]) + '\0')
      << "a name outside the ANSI code page comes back whole";
}

TEST_F(Win32FileDialogsTest, CancelGivesNothing) {
  Make({"a.txt"});
  DialogUser user(L"");
  EXPECT_EQ(dialogs.ShowOpen(Request()), std::nullopt);
  EXPECT_EQ(user.shown, 1);
}

TEST_F(Win32FileDialogsTest, ASelectionLongerThanTheBufferComesBackWhole) {
  std::vector<std::string> names;
  std::size_t length = 0;
  for (int i = 0; i < 300; ++i) {
    std::string name = "attachment-" + std::to_string(1000 + i) + "-";
    name.resize(56, 'x');
    names.push_back(name + ".txt");
    length += names.back().size() + 1;
  }
  ASSERT_GT(length, Win32FileDialogs::kFirstBufferLength);
  Make(names);
  DialogUser user(Quoted(names));
  EXPECT_EQ(dialogs.ShowOpen(Request()), FolderAndNames(platform.Path("chosen"), names));
  EXPECT_EQ(user.shown, 1) << "the buffer grew while the dialog was up";
}

POINT Centre(const RECT& rect) { return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}; }

void ExpectCentredOn(const std::optional<RECT>& dialog, const RECT& around) {
  ASSERT_TRUE(dialog.has_value()) << "the dialog was activated";
  const POINT have = Centre(*dialog), want = Centre(around);
  EXPECT_NEAR(have.x, want.x, 1);
  EXPECT_NEAR(have.y, want.y, 1);
}

TEST_F(Win32FileDialogsTest, TheDialogIsCentredOnItsOwner) {
  Make({"a.txt"});
  const std::unique_ptr<std::remove_pointer_t<HWND>, decltype(&DestroyWindow)> owner(
      CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 700, 500, nullptr,
                      nullptr, nullptr, nullptr),
      &DestroyWindow);
  ASSERT_NE(owner, nullptr);
  SetActiveWindow(owner.get());
  ASSERT_EQ(GetActiveWindow(), owner.get());
  RECT around{};
  GetWindowRect(owner.get(), &around);
  DialogUser user(L"");
  dialogs.ShowOpen(Request(true));
  ExpectCentredOn(user.placed, around);
  EXPECT_EQ(user.owner, owner.get());
}

}  // namespace
}  // namespace dwl::win32
