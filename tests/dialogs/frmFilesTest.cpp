#include "dialogs/frmFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <tuple>

#include "compose/MailProcessor.h"
#include "mail/Email.h"
#include "tests/addin/SimHost.h"

namespace dwl {
namespace {

class FrmFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    processor = host.ConnectWithComposeWindow();
    dialog = frmFiles::Instance();
  }
  std::string File(const std::string& name, std::uint64_t bytes) {
    const std::string path = host.platform.Path(name);
    testing::WriteBytes(path, "");
    std::filesystem::resize_file(path, bytes);
    return path;
  }
  void Open() { dialog->InitializeInterface(processor); }
  void Choose(std::vector<std::string> paths) {
    host.fileDialogs.nextChoice = std::move(paths);
    dialog->cmdAdd_Click();
  }
  std::vector<std::string> ProcessorPaths() {
    std::vector<std::string> paths;
    for (const auto& attachment : processor->GetEmail()->get_attachments()) {
      if (attachment) paths.push_back(attachment->get_FilePath());
    }
    return paths;
  }

  testing::SimHost host;
  std::shared_ptr<MailProcessor> processor;
  std::shared_ptr<frmFiles> dialog;
};

// tests/sim/dialog adds, drops and removes rows. The first adding starts in
// the documents folder.
TEST_F(FrmFilesTest, AddingRemembersTheFolderAndACancelledAddingRefreshesTheTotals) {
  Open();
  Choose({File("a.bin", 1), File("a.bin", 1)});
  EXPECT_EQ(host.fileDialogs.lastRequest.initialDirectory, host.platform.Path("documents"));
  EXPECT_EQ(processor->getBrowsePath(), host.platform.Path(""));

  host.fileDialogs.nextChoice.reset();
  processor->AddAttachment(File("behind.bin", 5));  // added elsewhere: shows in the totals
  dialog->cmdAdd_Click();
  EXPECT_EQ(dialog->ListView1.ListItems.size(), 2u) << "a cancelled dialog adds nothing";
  EXPECT_EQ(dialog->lblFiles.Caption, "3 Files") << "but refreshes the totals";
  Choose({File("edge.bin", 1047946854 - 7)});
  EXPECT_EQ(dialog->lblSize.Caption, "999.4 MB");
  Choose({File("one.bin", 1)});
  EXPECT_EQ(dialog->lblSize.Caption, "999 MB") << "the total drops its decimal above 1047946854 bytes";
  std::string edited = "renamed";
  int cancel = 0;
  dialog->ListView1_AfterLabelEdit(cancel, edited);
  EXPECT_EQ(cancel, 1) << "row texts never change";
}

// A refused password is told and leaves the stored one; an unchecked box
// stores none. (tests/sim/dialog presses OK and Enter.)
TEST_F(FrmFilesTest, PasswordRules) {
  const std::tuple<bool, const char*, const char*> cases[] = {  // checked, typed, stored (nullptr: refused)
      {true, "two words", "two words"}, {true, "  trimmed  ", "trimmed"}, {true, "one-dash", "one-dash"},
      {true, "Grüße, ünïcode!", "Grüße, ünïcode!"}, {true, "two--dashes", nullptr}, {true, "a#b", nullptr},
      {true, "it's", nullptr}, {true, "say \"hi\"", nullptr}, {true, "a/b", nullptr}, {true, "a\\b", nullptr},
      {true, "a;b", nullptr}, {false, "unchecked", ""}};
  for (const auto& [checked, typed, stored] : cases) {
    processor->setPassword("old");
    host.platform.alerts.shown.clear();
    Open();
    dialog->chkPassword.Value = checked;
    dialog->chkPassword_Click();
    dialog->txtPassword.Text = typed;
    dialog->cmdOk_Click();
    EXPECT_EQ(dialog->Visible(), stored == nullptr) << typed;
    EXPECT_EQ(host.platform.alerts.shown.size(), stored == nullptr ? 1u : 0u) << typed;
    EXPECT_EQ(processor->GetEmail()->get_Password(), stored ? stored : "old") << typed;
    int cancel = 0;
    if (stored == nullptr) dialog->Form_Unload(cancel);  // the close box: no check, nothing stored
  }
}

// Pending events run while files are added: the user may drop files or
// press "Add files" again, press Delete, or close the window.
TEST_F(FrmFilesTest, OnlyTheOutermostAddingEndsTheRefusals) {
  Open();
  const std::string dropped = File("c", 1);
  int refused = -1;
  host.dialogWindow.duringEvents = [&] {
    dialog->ListView1_OLEDragDrop({dropped});
    int cancel = 0;
    dialog->Form_Unload(cancel);
    refused = cancel;
  };
  Choose({File("a", 1), File("b", 1)});
  EXPECT_EQ(refused, 1) << "the outer adding still runs";
  EXPECT_TRUE(dialog->cmdOk.Enabled);
  EXPECT_EQ(ProcessorPaths(), (std::vector<std::string>{dropped, File("a", 1), File("b", 1)}));
}

TEST_F(FrmFilesTest, RemovingWaitsUntilTheAddingEnds) {
  Open();
  std::function<void()> pressDelete = [&] {
    // Once the first row is listed, before the processor has its file.
    if (dialog->ListView1.ListItems.size() != 1) {
      host.dialogWindow.duringEvents = pressDelete;
      return;
    }
    dialog->ListView1_KeyDown(frmFiles::kKeyDelete, 0);
    EXPECT_FALSE(dialog->cmdRemove.Enabled);
  };
  host.dialogWindow.duringEvents = pressDelete;
  Choose({File("a", 1), File("b", 1)});
  EXPECT_EQ(ProcessorPaths(), (std::vector<std::string>{File("a", 1), File("b", 1)}))
      << "each file once";
  EXPECT_TRUE(dialog->cmdRemove.Enabled);
}

}  // namespace
}  // namespace dwl
