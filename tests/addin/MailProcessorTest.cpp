#include "compose/MailProcessor.h"

#include <gtest/gtest.h>

#include "addin/AddInToolbar.h"
#include "mail/Email.h"
#include "tests/addin/SimHost.h"

namespace dwl {
namespace {

class MailProcessorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.ConnectAddIn();
    window = host.outlook->Open("m1", sim::SimOutlook::ItemKind::Mail, false, true);
    processor = frmAddIn::Instance()->Slot(0);
    ASSERT_NE(processor, nullptr);
  }
  testing::SimHost host;
  std::shared_ptr<sim::SimInspector> window;
  std::shared_ptr<MailProcessor> processor;
};

// The identifier's form shows in the dwl sim scenarios' queue files; the
// first folder in FrmFilesTest.
TEST_F(MailProcessorTest, EachWindowHasANewIdentifier) {
  host.outlook->Open("m2", sim::SimOutlook::ItemKind::Mail, false, true);
  EXPECT_NE(frmAddIn::Instance()->Slot(1)->GetEmail()->get_ID(), processor->GetEmail()->get_ID())
      << "each window its own";
}

TEST_F(MailProcessorTest, ASentMailsWindowKeepsItsToolbarAsItWas) {
  host.outlook->Activate("m1");
  const auto caption = [&] { return window->Bars().FindControlByTag(kAddInButtonTag)->Caption(); };
  window->Mail()->sent = true;
  const std::string path = host.platform.Path("f.bin");
  testing::WriteBytes(path, std::string(1048576, 'x'));
  processor->AddAttachment(path);
  host.outlook->Activate("m1");
  EXPECT_EQ(caption(), " Dropwell: 0 files, 0.0 MB");
  EXPECT_TRUE(host.outlook->TakeHostErrors().empty());
}

TEST_F(MailProcessorTest, AfterCloseTheWindowsActivateNoLongerReachesIt) {
  const auto bars = window->GetCommandBars();
  host.outlook->Close("m1");
  EXPECT_EQ(processor->Inspector(), nullptr);
  window->RaiseActivate();  // a stray event from the host
  EXPECT_EQ(bars->FindControlByTag(kAddInButtonTag), nullptr);
  EXPECT_EQ(processor->MailItem(), window->Mail()) << "the mail item stays with the processor";
}

}  // namespace
}  // namespace dwl
