#include "addin/frmAddIn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <regex>
#include <utility>

#include "addin/AddInToolbar.h"
#include "compose/MailProcessor.h"
#include "dialogs/frmFiles.h"
#include "mail/Email.h"
#include "platform/sim/SimFaults.h"
#include "support/ApplicationLog.h"
#include "support/ObjectRef.h"
#include "tests/addin/SimHost.h"

namespace dwl {
namespace {

using sim::SimOutlook;

std::string Caption(sim::SimInspector& window) {
  const auto button = window.Bars().FindControlByTag(kAddInButtonTag);
  return button ? button->Caption() : "(no button)";
}

int AddInToolbars(sim::SimInspector& window) {
  return static_cast<int>(std::count_if(window.Bars().Bars().begin(), window.Bars().Bars().end(),
                                        [](const auto& bar) { return bar->Name() == kAddInToolbarName; }));
}

// A clipboard that calls `during` once while the toolbar is rebuilt, as a
// host may raise window events during clipboard calls, and that loses
// bitmaps while `losing`, so the button cannot paste its face.
class HostileClipboard : public sim::SimClipboard {
 public:
  std::function<void()> during;
  bool losing = false;
  std::unique_ptr<ClipboardContent> Save() override {
    if (during) std::exchange(during, nullptr)();
    return SimClipboard::Save();
  }
  std::optional<Picture> GetPicture() override { return losing ? std::nullopt : SimClipboard::GetPicture(); }
};

class HubTest : public ::testing::Test {
 protected:
  void SetUp() override { host.ReplaceClipboard(clipboard); }
  std::shared_ptr<sim::SimInspector> OpenMail(const std::string& name) {
    return host.outlook->Open(name, SimOutlook::ItemKind::Mail, false, true);
  }

  HostileClipboard clipboard;
  testing::SimHost host;
};

TEST_F(HubTest, AFailedRebuildGivesTheClipboardBackAndBlocksNoLaterOne) {
  host.ConnectAddIn();
  const auto window = OpenMail("m1");
  const std::string icon = host.platform.Module() + "/temp/add_file_icon_XP.bmp";
  // Each fault: how it is made and how it is mended.
  const std::pair<std::function<void()>, std::function<void()>> faults[] = {
      {[&] { std::filesystem::rename(icon, icon + ".away"); }, [&] { std::filesystem::rename(icon + ".away", icon); }},
      {[&] { clipboard.losing = true; }, [&] { clipboard.losing = false; }}};
  for (const auto& [make, mend] : faults) {
    clipboard.SetText("the user's text");
    make();
    host.outlook->Activate("m1");
    EXPECT_EQ(host.outlook->TakeHostErrors().size(), 1u);
    EXPECT_EQ(clipboard.GetText(), "the user's text");
    mend();
    host.outlook->Activate("m1");
    EXPECT_TRUE(host.outlook->TakeHostErrors().empty());
    EXPECT_EQ(Caption(*window), " Dropwell: 0 files, 0.0 MB");
  }
}

TEST_F(HubTest, ARebuildDuringARebuildReturnsAtOnce) {
  host.ConnectAddIn();
  const auto window = OpenMail("m1");
  int nestedToolbars = -1;
  clipboard.during = [&] {
    host.outlook->Activate("m1");
    nestedToolbars = AddInToolbars(*window);
  };
  host.outlook->Activate("m1");
  EXPECT_EQ(nestedToolbars, 1) << "the nested call left the toolbar being built alone";
  EXPECT_EQ(AddInToolbars(*window), 1);
  EXPECT_EQ(Caption(*window), " Dropwell: 0 files, 0.0 MB");
}

// The button opens the dialog for its window (tests/sim/toolbar); a Mileage
// that names no processor names no window.
TEST_F(HubTest, AClickOnAWindowWhoseMileageNamesNoProcessorIsIgnored) {
  host.ConnectAddIn();
  const auto window = OpenMail("m1");
  host.outlook->Activate("m1");
  for (const char* mileage : {"7", "", "x", "-1"}) {
    window->Mail()->mileage = mileage;
    host.outlook->ClickLastButton();
  }
  EXPECT_FALSE(frmFiles::Instance()->Visible());
  EXPECT_TRUE(host.outlook->TakeHostErrors().empty());
}

TEST_F(HubTest, AFailingSettingsRefreshIsLogged) {
  // No folder can be made anywhere: the application data is a file, and the
  // fallback's parent is missing.
  std::filesystem::remove_all(host.platform.Module() + "/temp/UserData");
  std::filesystem::remove_all(host.platform.AppData());
  testing::WriteBytes(host.platform.AppData(), "");
  host.ConnectAddIn();
  EXPECT_NE(testing::ReadBytes(ApplicationLog().getLogFilePath()).find(" - Form_Load:01:"), std::string::npos)
      << "the add-in cannot work without its folders: that must show in the log";
  EXPECT_TRUE(frmAddIn::Instance()->Listening()) << "the hub still follows the host";
}

// A compose window's whole life under a host that hands back an empty
// reference in one place: every failure it causes is error 91, handled
// like any other host failure, never a crash.
TEST(HubEmptyReferenceTest, EveryEmptyHostReferenceIsError91) {
  for (const char* member : sim::SimFaults::kReferences) {
    SCOPED_TRACE(member);
    testing::SimHost host;
    sim::SimFaults::Current().SetEmpty(member);
    const auto connect = host.ConnectAddIn();
    const auto window = host.outlook->Open("m1", SimOutlook::ItemKind::Mail, false, true);
    window->Mail()->to = {"a@example.org"};
    window->Mail()->body = "text";
    host.outlook->Activate("m1");
    if (const auto button = window->Bars().FindControlByTag(kAddInButtonTag)) {
      std::dynamic_pointer_cast<sim::SimControl>(button)->Click();
    }
    const std::string file = host.platform.Path("a.bin");
    testing::WriteBytes(file, "data");
    if (frmFiles::Instance()->Visible()) {
      host.fileDialogs.nextChoice = std::vector<std::string>{file};
      frmFiles::Instance()->cmdAdd_Click();
      frmFiles::Instance()->cmdOk_Click();
    } else if (const auto processor = frmAddIn::Instance()->Slot(0)) {
      processor->AddAttachment(file);
    }
    host.outlook->Send("m1");
    host.outlook->Close("m1");
    host.outlook->CloseExplorer(0);
    host.outlook->DisconnectAddIn(*connect);

    for (const Error& failure : host.outlook->TakeHostErrors()) {
      EXPECT_EQ(failure.Number(), kObjectNotSet) << failure.Description();
    }
    const std::regex checkpoint(" - [A-Za-z_.]+:[0-9]{2}:");
    for (const std::string& line : testing::ReadCrLfLines(ApplicationLog().getLogFilePath())) {
      if (std::regex_search(line, checkpoint)) {
        EXPECT_TRUE(line.ends_with(", 91")) << line;
      }
    }
  }
}

TEST_F(HubTest, AWindowWhoseProcessorCannotBeWiredNamesNoSlot) {
  host.ConnectAddIn();
  sim::SimFaults::Current().SetFailing("MailItem.Close");
  const auto unwired = OpenMail("m1");
  sim::SimFaults::Current().Clear();
  const auto wired = OpenMail("m2");
  EXPECT_EQ(unwired->Mail()->mileage, "") << "its clicks must not open m2's files";
  EXPECT_EQ(frmAddIn::Instance()->Slot(0)->MailItem(), wired->Mail());
}

}  // namespace
}  // namespace dwl
