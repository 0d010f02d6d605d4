// The adapters as the add-in meets them: the simulated Outlook shown over COM
// by simcom, read back through the adapters as host objects.
#include "tests/TestPlatform.h"  // before <windows.h>

#include "platform/win32/outlook/OutlookApplication.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/sim/SimClipboard.h"
#include "platform/sim/SimFaults.h"
#include "platform/sim/SimOutlook.h"
#include "platform/win32/com/ComApartment.h"
#include "platform/win32/simcom/SimComOutlook.h"
#include "tests/platform/win32/CaughtError.h"

namespace dwl::win32::outlook {
namespace {

using Kind = sim::SimOutlook::ItemKind;

class OutlookAdaptersTest : public ::testing::Test {
 protected:
  void SetUp() override { Start("11.0.8217"); }
  // Every COM object the adapters took has been let go of.
  void TearDown() override { EXPECT_EQ(simcom::LiveObjectCount(), 0); }

  void Start(const std::string& version) {
    outlook = sim::SimOutlook::Create(version, 1);
    outlook->Open("Report", Kind::Mail, false, false);
  }
  std::shared_ptr<host::Application> Host() { return ApplicationFrom(simcom::ExposeApplication(outlook).Get()); }
  std::shared_ptr<host::Inspector> Window(const std::string& name) {
    const auto windows = Host()->GetInspectors();
    for (int i = 1; i <= windows->Count(); ++i) {
      auto inspector = windows->Item(i);
      if (inspector->Caption() == name + " - Message") return inspector;
    }
    throw std::runtime_error("no window " + name);
  }
  std::shared_ptr<host::MailItem> Mail(const std::string& window) {
    return Window(window)->CurrentItem()->AsMailItem();
  }
  // A temporary toolbar in the window with one button, as the add-in makes
  // it, and the sim's button behind it.
  std::shared_ptr<host::CommandBarButton> AddButton(const std::string& window) {
    const auto bar = Window(window)->GetCommandBars()->Add("Tools", host::office::kBarTop, false, true);
    return bar->Controls()->Add(host::office::kControlButton, 1, "", 1, true)->AsButton();
  }
  std::shared_ptr<sim::SimControl> SimButton(const std::string& window) {
    return outlook->Window(window)->Bars().Bars().back()->Items().front();
  }

  com::ComApartment apartment;
  std::shared_ptr<sim::SimOutlook> outlook;
};

TEST_F(OutlookAdaptersTest, TheApplicationAndItsWindowsAreReadByName) {
  const auto host = Host();
  EXPECT_EQ(host->Version(), "11.0.8217");
  EXPECT_EQ(host->ProductCode(), outlook->ProductCode());
  EXPECT_NE(host->GetNamespace("MAPI"), nullptr);
  EXPECT_NE(host->ActiveExplorer(), nullptr);
  EXPECT_EQ(host->GetExplorers()->Count(), 1);

  outlook->Open("Contact", Kind::Contact, false, false);
  const auto windows = host->GetInspectors();
  ASSERT_EQ(windows->Count(), 2);
  EXPECT_EQ(windows->Item(1)->Caption(), "Report - Message");
  EXPECT_EQ(host->ActiveInspector()->Caption(), "Contact - Message");
  // The host's failures arrive with their numbers.
  EXPECT_EQ(testing::CaughtError([&] { windows->Item(3); }).Number(), errc::kInvalidCall);
  EXPECT_EQ(testing::CaughtError([&] { host->GetNamespace("Other"); }).Number(), errc::kInvalidCall);
  // A contact is no mail item. The simulated one has no Class at all, so the
  // failure is the missing member's rather than a type mismatch.
  EXPECT_THROW(windows->Item(2)->CurrentItem()->AsMailItem(), Error);

  // Nothing is no window.
  outlook->CloseExplorer(1);
  EXPECT_EQ(host->ActiveExplorer(), nullptr);
  EXPECT_EQ(ApplicationFrom(nullptr), nullptr);
  EXPECT_EQ(AddInInstanceFrom(nullptr), nullptr);
}

TEST_F(OutlookAdaptersTest, AMailItemsPropertiesReachTheSimsMail) {
  const auto mail = Mail("Report");
  const auto simMail = outlook->Window("Report")->Mail();
  EXPECT_FALSE(mail->Sent());
  mail->SetMileage("7");
  EXPECT_EQ(simMail->mileage, "7");
  simMail->mileage = "12";
  EXPECT_EQ(mail->Mileage(), "12");
  mail->Save();
  EXPECT_EQ(simMail->saves, 1);

  simMail->failOnSave = 2;
  const Error save = testing::CaughtError([&] { mail->Save(); });
  EXPECT_EQ(save.Number(), errc::kUnknown);
  EXPECT_EQ(save.Source(), "MailItem.Save");

  outlook->Open("Old", Kind::Mail, true, false);
  EXPECT_TRUE(Mail("Old")->Sent());
}

TEST_F(OutlookAdaptersTest, SendAndCloseCancelledByAHandlerStayUndone) {
  const auto mail = Mail("Report");
  std::vector<bool> seen;
  auto send = mail->OnSend([&](bool& cancel) {
    seen.push_back(cancel);
    cancel = true;
  });
  auto close = mail->OnClose([&](bool& cancel) {
    seen.push_back(cancel);
    cancel = true;
  });
  outlook->Send("Report");
  outlook->Close("Report");
  EXPECT_TRUE(outlook->SentMails().empty());
  EXPECT_TRUE(outlook->Window("Report"));
  EXPECT_EQ(seen, (std::vector<bool>{false, false}));

  // Disconnected, the handlers hear nothing and the host goes ahead.
  send.Disconnect();
  close.Disconnect();
  outlook->Send("Report");
  outlook->Close("Report");
  EXPECT_EQ(outlook->SentMails().size(), 1u);
  EXPECT_FALSE(outlook->Window("Report"));
  EXPECT_EQ(seen.size(), 2u);
}

TEST_F(OutlookAdaptersTest, EventsFollowTheNewerInterfaceAndTheOlderOnOutlook2000) {
  for (const char* version : {"11.0.8217", "9.0.0.2711"}) {
    SCOPED_TRACE(version);
    Start(version);
    // Without a description the host names the interface of the failing sink.
    auto closing = Host()->ActiveExplorer()->OnClose([] { throw Error(errc::kUnknown, "", ""); });
    auto sending = Mail("Report")->OnSend([](bool& cancel) { cancel = true; });
    outlook->CloseExplorer(1);
    outlook->Send("Report");
    EXPECT_TRUE(outlook->SentMails().empty());
    const auto errors = outlook->TakeHostErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].Source().find("ExplorerEvents"), std::string::npos);
    EXPECT_EQ(errors[0].Source().find("ExplorerEvents_10") != std::string::npos, version[0] != '9');
  }
}

TEST_F(OutlookAdaptersTest, AThrowingHandlerFailsToTheHostAndNoFurther) {
  const auto mail = Mail("Report");
  auto send = mail->OnSend([](bool&) { throw Error(errc::kPathNotFound, "frmAddIn", "Path not found"); });
  outlook->Send("Report");
  auto errors = outlook->TakeHostErrors();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].Number(), errc::kPathNotFound);
  EXPECT_EQ(errors[0].Source(), "frmAddIn");
  EXPECT_EQ(errors[0].Description(), "Path not found");

  auto close = mail->OnClose([](bool&) { throw std::runtime_error("bad"); });
  outlook->Close("Report");
  errors = outlook->TakeHostErrors();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].Description(), "bad");
}

TEST_F(OutlookAdaptersTest, NewInspectorHandsTheWindowAndActivateFollowsIt) {
  std::shared_ptr<host::Inspector> opened;
  auto connection = Host()->GetInspectors()->OnNewInspector([&](std::shared_ptr<host::Inspector> window) {
    opened = std::move(window);
  });
  outlook->Open("Draft", Kind::Mail, false, false);
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(opened->Caption(), "Draft - Message");
  EXPECT_EQ(opened->CurrentItem()->AsMailItem()->Mileage(), "");

  int activated = 0;
  host::EventConnection activate;
  activate = opened->OnActivate([&] {
    ++activated;
    activate.Disconnect();  // a handler may let go of its own connection
  });
  outlook->Activate("Draft");
  outlook->Activate("Report");
  outlook->Activate("Draft");
  EXPECT_EQ(activated, 1);

  connection.Disconnect();
  opened.reset();
  outlook->Open("Later", Kind::Note, false, false);
  EXPECT_EQ(opened, nullptr);
}

TEST_F(OutlookAdaptersTest, ControlsAreFoundByIdAndTagAndNothingIsNullptr) {
  outlook->Open("Draft", Kind::Mail, false, true);
  const auto bars = Window("Draft")->GetCommandBars();
  const auto insertFile = bars->FindControlById(host::office::kInsertFileControlId);
  ASSERT_NE(insertFile, nullptr);
  EXPECT_EQ(insertFile->Id(), host::office::kInsertFileControlId);
  EXPECT_EQ(insertFile->Caption(), "Insert File");
  EXPECT_TRUE(insertFile->Visible());
  EXPECT_EQ(insertFile->Parent()->Name(), "Standard");
  EXPECT_FALSE(Window("Report")->GetCommandBars()->FindControlById(host::office::kInsertFileControlId)->Visible());

  EXPECT_EQ(bars->FindControlByTag("Mine"), nullptr);
  insertFile->SetTag("Mine");
  EXPECT_EQ(outlook->Window("Draft")->Bars().Bars().front()->Items().front()->Tag(), "Mine");
  EXPECT_EQ(bars->FindControlByTag("Mine")->Id(), host::office::kInsertFileControlId);
  EXPECT_EQ(bars->FindControlById(4242), nullptr);

  sim::SimFaults::Current().SetEmpty("Inspector.CommandBars");
  EXPECT_EQ(Window("Draft")->GetCommandBars(), nullptr);
  sim::SimFaults::Current().Clear();
}

TEST_F(OutlookAdaptersTest, ATemporaryToolbarIsBuiltSetAndDeletedInTheSim) {
  const auto bars = Window("Report")->GetCommandBars();
  const auto bar = bars->Add("Tools", host::office::kBarTop, false, true);
  bar->SetVisible(true);
  bar->SetEnabled(false);
  bar->SetProtection(host::office::kBarNoMove);
  const auto simBar = outlook->Window("Report")->Bars().Bars().back();
  EXPECT_TRUE(simBar->Temporary());
  EXPECT_TRUE(simBar->Visible());
  EXPECT_FALSE(bar->Enabled());
  EXPECT_EQ(bar->Protection(), host::office::kBarNoMove);

  const auto controls = bar->Controls();
  const auto button = controls->Add(host::office::kControlButton, 1, "", 1, true)->AsButton();
  EXPECT_EQ(controls->Count(), 1);
  button->SetTag("ToolsButton");
  button->SetStyle(host::office::kButtonIconAndCaption);
  button->SetCaption("Dropwell: loading..");
  button->SetEnabled(false);
  const auto simButton = SimButton("Report");
  EXPECT_EQ(simButton->Tag(), "ToolsButton");
  EXPECT_EQ(simButton->Style(), host::office::kButtonIconAndCaption);
  EXPECT_EQ(button->Caption(), "Dropwell: loading..");
  EXPECT_FALSE(simButton->Enabled());
  EXPECT_EQ(button->AsButton(), button);

  // A control of another type is no button.
  const auto popup = controls->Add(10, 1, "", 0, true);
  EXPECT_EQ(testing::CaughtError([&] { popup->AsButton(); }).Number(), errc::kTypeMismatch);
  EXPECT_EQ(controls->Count(), 2);

  // As the add-in clears old toolbars: the tagged control's parent goes.
  bars->FindControlByTag("ToolsButton")->Parent()->Delete();
  EXPECT_TRUE(simBar->Deleted());
  EXPECT_EQ(bars->FindControlByTag("ToolsButton"), nullptr);
  const Error again = testing::CaughtError([&] { bar->Delete(); });
  EXPECT_EQ(again.Source(), "CommandBar.Delete");
  EXPECT_EQ(testing::CaughtError([&] { bars->Add("Menu", host::office::kBarTop, true, true); }).Source(),
            "CommandBars.Add");
}

TEST_F(OutlookAdaptersTest, PasteFaceTakesThePictureOnTheInstalledClipboard) {
  dwl::testing::TestPlatform platform;
  sim::SimClipboard clipboard;
  Platform services = ThePlatform();
  services.clipboard = &clipboard;
  const ScopedPlatform withClipboard(services);

  const auto button = AddButton("Report");
  EXPECT_EQ(testing::CaughtError([&] { button->PasteFace(); }).Source(), "CommandBarButton.PasteFace");
  const Picture icon{"BM icon", 16, 16};
  clipboard.SetBitmap(icon);
  button->PasteFace();
  EXPECT_EQ(SimButton("Report")->Face(), icon);
}

TEST_F(OutlookAdaptersTest, AClickReachesTheHandlerAndItsCancelDefaultGoesBack) {
  const auto button = AddButton("Report");
  button->SetTag("ToolsButton");
  std::vector<std::string> clicks;
  auto click = button->OnClick([&](host::CommandBarButton& ctrl, bool& cancelDefault) {
    // The host names the button; it is a button again for the handler.
    clicks.push_back(ctrl.Tag() + (cancelDefault ? " cancelled" : ""));
    EXPECT_EQ(ctrl.AsButton()->Style(), 0);
    cancelDefault = true;
  });
  // The host's own handler runs after the add-in's and sees its answer.
  std::vector<bool> afterwards;
  auto hostSide = SimButton("Report")->OnClick([&](host::CommandBarButton&, bool& cancelDefault) {
    afterwards.push_back(cancelDefault);
  });
  outlook->ClickLastButton();
  EXPECT_EQ(clicks, std::vector<std::string>{"ToolsButton"});
  EXPECT_EQ(afterwards, std::vector<bool>{true});
  EXPECT_TRUE(outlook->TakeHostErrors().empty());

  // A failing handler fails to the host only.
  click = button->OnClick([](host::CommandBarButton&, bool&) { throw std::runtime_error("bad"); });
  outlook->ClickLastButton();
  const auto errors = outlook->TakeHostErrors();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].Description(), "bad");
  EXPECT_EQ(afterwards, (std::vector<bool>{true, false}));

  click.Disconnect();
  outlook->ClickLastButton();
  EXPECT_EQ(clicks.size(), 1u);
  EXPECT_TRUE(outlook->TakeHostErrors().empty());
}

}  // namespace
}  // namespace dwl::win32::outlook
