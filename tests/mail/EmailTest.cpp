#include "mail/Email.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "tests/TestPlatform.h"

namespace dwl {
namespace {

class EmailTest : public ::testing::Test {
 protected:
  void SetUp() override { AppSettings::Instance()->RefreshSettings(); }

  std::shared_ptr<EmailAttachment> FileOf(const std::string& name, std::size_t bytes) {
    return testing::AttachedFile(platform.Path(name), std::string(bytes, 'x'));
  }

  testing::TestPlatform platform;
};

TEST_F(EmailTest, AFreshRecordHasOneEmptySlotInEachList) {
  Email email;
  EXPECT_EQ(email.NumberOfRecipients(), 0);
  EXPECT_EQ(email.NumberOfAttachments(), 0);
  EXPECT_EQ(email.get_Recipients(), std::vector<std::string>{""});
  ASSERT_EQ(email.get_attachments().size(), 1u);
  EXPECT_EQ(email.get_attachments()[0], nullptr);
  EXPECT_EQ(email.Size(), 0);
  EXPECT_EQ(email.get_EmailSource(), "0");
  email.set_EmailSource(1);
  EXPECT_EQ(email.get_EmailSource(), "1");
}

TEST_F(EmailTest, RecipientsFillTheFirstSlotThenAppend) {
  Email email;
  email.AddRecipient("");
  EXPECT_EQ(email.NumberOfRecipients(), 0) << "an empty first address leaves the list empty";
  email.AddRecipient("a@example.org");
  email.AddRecipient("b@example.org");
  EXPECT_EQ(email.get_Recipients(), (std::vector<std::string>{"a@example.org", "b@example.org"}));
  EXPECT_EQ(email.NumberOfRecipients(), 2);
  email.AddRecipient("");
  EXPECT_EQ(email.NumberOfRecipients(), 3) << "a later empty address counts";
}

TEST_F(EmailTest, SizeIsReadFromDiskAndCachedUntilAsked) {
  Email email;
  auto small = FileOf("small.bin", 100);
  auto large = FileOf("large.bin", 250);
  email.AddAttachment(small);
  email.AddAttachment(large);
  EXPECT_EQ(email.NumberOfAttachments(), 2);
  EXPECT_EQ(email.Size(), 350);
  EXPECT_EQ(small->get_Size(), 100);
  EXPECT_EQ(large->get_Size(), 250);

  testing::WriteBytes(large->get_FilePath(), std::string(1000, 'y'));
  EXPECT_EQ(email.Size(), 350) << "served from the cache";
  email.setGetFileSizeFromDisk(true);
  EXPECT_EQ(email.Size(), 1100);
  testing::WriteBytes(large->get_FilePath(), std::string(10, 'y'));
  email.AddAttachment(FileOf("third.bin", 1));
  EXPECT_EQ(email.Size(), 111) << "adding an attachment re-reads every size";

  email.DeleteAllAttachments();
  EXPECT_EQ(email.NumberOfAttachments(), 0);
  EXPECT_EQ(email.Size(), 0);
}

TEST_F(EmailTest, AMissingFileCountsZero) {
  Email email;
  auto missing = std::make_shared<EmailAttachment>();
  missing->set_FilePath(platform.Path("gone.bin"));
  missing->set_Size(77);
  email.AddAttachment(FileOf("a.bin", 10));
  email.AddAttachment(missing);
  email.AddAttachment(FileOf("b.bin", 5));
  EXPECT_EQ(email.Size(), 15);
  EXPECT_EQ(missing->get_Size(), 0);
}

TEST_F(EmailTest, AZeroTotalIsNeverCached) {
  Email email;
  auto empty = FileOf("empty.bin", 0);
  email.AddAttachment(empty);
  EXPECT_EQ(email.Size(), 0);
  testing::WriteBytes(empty->get_FilePath(), "grown");
  EXPECT_EQ(email.Size(), 5);
}

TEST_F(EmailTest, TheIdNamesTheQueueFile) {
  Email email;
  email.set_ID("ABC");
  EXPECT_EQ(email.get_ID(), "ABC");
  EXPECT_EQ(email.QueueFilePath(), AppSettings::Instance()->getMailQueueDirectory() + "ABC.txt");
  EXPECT_THROW(email.CreationDateTime(), Error) << "no queue file yet";
  testing::WriteBytes(email.QueueFilePath(), "");
  const LocalDateTime created = email.CreationDateTime();
  EXPECT_GE(created.year, 2024);
  EXPECT_THROW(Email().CreationDateTime(), Error) << "no ID";
}

// A file whose upload began and that changes afterwards starts afresh; one
// that stayed, one never begun and one that is gone keep their ids.
TEST_F(EmailTest, OnlyFilesChangedSinceTheirUploadBeganStartAfresh) {
  using std::filesystem::last_write_time;
  struct Case {
    const char* what;
    std::function<void(EmailAttachment&)> change;
    bool afresh;
  };
  const std::vector<Case> cases = {
      {"unchanged", [](EmailAttachment&) {}, false},
      {"same size, new bytes, newer time",
       [](EmailAttachment& file) {
         const auto before = last_write_time(file.get_FilePath());
         testing::WriteBytes(file.get_FilePath(), std::string(100, 'y'));
         last_write_time(file.get_FilePath(), before + std::chrono::seconds(2));
       },
       true},
      {"same bytes, older time",
       [](EmailAttachment& file) {
         last_write_time(file.get_FilePath(), last_write_time(file.get_FilePath()) - std::chrono::seconds(1));
       },
       true},
      {"larger", [](EmailAttachment& file) { std::filesystem::resize_file(file.get_FilePath(), 101); }, true},
      {"noted in half", [](EmailAttachment& file) { file.set_UploadModified(std::nullopt); }, true},
      {"gone", [](EmailAttachment& file) { std::filesystem::remove(file.get_FilePath()); }, false},
      {"never begun, then changed",
       [](EmailAttachment& file) {
         file.set_UploadSize(std::nullopt);
         file.set_UploadModified(std::nullopt);
         std::filesystem::resize_file(file.get_FilePath(), 50);
       },
       false},
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
    EXPECT_FALSE(file->FileSizeHasChanged());
  }
}

TEST_F(EmailTest, AResumedFileKeepsWhatItsFirstAttemptNoted) {
  auto file = FileOf("kept.bin", 10);
  file->NoteUploadStart();
  const auto noted = file->get_UploadModified();
  std::filesystem::resize_file(file->get_FilePath(), 20);
  file->NoteUploadStart();
  EXPECT_EQ(file->get_UploadSize(), 10u);
  EXPECT_EQ(file->get_UploadModified(), noted);
  EXPECT_TRUE(file->ChangedSinceUploadBegan());
}

TEST(EmailAttachmentTest, TheFileNameFollowsThePath) {
  testing::TestPlatform platform;
  EmailAttachment attachment;
  attachment.set_FilePath("/data/report.pdf");
  EXPECT_EQ(attachment.get_Filename(), "report.pdf");
  attachment.set_FilePath("report.pdf");
  EXPECT_EQ(attachment.get_Filename(), "report.pdf");
  attachment.set_FilePath("/data/");
  EXPECT_EQ(attachment.get_Filename(), "");
  attachment.set_Filename("other.pdf");
  EXPECT_EQ(attachment.get_Filename(), "other.pdf");
}

TEST(EmailAttachmentTest, SizeChangesAndExistence) {
  testing::TestPlatform platform;
  const std::string path = platform.Path("f.bin");
  testing::WriteBytes(path, "12345");
  EmailAttachment attachment;
  attachment.set_FilePath(path);
  EXPECT_TRUE(attachment.Exists());
  EXPECT_TRUE(attachment.FileSizeHasChanged()) << "never measured: 0 differs from 5 bytes";
  EXPECT_EQ(attachment.get_Size(), 5);
  EXPECT_FALSE(attachment.FileSizeHasChanged());
  testing::WriteBytes(path, "123");
  EXPECT_EQ(attachment.get_Size(), 5) << "a known size is not read again";
  EXPECT_TRUE(attachment.FileSizeHasChanged());
  std::filesystem::remove(path);
  EXPECT_FALSE(attachment.Exists());
  EXPECT_TRUE(attachment.FileSizeHasChanged()) << "a vanished file has changed";

  EmailAttachment never;
  never.set_FilePath(platform.Path("never.bin"));
  EXPECT_FALSE(never.FileSizeHasChanged()) << "unmeasured and missing: no change";
  EXPECT_EQ(never.get_Size(), 0);
  EXPECT_FALSE(EmailAttachment().Exists());
}

TEST(EmailAttachmentTest, SizesBeyondFourGigabytesAreExact) {
  testing::TestPlatform platform;
  const std::string path = platform.Path("sparse.bin");
  testing::WriteBytes(path, "");
  std::filesystem::resize_file(path, (5ULL << 30) + 1);  // sparse: no real disk use
  EmailAttachment attachment;
  attachment.set_FilePath(path);
  EXPECT_EQ(attachment.get_Size(), 5368709121.0);
  EXPECT_FALSE(attachment.FileSizeHasChanged());
  std::filesystem::resize_file(path, (5ULL << 30) + 2);
  EXPECT_TRUE(attachment.FileSizeHasChanged()) << "one byte more beyond 4 GiB";
}

}  // namespace
}  // namespace dwl
