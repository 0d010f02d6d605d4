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

TEST_F(FrmFilesTest, OpensWithTheRecordsFilesAndStoredPassword) {
  processor->AddAttachment(File("a.bin", 10));
  processor->AddAttachment(File("b.bin", 20));
  processor->setPassword("kept secret");
  Open();
  EXPECT_TRUE(dialog->Visible());
  ASSERT_EQ(dialog->ListView1.ListItems.size(), 2u);
  EXPECT_EQ(dialog->ListView1.ListItems[1].Text, "b.bin");
  EXPECT_EQ(dialog->ListView1.ListItems[1].SubItems[1], host.platform.Path("b.bin"));
  EXPECT_EQ(dialog->lblFiles.Caption, "2 Files");
  EXPECT_TRUE(dialog->chkPassword.Value);
  EXPECT_TRUE(dialog->txtPassword.Visible);
  EXPECT_EQ(dialog->txtPassword.Text, "kept secret");
  EXPECT_EQ(dialog->cmdOk.Rect.top, 4785 + 350);
  EXPECT_EQ(dialog->frameTotals.Rect.top, 3475 + 150);
  EXPECT_EQ(dialog->ClientArea.height, 5280 + 350);
  EXPECT_EQ(dialog->cmdOk.TabIndex, 1);
  EXPECT_EQ(host.dialogWindow.focus, "cmdOk");
  EXPECT_TRUE(host.dialogWindow.shown);
  EXPECT_TRUE(host.dialogWindow.foreground);
  EXPECT_TRUE(host.dialogWindow.topmost);
}

TEST_F(FrmFilesTest, RowsFollowTheLocaleAndTheTotalAlwaysUsesAPoint) {
  Open();
  Choose({File("five.bin", 5242880)});
  EXPECT_EQ(dialog->ListView1.ListItems[0].SubItems[0], "5.0 MB");
  EXPECT_EQ(dialog->lblSize.Caption, "5.0 MB");
  host.platform.numberFormat.decimal = ",";
  host.platform.numberFormat.thousands = ".";
  Choose({File("five2.bin", 5242880)});
  EXPECT_EQ(dialog->ListView1.ListItems[1].SubItems[0], "5,0 MB");
  EXPECT_EQ(dialog->lblSize.Caption, "10.0 MB");
  Choose({File("big.bin", 2000ULL * 1048576)});
  EXPECT_EQ(dialog->ListView1.ListItems[2].SubItems[0], "2.000,0 MB") << "rows keep the locale's grouping";
  EXPECT_EQ(dialog->lblSize.Caption, "2010 MB") << "the total has no grouping";
}

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

TEST_F(FrmFilesTest, DeletingRowsLeavesTheProcessorWithTheRestInOrder) {
  Open();
  Choose({File("1", 1), File("2", 2), File("3", 3), File("4", 4)});
  dialog->ListView1.ListItems[1].Selected = true;
  dialog->ListView1.ListItems[2].Selected = true;
  dialog->ListView1_KeyDown(frmFiles::kKeyDelete, 0);
  ASSERT_EQ(dialog->ListView1.ListItems.size(), 2u);
  EXPECT_EQ(dialog->ListView1.ListItems[0].Text, "1");
  EXPECT_EQ(dialog->ListView1.ListItems[1].Text, "4");
  EXPECT_EQ(ProcessorPaths(), (std::vector<std::string>{host.platform.Path("1"), host.platform.Path("4")}));
  EXPECT_EQ(dialog->lblFiles.Caption, "2 Files");
}

TEST_F(FrmFilesTest, AddingRemembersTheFolderAndAnEqualFileTwice) {
  Open();
  const std::string before = processor->getBrowsePath();
  Choose({File("a.bin", 1), File("a.bin", 1)});  // the same file twice: two rows
  EXPECT_EQ(dialog->ListView1.ListItems.size(), 2u);
  EXPECT_EQ(processor->GetEmail()->NumberOfAttachments(), 2);
  EXPECT_EQ(processor->getBrowsePath(), host.platform.Root().string() + "/");
  EXPECT_EQ(host.fileDialogs.lastRequest.title, "Add Dropwell attachment(s)");
  EXPECT_EQ(host.fileDialogs.lastRequest.initialDirectory, before);
  EXPECT_EQ(host.fileDialogs.lastRequest.filter, std::string("All Files (*.*)\0*.*\0", 20));
  EXPECT_TRUE(host.fileDialogs.lastRequest.centreOnOwner);

  host.fileDialogs.nextChoice.reset();
  processor->AddAttachment(File("behind.bin", 5));  // added elsewhere: shows in the totals
  dialog->cmdAdd_Click();
  EXPECT_EQ(dialog->ListView1.ListItems.size(), 2u) << "a cancelled dialog adds nothing";
  EXPECT_EQ(dialog->lblFiles.Caption, "3 Files") << "but refreshes the totals";
}

TEST_F(FrmFilesTest, DroppingAddsFilesButNotFoldersAndKeepsTheFolder) {
  Open();
  const std::string before = processor->getBrowsePath();
  std::filesystem::create_directories(host.platform.Path("folder"));
  dialog->ListView1_OLEDragDrop({host.platform.Path("folder"), host.platform.Path("missing")});
  EXPECT_TRUE(dialog->ListView1.ListItems.empty());
  dialog->ListView1_OLEDragDrop({File("x", 1), File("y", 1)});
  EXPECT_EQ(dialog->ListView1.ListItems.size(), 2u);
  EXPECT_EQ(processor->getBrowsePath(), before);
  EXPECT_TRUE(dialog->cmdOk.Enabled);
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
      ASSERT_EQ(host.platform.alerts.shown.size(), 1u) << c.typed;
      EXPECT_EQ(host.platform.alerts.shown[0].text, "Your password can only contain letters and numbers.");
      EXPECT_EQ(host.platform.alerts.shown[0].title, "Please change your password");
      EXPECT_EQ(host.dialogWindow.focus, "txtPassword");
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
  EXPECT_EQ(dialog->cmdOk.Rect.top, 4785) << "the row goes back";
  dialog->txtPassword_KeyUp(frmFiles::kKeyReturn, 0);
  EXPECT_FALSE(dialog->Visible());
  EXPECT_EQ(processor->GetEmail()->get_Password(), "");
}

TEST_F(FrmFilesTest, ClosingIsRefusedWhileFilesAreAdded) {
  Open();
  int refused = -1;
  host.dialogWindow.duringEvents = [&] {
    int cancel = 0;
    dialog->Form_Unload(cancel);
    refused = cancel;
  };
  Choose({File("a", 1), File("b", 1)});
  EXPECT_EQ(refused, 1);
  EXPECT_TRUE(dialog->Visible());
  EXPECT_TRUE(dialog->cmdOk.Enabled);
  int cancel = 0;
  dialog->Form_Unload(cancel);
  EXPECT_EQ(cancel, 0);
  EXPECT_FALSE(dialog->Visible());
  EXPECT_EQ(processor->GetEmail()->NumberOfAttachments(), 2) << "closing keeps what was added";
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
