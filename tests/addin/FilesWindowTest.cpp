#include "tests/TestPlatform.h"

#include "apps/addin/FilesWindow.h"

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "compose/MailProcessor.h"
#include "dialogs/frmFiles.h"
#include "mail/Email.h"
#include "platform/win32/DibPicture.h"
#include "platform/win32/WideText.h"
#include "support/ApplicationLog.h"
#include "tests/addin/SimHost.h"

namespace dwl::addin {
namespace {

class FilesWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form->SetView(&*window);
    const HDC screen = GetDC(nullptr);
    dpiX = GetDeviceCaps(screen, LOGPIXELSX);
    dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  void TearDown() override {
    form->SetView(nullptr);
    window.reset();
  }

  std::string File(const std::string& name, std::uint64_t bytes = 1) {
    const std::string path = host.platform.Path(name);
    testing::WriteBytes(path, "");
    std::filesystem::resize_file(testing::Native(path), bytes);
    return path;
  }
  void Open(const std::vector<std::string>& files) {
    for (const std::string& file : files) processor->AddAttachment(file);
    form->InitializeInterface(processor);
  }
  HWND Control(const char* name) { return window->Control(name); }
  // Where the design puts a control, in pixels of the window's client area.
  RECT Expected(int left, int top, int width, int height) const {
    return {MulDiv(left, dpiX, 1440), MulDiv(top, dpiY, 1440), MulDiv(left + width, dpiX, 1440),
            MulDiv(top + height, dpiY, 1440)};
  }
  RECT Place(const char* name) {
    RECT place{};
    GetWindowRect(Control(name), &place);
    MapWindowPoints(nullptr, window->Handle(), reinterpret_cast<POINT*>(&place), 2);
    return place;
  }
  int ClientHeight() {
    RECT client{};
    GetClientRect(window->Handle(), &client);
    return client.bottom;
  }
  std::vector<std::vector<std::string>> Rows() {
    const HWND list = Control("ListView1");
    std::vector<std::vector<std::string>> rows;
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
      rows.emplace_back();
      for (int column = 0; column < 3; ++column) {
        wchar_t text[512] = {};
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = 512;
        SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
        rows.back().push_back(win32::Utf8(text));
      }
    }
    return rows;
  }
  std::vector<std::string> ProcessorPaths() {
    std::vector<std::string> paths;
    for (const auto& attachment : processor->GetEmail()->get_attachments()) {
      if (attachment) paths.push_back(attachment->get_FilePath());
    }
    return paths;
  }
  // Files dropped from Explorer, as the shell hands them over.
  void Drop(const std::vector<std::string>& paths) {
    std::wstring names;
    for (const std::string& path : paths) names += win32::Wide(path) + L'\0';
    names += L'\0';
    const HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(drop + 1, names.data(), names.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    SendMessageW(window->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);  // the window frees it
  }

  testing::SimHost host;
  std::shared_ptr<MailProcessor> processor = host.ConnectWithComposeWindow();
  std::shared_ptr<frmFiles> form = frmFiles::Instance();
  std::optional<FilesWindow> window{std::in_place, *form};
  int dpiX = 0;
  int dpiY = 0;
};

TEST_F(FilesWindowTest, ShowsTheDesignAtTheScreensResolutionWithTheRecordsRows) {
  EXPECT_FALSE(window->SetFocus("cmdOk")) << "no window before the first Show";
  const std::string report = File("report.pdf", 5242880);
  const std::string notes = File("Grüße.txt", 0);
  Open({report, notes});
  const HWND handle = window->Handle();
  ASSERT_NE(handle, nullptr);
  EXPECT_TRUE(IsWindowVisible(handle));
  EXPECT_EQ(GetParent(handle), nullptr) << "a top-level window";
  EXPECT_NE(GetWindowLongPtrW(handle, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  wchar_t caption[64] = {};
  GetWindowTextW(handle, caption, 64);
  EXPECT_EQ(win32::Utf8(caption), "Dropwell attachments");
  RECT client{};
  GetClientRect(handle, &client);
  EXPECT_EQ(client.right, MulDiv(6150, dpiX, 1440));
  EXPECT_EQ(client.bottom, MulDiv(5280, dpiY, 1440));

  const struct {
    const char* name;
    const char* caption;  // nullptr: not checked
    RECT place;
  } controls[] = {
      {"ListView1", nullptr, Expected(120, 1320, 4695, 3495)},
      {"cmdAdd", "Add files", Expected(4920, 1320, 1095, 375)},
      {"cmdRemove", "Remove files", Expected(4920, 1800, 1095, 375)},
      {"frameTotals", "Total", Expected(4920, 3475, 1095, 975)},
      {"lblFiles", "2 Files", Expected(4920 + 230, 3475 + 300, 800, 255)},  // inside the frame
      {"lblSize", "5.0 MB", Expected(4920 + 230, 3475 + 645, 800, 255)},
      {"cmdOk", "OK", Expected(4920, 4785, 1095, 375)},
      {"chkPassword", "Enable password protection", Expected(150, 4930, 4095, 195)},
  };
  for (const auto& control : controls) {
    const HWND child = Control(control.name);
    ASSERT_NE(child, nullptr) << control.name;
    EXPECT_EQ(GetParent(child), handle) << control.name;
    const RECT place = Place(control.name);
    EXPECT_TRUE(EqualRect(&control.place, &place)) << control.name;
    EXPECT_TRUE(IsWindowVisible(child)) << control.name;
    if (control.caption) {
      wchar_t text[64] = {};
      GetWindowTextW(child, text, 64);
      EXPECT_EQ(win32::Utf8(text), control.caption) << control.name;
    }
  }
  EXPECT_FALSE(IsWindowVisible(Control("txtPassword")));
  EXPECT_EQ(GetFocus(), Control("cmdOk"));
  EXPECT_FALSE(window->SetFocus("txtPassword")) << "hidden";
  EXPECT_FALSE(window->SetFocus("nothing"));
  EXPECT_TRUE(window->SetFocus("ListView1"));

  const HWND list = Control("ListView1");
  const LONG_PTR style = GetWindowLongPtrW(list, GWL_STYLE);
  EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_EQ(style & (LVS_EDITLABELS | LVS_SINGLESEL), 0) << "labels fixed, several rows selectable";
  EXPECT_NE(SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT, 0);
  EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0), MulDiv(3510, dpiX, 1440));
  EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0), MulDiv(1100, dpiX, 1440));
  EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 2, 0), 0) << "the path column is hidden";
  EXPECT_EQ(Rows(), (std::vector<std::vector<std::string>>{{"report.pdf", "5.0 MB", report},
                                                           {"Grüße.txt", "0.0 MB", notes}}));
}

TEST_F(FilesWindowTest, ThePasswordRowGrowsTheWindowAndEnterConfirms) {
  Open({});
  const HWND check = Control("chkPassword");
  const HWND password = Control("txtPassword");
  const int height = ClientHeight();
  SendMessageW(check, BM_CLICK, 0, 0);
  EXPECT_TRUE(form->chkPassword.Value);
  EXPECT_TRUE(IsWindowVisible(password));
  EXPECT_EQ(ClientHeight(), MulDiv(5280 + 350, dpiY, 1440));
  EXPECT_NE(ClientHeight(), height);
  EXPECT_EQ(Place("cmdOk").top, MulDiv(4785 + 350, dpiY, 1440));
  EXPECT_EQ(Place("frameTotals").top, MulDiv(3475 + 150, dpiY, 1440));
  EXPECT_EQ(GetFocus(), password) << "an empty box takes the focus";

  SendMessageW(check, BM_CLICK, 0, 0);
  EXPECT_FALSE(IsWindowVisible(password));
  EXPECT_EQ(ClientHeight(), height);
  EXPECT_EQ(Place("cmdOk").top, MulDiv(4785, dpiY, 1440));

  SendMessageW(check, BM_CLICK, 0, 0);
  SetWindowTextW(password, L"zwei Wörter");
  EXPECT_EQ(form->txtPassword.Text, "zwei Wörter");
  // The release of the Enter that closed a message box elsewhere.
  SendMessageW(password, WM_KEYUP, VK_RETURN, 0);
  EXPECT_TRUE(IsWindowVisible(window->Handle()));
  EXPECT_EQ(processor->GetEmail()->get_Password(), "");
  SendMessageW(password, WM_KEYDOWN, VK_RETURN, 0);
  SendMessageW(password, WM_KEYUP, VK_RETURN, 0);
  EXPECT_FALSE(IsWindowVisible(window->Handle()));
  EXPECT_EQ(processor->GetEmail()->get_Password(), "zwei Wörter");

  // The next opening starts from the design again, with the stored password.
  Open({});
  EXPECT_TRUE(IsWindowVisible(password));
  EXPECT_EQ(SendMessageW(check, BM_GETCHECK, 0, 0), BST_CHECKED);
  wchar_t text[64] = {};
  GetWindowTextW(password, text, 64);
  EXPECT_EQ(win32::Utf8(text), "zwei Wörter");
  EXPECT_EQ(ClientHeight(), MulDiv(5280 + 350, dpiY, 1440));
}

TEST_F(FilesWindowTest, DeleteAndRemoveTakeTheSelectedRowsThroughTheLogic) {
  const std::vector<std::string> files{File("1.bin"), File("2.bin"), File("3.bin"), File("4.bin"), File("5.bin")};
  Open(files);
  const HWND list = Control("ListView1");
  LVITEMW selected{};
  selected.stateMask = LVIS_SELECTED;
  selected.state = LVIS_SELECTED;
  SendMessageW(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&selected));
  SendMessageW(list, LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&selected));
  SendMessageW(list, WM_KEYDOWN, VK_DELETE, 0);
  EXPECT_EQ(ProcessorPaths(), (std::vector<std::string>{files[0], files[3], files[4]}));
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1][2], files[3]);
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0), 0);

  SendMessageW(list, LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&selected));
  SendMessageW(Control("cmdRemove"), BM_CLICK, 0, 0);
  EXPECT_EQ(ProcessorPaths(), (std::vector<std::string>{files[0], files[3]}));
  EXPECT_EQ(Rows().size(), 2u);
  wchar_t text[64] = {};
  GetWindowTextW(Control("lblFiles"), text, 64);
  EXPECT_EQ(win32::Utf8(text), "2 Files");
}

TEST_F(FilesWindowTest, DroppedFilesAreAddedButNotFolders) {
  Open({});
  const std::string browsePath = processor->getBrowsePath();
  std::filesystem::create_directory(testing::Native(host.platform.Path("folder")));
  const std::string first = File("first.bin", 1048576);
  const std::string second = File("Ünïcode.bin");
  Drop({first, host.platform.Path("folder"), second});
  EXPECT_EQ(ProcessorPaths(), (std::vector<std::string>{first, second}));
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"first.bin", "1.0 MB", first}));
  EXPECT_EQ(rows[1][0], "Ünïcode.bin");
  EXPECT_EQ(processor->getBrowsePath(), browsePath);
}

TEST_F(FilesWindowTest, TheCloseBoxIsRefusedWhileFilesAreAdded) {
  Open({});
  // Runs when the adding lets pending events run, with OK disabled.
  PostMessageW(window->Handle(), WM_CLOSE, 0, 0);
  Drop({File("a.bin")});
  MSG left{};
  EXPECT_FALSE(PeekMessageW(&left, window->Handle(), WM_CLOSE, WM_CLOSE, PM_NOREMOVE)) << "the close ran";
  EXPECT_TRUE(IsWindowVisible(window->Handle()));
  EXPECT_TRUE(form->Visible());
  EXPECT_TRUE(IsWindowEnabled(Control("cmdOk"))) << "on again once the adding ended";

  SendMessageW(window->Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindowVisible(window->Handle()));
  EXPECT_FALSE(form->Visible());
  EXPECT_TRUE(IsWindow(window->Handle())) << "hidden, kept for the next opening";
  // Input queued before the window closed reaches it hidden: the form has
  // let its processor go, so nothing may come through.
  SendMessageW(Control("cmdOk"), BM_CLICK, 0, 0);
  SendMessageW(Control("cmdRemove"), BM_CLICK, 0, 0);
  SendMessageW(Control("ListView1"), WM_KEYDOWN, VK_DELETE, 0);
  Drop({File("late.bin")});
  EXPECT_EQ(ProcessorPaths().size(), 1u);
}

// Refuses every password with an error of its own.
class FailingAlerts : public UserAlerts {
 public:
  void Critical(const std::string&, const std::string&) override { throw Error(1234, "alerts", "no screen"); }
};

TEST_F(FilesWindowTest, AFailingHandlerIsLoggedAndStaysInTheWindow) {
  FailingAlerts alerts;
  Platform services = ThePlatform();
  services.alerts = &alerts;
  const ScopedPlatform failing(services);
  Open({});
  SendMessageW(Control("chkPassword"), BM_CLICK, 0, 0);
  SetWindowTextW(Control("txtPassword"), L"a#b");
  SendMessageW(Control("cmdOk"), BM_CLICK, 0, 0);
  EXPECT_TRUE(IsWindowVisible(window->Handle()));
  const std::string log = testing::ReadBytes(ApplicationLog::Instance()->getLogFilePath());
  EXPECT_NE(log.find("FilesWindow.WindowProc:no screen, 1234"), std::string::npos) << log;
}

}  // namespace
}  // namespace dwl::addin
