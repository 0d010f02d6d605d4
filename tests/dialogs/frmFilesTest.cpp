#include "dialogs/frmFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "compose/MailProcessor.h"
#include "mail/Email.h"
#include "tests/addin/SimHost.h"

namespace dwl {
namespace {

class FrmFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.ConnectAddIn();
    host.outlook->Open("m1", sim::SimOutlook::ItemKind::Mail, false, true);
    processor = frmAddIn::Instance()->Slot(0);
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
    if (processor->GetEmail()->NumberOfAttachments() == 0) return paths;
    for (const auto& attachment : processor->GetEmail()->get_attachments()) {
      paths.push_back(attachment->get_FilePath());
    }
    return paths;
  }

  testing::SimHost host;
  std::shared_ptr<MailProcessor> processor;
  std::shared_ptr<frmFiles> dialog;
};

TEST_F(FrmFilesTest, TheTotalDropsItsDecimalAbove1047946854Bytes) {
  Open();
  Choose({File("edge.bin", 1047946854)});
  EXPECT_EQ(dialog->lblSize.Caption, "999.4 MB");
  Choose({File("one.bin", 1)});
  EXPECT_EQ(dialog->lblSize.Caption, "999 MB");
}

TEST_F(FrmFilesTest, TheSixteenthRowNarrowsTheNameColumn) {
  Open();
  std::vector<std::string> fifteen;
  for (int i = 1; i <= 15; ++i) fifteen.push_back(File("f" + std::to_string(i), 1));
  Choose(fifteen);
  EXPECT_EQ(dialog->ListView1.ColumnHeaders[0].Width, 3510);
  Choose({File("f16", 1), File("f17", 1)});
  EXPECT_EQ(dialog->ListView1.ColumnHeaders[0].Width, 3510 - 250) << "once, not per row";
  EXPECT_EQ(dialog->lblFiles.Caption, "17 Files");
  dialog->ListView1.ListItems[0].Selected = dialog->ListView1.ListItems[1].Selected = true;
  dialog->cmdRemove_Click();
  EXPECT_EQ(dialog->ListView1.ColumnHeaders[0].Width, 3510) << "15 rows fit again";
  Choose({File("f18", 1)});
  EXPECT_EQ(dialog->ListView1.ColumnHeaders[0].Width, 3510 - 250) << "the row count decides";
}

TEST_F(FrmFilesTest, AddingRemembersTheFolderAndAnEqualFileTwice) {
  Open();
  const std::string before = processor->getBrowsePath();
  Choose({File("a.bin", 1), File("a.bin", 1)});  // the same file twice: two rows
  EXPECT_EQ(dialog->ListView1.ListItems.size(), 2u);
  EXPECT_EQ(processor->GetEmail()->NumberOfAttachments(), 2);
  EXPECT_EQ(processor->getBrowsePath(), host.platform.Root().string() + "/");
  EXPECT_EQ(host.fileDialogs.lastRequest.initialDirectory, before);

  host.fileDialogs.nextChoice.reset();
  processor->AddAttachment(File("behind.bin", 5));  // added elsewhere: shows in the totals
  dialog->cmdAdd_Click();
  EXPECT_EQ(dialog->ListView1.ListItems.size(), 2u) << "a cancelled dialog adds nothing";
  EXPECT_EQ(dialog->lblFiles.Caption, "3 Files") << "but refreshes the totals";
}

TEST_F(FrmFilesTest, PasswordRules) {
  struct Case {
    const char* typed;
    bool accepted;
    const char* stored;
  };
  const Case cases[] = {
      {"two words", true, "two words"},  {"  trimmed  ", true, "trimmed"},
      {"one-dash", true, "one-dash"},    {"two--dashes", false, ""},
      {"a#b", false, ""},                {"it's", false, ""},
      {"say \"hi\"", false, ""},         {"a/b", false, ""},
      {"a\\b", false, ""},               {"a;b", false, ""},
      {"Grüße, ünïcode!", true, "Grüße, ünïcode!"},
  };
  for (const Case& c : cases) {
    processor->setPassword("");
    host.platform.alerts.shown.clear();
    Open();
    dialog->chkPassword.Value = true;
    dialog->chkPassword_Click();
    dialog->txtPassword.Text = c.typed;
    dialog->cmdOk_Click();
    EXPECT_EQ(!dialog->Visible(), c.accepted) << c.typed;
    EXPECT_EQ(processor->GetEmail()->get_Password(), c.stored) << c.typed;
    if (!c.accepted) {
      EXPECT_EQ(host.platform.alerts.shown.size(), 1u) << c.typed;
      int cancel = 0;
      dialog->Form_Unload(cancel);  // the close box: no check, nothing stored
    }
  }
}

TEST_F(FrmFilesTest, AnUncheckedBoxStoresAnEmptyPasswordAndEnterConfirms) {
  processor->setPassword("old");
  Open();
  dialog->chkPassword.Value = false;
  dialog->chkPassword_Click();
  EXPECT_FALSE(dialog->txtPassword.Visible);
  dialog->txtPassword_KeyUp(frmFiles::kKeyReturn, 0);
  EXPECT_FALSE(dialog->Visible());
  EXPECT_EQ(processor->GetEmail()->get_Password(), "");
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

TEST_F(FrmFilesTest, ReopeningStartsFromTheDesign) {
  Open();
  dialog->chkPassword.Value = true;
  dialog->chkPassword_Click();
  Choose({File("a", 1)});
  int cancel = 0;
  dialog->Form_Unload(cancel);
  processor->RemoveAllAttachments();
  Open();
  EXPECT_TRUE(dialog->ListView1.ListItems.empty());
  EXPECT_FALSE(dialog->txtPassword.Visible);
  EXPECT_EQ(dialog->cmdOk.Rect.top, 4785);
  std::string edited = "renamed";
  int cancelEdit = 0;
  dialog->ListView1_AfterLabelEdit(cancelEdit, edited);
  EXPECT_EQ(cancelEdit, 1) << "row texts never change";
}

}  // namespace
}  // namespace dwl
