// The adapters as the add-in meets them: the simulated Outlook shown over COM
// by simcom, read back through the adapters as host objects.
#include "platform/win32/outlook/OutlookApplication.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Error.h"
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
  std::shared_ptr<host::MailItem> Mail(const std::string& window) {
    const auto windows = Host()->GetInspectors();
    for (int i = 1; i <= windows->Count(); ++i) {
      const auto inspector = windows->Item(i);
      if (inspector->Caption() == window + " - Message") return inspector->CurrentItem()->AsMailItem();
    }
    ADD_FAILURE() << "no window " << window;
    return nullptr;
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

}  // namespace
}  // namespace dwl::win32::outlook
