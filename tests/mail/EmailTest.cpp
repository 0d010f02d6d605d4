#include "mail/Email.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "tests/TestPlatform.h"

namespace dwl {
namespace {

using namespace std::chrono_literals;
using std::filesystem::last_write_time;

class EmailTest : public ::testing::Test {
 protected:
  void SetUp() override { AppSettings::Instance()->RefreshSettings(); }

  std::shared_ptr<EmailAttachment> FileOf(const std::string& name, std::size_t bytes) {
    return testing::AttachedFile(platform.Path(name), std::string(bytes, 'x'));
  }

  testing::TestPlatform platform;
};

TEST_F(EmailTest, ListsKeepOneEmptySlotUntilTheFirstItemFillsIt) {
  Email email;
  EXPECT_EQ(email.get_attachments(), std::vector<std::shared_ptr<EmailAttachment>>{nullptr});
  email.AddRecipient("");
  EXPECT_EQ(email.get_Recipients(), std::vector<std::string>{""}) << "an empty first address";
  for (const char* address : {"a@example.org", "b@example.org", ""}) email.AddRecipient(address);
  EXPECT_EQ(email.get_Recipients(), (std::vector<std::string>{"a@example.org", "b@example.org", ""}));
  EXPECT_EQ(email.NumberOfRecipients(), 3) << "a later empty address counts";
}

TEST_F(EmailTest, SizeIsReadFromDiskAndCachedUntilAsked) {
  Email email;
  const auto large = FileOf("large.bin", 250);
  const auto missing = std::make_shared<EmailAttachment>();
  missing->set_FilePath(platform.Path("gone.bin"));
  email.AddAttachment(FileOf("small.bin", 100));
  email.AddAttachment(missing);
  email.AddAttachment(large);
  EXPECT_EQ(email.Size(), 350) << "a missing file counts 0";

  testing::WriteBytes(large->get_FilePath(), std::string(1000, 'y'));
  EXPECT_EQ(email.Size(), 350) << "served from the cache";
  email.setGetFileSizeFromDisk(true);
  EXPECT_EQ(email.Size(), 1100);
  testing::WriteBytes(large->get_FilePath(), std::string(10, 'y'));
  email.AddAttachment(FileOf("third.bin", 1));
  EXPECT_EQ(email.Size(), 111) << "adding an attachment re-reads every size";

  Email empty;
  empty.AddAttachment(FileOf("empty.bin", 0));
  EXPECT_EQ(empty.Size(), 0);
  testing::WriteBytes(platform.Path("empty.bin"), "grown");
  EXPECT_EQ(empty.Size(), 5) << "a total of 0 is never cached";
}

// A file whose upload began and that changes afterwards starts afresh (a
// resumed upload keeps what its first attempt noted); one that stayed, one
// never begun and one that is gone keep their ids.
TEST_F(EmailTest, OnlyFilesChangedSinceTheirUploadBeganStartAfresh) {
  struct Case {
    const char* what;
    std::function<void(EmailAttachment&)> change;
    bool afresh;
  };
  const auto touch = [](EmailAttachment& f, std::chrono::seconds by) {
    last_write_time(f.get_FilePath(), last_write_time(f.get_FilePath()) + by);
  };
  const auto resize = [](EmailAttachment& f, int bytes) { std::filesystem::resize_file(f.get_FilePath(), bytes); };
  const auto rewrite = [](EmailAttachment& f) { testing::WriteBytes(f.get_FilePath(), std::string(100, 'y')); };
  const std::vector<Case> cases = {
      {"unchanged", [](EmailAttachment&) {}, false},
      {"same size, new bytes, newer time", [&](EmailAttachment& f) { rewrite(f); touch(f, 2s); }, true},
      {"same bytes, older time", [&](EmailAttachment& f) { touch(f, -1s); }, true},
      {"larger", [&](EmailAttachment& f) { resize(f, 101); }, true},
      {"noted in half", [](EmailAttachment& f) { f.set_UploadModified(std::nullopt); }, true},
      {"larger, then resumed", [&](EmailAttachment& f) { resize(f, 150); f.NoteUploadStart(); }, true},
      {"gone", [](EmailAttachment& f) { std::filesystem::remove(f.get_FilePath()); }, false},
      {"never begun, then changed",
       [&](EmailAttachment& f) { f.set_UploadSize({}); f.set_UploadModified({}); resize(f, 50); }, false},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Email email;
    auto file = FileOf("file" + std::to_string(++n) + ".bin", 100);
    file->set_ID("ID-" + std::to_string(n));
    email.AddAttachment(file);
    EXPECT_EQ(email.Size(), 100);
    file->NoteUploadStart();
    ASSERT_EQ(file->get_UploadSize(), 100u);
    ASSERT_EQ(file->get_UploadModified(), platform.files.ModificationTime(file->get_FilePath()));
    c.change(*file);

    const std::vector<std::string> afresh = email.StartChangedFilesAfresh();
    EXPECT_EQ(afresh, c.afresh ? std::vector<std::string>{file->get_FilePath()} : std::vector<std::string>{});
    EXPECT_EQ(file->get_ID().empty(), c.afresh);
    if (c.afresh) {
      EXPECT_FALSE(file->get_UploadSize() || file->get_UploadModified()) << "noted again when it starts";
    }
    EXPECT_EQ(email.Size(), FileSizeOrZero(file->get_FilePath())) << "every file is measured again";
  }
}

// The transfer client sends a file afresh when its size no longer is the one
// it measured: exact beyond 4 GiB, and a vanished file has changed.
TEST_F(EmailTest, AnAttachmentTellsWhetherItsFileSizeChanged) {
  const std::string path = platform.Path("sparse.bin");
  testing::WriteBytes(path, "");
  std::filesystem::resize_file(path, (5ULL << 30) + 1);  // sparse: no real disk use
  EmailAttachment attachment;
  attachment.set_FilePath(path);
  EXPECT_EQ(attachment.get_Filename(), "sparse.bin");
  EXPECT_TRUE(attachment.FileSizeHasChanged()) << "never measured";
  EXPECT_EQ(attachment.get_Size(), 5368709121.0);
  EXPECT_FALSE(attachment.FileSizeHasChanged());
  std::filesystem::resize_file(path, (5ULL << 30) + 2);
  EXPECT_EQ(attachment.get_Size(), 5368709121.0) << "a known size is not read again";
  EXPECT_TRUE(attachment.FileSizeHasChanged()) << "one byte more beyond 4 GiB";
  std::filesystem::remove(path);
  EXPECT_FALSE(attachment.Exists());
  EXPECT_TRUE(attachment.FileSizeHasChanged()) << "a vanished file has changed";
}

}  // namespace
}  // namespace dwl
