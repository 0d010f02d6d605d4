#include "addin/SavedClipboard.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/sim/SimClipboard.h"

namespace dwl {
namespace {

// A simulated clipboard whose saving or restoring fails on demand.
class FaultyClipboard : public sim::SimClipboard {
 public:
  bool failSave = false;
  bool failRestore = false;
  int restores = 0;
  std::unique_ptr<ClipboardContent> Save() override {
    if (failSave) throw Error(errc::kPermissionDenied, "Clipboard.Open", "Access is denied.");
    return SimClipboard::Save();
  }
  void Restore(const ClipboardContent& content) override {
    ++restores;
    if (failRestore) throw Error(errc::kOutOfMemory, "Clipboard.Restore", "Not enough memory");
    SimClipboard::Restore(content);
  }
};

const Picture kIcon{"BM-icon-bytes", 16, 16};

TEST(SavedClipboardTest, TheUsersContentComesBackHoweverTheBorrowingEnds) {
  FaultyClipboard clipboard;
  TolerantRun run("updateAttachmentsCommandbar");
  clipboard.SetBitmap(kIcon);
  {
    const SavedClipboard saved(clipboard, run);
    clipboard.SetText("borrowed");
  }
  EXPECT_EQ(clipboard.GetPicture(), kIcon);
  EXPECT_EQ(clipboard.GetText(), "");

  clipboard.SetText("the user's text");
  EXPECT_THROW(
      {
        const SavedClipboard saved(clipboard, run);
        clipboard.SetBitmap(kIcon);
        throw std::runtime_error("the button refused its face");
      },
      std::runtime_error);
  EXPECT_EQ(clipboard.GetText(), "the user's text");
  EXPECT_EQ(clipboard.GetPicture(), std::nullopt);

  clipboard.Clear();
  {
    const SavedClipboard saved(clipboard, run);
    clipboard.SetText("borrowed");
  }
  EXPECT_EQ(clipboard.GetText(), "") << "an empty clipboard stays empty";
  EXPECT_FALSE(run.HasPending());
}

TEST(SavedClipboardTest, AFailingSaveIsPendingAndNothingIsPutBack) {
  FaultyClipboard clipboard;
  TolerantRun run("updateAttachmentsCommandbar");
  clipboard.SetText("the user's text");
  clipboard.failSave = true;
  {
    const SavedClipboard saved(clipboard, run);
    clipboard.SetText("left by the borrower");
  }
  EXPECT_EQ(clipboard.restores, 0);
  EXPECT_EQ(clipboard.GetText(), "left by the borrower");
  ASSERT_TRUE(run.HasPending());
  EXPECT_EQ(run.Pending()->Number(), errc::kPermissionDenied);
}

TEST(SavedClipboardTest, AFailingRestoreIsPendingAndDoesNotEscape) {
  FaultyClipboard clipboard;
  TolerantRun run("updateAttachmentsCommandbar");
  clipboard.SetText("the user's text");
  clipboard.failRestore = true;
  EXPECT_NO_THROW({ const SavedClipboard saved(clipboard, run); });
  EXPECT_EQ(clipboard.restores, 1);
  ASSERT_TRUE(run.HasPending());
  EXPECT_EQ(run.Pending()->Source(), "Clipboard.Restore");
}

}  // namespace
}  // namespace dwl
