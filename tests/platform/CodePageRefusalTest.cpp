// Queue and settings files are in the system's code page: a file name or
// password that it cannot hold is refused where it enters, never stored as '?'.
#include <gtest/gtest.h>

#include <sstream>

#include "apps/dwl/Subcommands.h"
#include "compose/MailProcessor.h"
#include "dialogs/frmFiles.h"
#include "mail/EmailQueue.h"
#include "support/AppSettings.h"
#include "tests/addin/SimHost.h"

namespace dwl {
namespace {

// Windows-1252 in effect: it holds "ö" but not "Ł".
class WesternCodePage : public CodePage {
 public:
  std::string ToAnsi(std::string_view utf8) override { return std::string(utf8); }
  std::string FromAnsi(std::string_view ansi) override { return std::string(ansi); }
  bool Holds(std::string_view utf8) override { return utf8.find("Ł") == std::string_view::npos; }
};

class CodePageRefusalTest : public ::testing::Test {
 protected:
  ScopedPlatform Western() {
    Platform services = ThePlatform();
    services.codePage = &western;
    return ScopedPlatform(services);
  }
  WesternCodePage western;
};

TEST_F(CodePageRefusalTest, TheDialogAddsOnlyTheFilesWhoseNamesFit) {
  testing::SimHost host;
  const ScopedPlatform installed = Western();
  host.ConnectAddIn();
  host.outlook->Open("m1", sim::SimOutlook::ItemKind::Mail, false, true);
  std::shared_ptr<MailProcessor> processor = frmAddIn::Instance()->Slot(0);
  const std::shared_ptr<frmFiles> dialog = frmFiles::Instance();
  dialog->InitializeInterface(processor);
  const std::string fits = host.platform.Path("böb.bin");
  const std::string lacks = host.platform.Path("Łódź.bin");
  testing::WriteBytes(fits, "1");
  testing::WriteBytes(lacks, "2");
  host.fileDialogs.nextChoice = std::vector<std::string>{fits, lacks};
  dialog->cmdAdd_Click();
  ASSERT_EQ(processor->GetEmail()->NumberOfAttachments(), 1);
  EXPECT_EQ(processor->GetEmail()->get_attachments()[0]->get_FilePath(), fits);
  ASSERT_EQ(host.platform.alerts.shown.size(), 1u);
  EXPECT_NE(host.platform.alerts.shown[0].text.find(lacks), std::string::npos);

  dialog->chkPassword.Value = true;
  dialog->chkPassword_Click();
  dialog->txtPassword.Text = "Łaska";
  dialog->cmdOk_Click();
  EXPECT_TRUE(dialog->Visible()) << "the password is refused";
  EXPECT_EQ(processor->GetEmail()->get_Password(), "");
}

TEST_F(CodePageRefusalTest, TheQueueRefusesAFileNameItCannotWrite) {
  testing::TestPlatform platform;
  const ScopedPlatform installed = Western();
  AppSettings::Instance()->RefreshSettings();
  auto email = std::make_shared<Email>();
  email->set_ID("00000000-0000-0000-0000-000000000001");
  email->AddAttachment(testing::AttachedFile(platform.Path("Łódź.bin"), "x"));
  EXPECT_TRUE(testing::ThrowsError(errc::kBadFileName, [&] { EmailQueue::Instance()->AddEmail(email); }));
  EXPECT_TRUE(testing::FileNames(AppSettings::Instance()->getMailQueueDirectory()).empty());
}

TEST_F(CodePageRefusalTest, DwlConfigRefusesAnAccountItCannotStore) {
  testing::TestPlatform platform;
  const ScopedPlatform installed = Western();
  std::ostringstream out, err;
  platform.console.lines = {"secret"};
  EXPECT_EQ(cli::RunDwl({"config", "set-account", "Łukasz"}, out, err), cli::kFailure);
  EXPECT_NE(err.str().find("the user name 'Łukasz' has a letter that this system's code page lacks"),
            std::string::npos) << err.str();
  platform.console.lines = {"Łaska"};
  EXPECT_EQ(cli::RunDwl({"config", "set-account", "böb"}, out, err), cli::kFailure);
  AppSettings::ReleaseInstance();
  AppSettings::Instance()->RefreshSettings();
  EXPECT_EQ(AppSettings::Instance()->getUsername(), "") << "nothing was stored";
}

}  // namespace
}  // namespace dwl
