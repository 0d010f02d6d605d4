#include "mail/EmailQueue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <map>

#include "support/ApplicationLog.h"
#include "support/ObjectRef.h"
#include "tests/TestPlatform.h"

namespace dwl {
namespace {

using namespace std::string_literals;
using testing::FileNames;
using testing::ReadBytes;
using testing::ThrowsError;
using testing::WriteBytes;

// The lines joined, each ended by CR LF, as the queue file holds them.
std::string CrLf(std::initializer_list<std::string> lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  return bytes;
}

// A file of the sandbox to attach, with the id the server gave it.
struct File {
  std::string name;
  std::size_t bytes;
  std::string id = "";
};

// The attachments as "name:id", with what was noted of each when its upload began.
std::string Files(const Email& email) {
  std::string text;
  if (email.NumberOfAttachments() == 0) return text;
  for (const auto& file : email.get_attachments()) {
    text += " " + file->get_Filename() + ":" + file->get_ID();
    if (file->get_UploadSize()) text += ":" + std::to_string(*file->get_UploadSize());
    if (file->get_UploadModified()) text += "@" + std::to_string(*file->get_UploadModified());
  }
  return text;
}

class EmailQueueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AppSettings::Instance()->RefreshSettings();
    queueFolder = AppSettings::Instance()->getMailQueueDirectory();
    appFolder = AppSettings::Instance()->getApplicationDirectory();
    queue = EmailQueue::Instance();
  }

  std::shared_ptr<Email> NewEmail(const std::string& id, std::initializer_list<File> files = {}) {
    auto email = std::make_shared<Email>();
    email->set_ID(id);
    email->set_EmailSource(1);
    for (const File& file : files) {
      email->AddAttachment(testing::AttachedFile(platform.Path(file.name), std::string(file.bytes, 'x')));
      email->get_attachments().back()->set_ID(file.id);
    }
    return email;
  }

  std::string QueueFile(const std::string& id) const { return queueFolder + id + ".txt"; }

  testing::TestPlatform platform;
  std::string queueFolder;
  std::string appFolder;
  std::shared_ptr<EmailQueue> queue;
};

TEST_F(EmailQueueTest, ReadsBackWhatItWroteWithOneMoreLineBreakInTheBody) {
  auto full = NewEmail("X1", {{"a.bin", 10, "IA"}, {"b.bin", 20}});
  full->set_Subject("Quarterly figures");
  full->set_CreatedOnServer(true);
  full->set_Password("s3cret pass");
  full->set_Body("A\r\n</Body>\r\nB");
  full->AddRecipient("to@example.org");
  full->AddRecipient("cc@example.org");
  queue->AddEmail(NewEmail("X1"));
  queue->AddEmail(full);  // replaces the first file of the ID
#ifndef _WIN32  // (the Windows file system's own tests check its owner-only files)
  EXPECT_EQ(testing::Mode(QueueFile("X1")), 0600u) << "the file holds the download password";
#endif
  auto empty = NewEmail("X2");
  empty->set_EmailSource(-3);
  queue->AddEmail(empty);

  std::map<std::string, std::shared_ptr<Email>> read;
  for (const auto& email : queue->getEmails()) read[email->get_ID()] = email;
  ASSERT_EQ(read.size(), 2u);
  const Email& x1 = *read["X1"];
  EXPECT_EQ(x1.get_Subject(), "Quarterly figures");
  EXPECT_TRUE(x1.get_CreatedOnServer());
  EXPECT_EQ(x1.get_Password(), "s3cret pass");
  EXPECT_EQ(x1.get_Body(), "A\r\n</Body>\r\nB\r\n");
  EXPECT_EQ(x1.get_Recipients(), (std::vector<std::string>{"to@example.org", "cc@example.org"}));
  EXPECT_EQ(Files(x1), " a.bin:IA b.bin:");
  const Email& x2 = *read["X2"];
  EXPECT_EQ(x2.get_EmailSource(), "-3");
  EXPECT_EQ(x2.get_Body(), "\r\n") << "each file only its own body";
  EXPECT_EQ(x2.NumberOfRecipients() + x2.NumberOfAttachments(), 0);
}

TEST_F(EmailQueueTest, TheReaderTakesEntriesInAnyOrderAndPassesOverOtherLines) {
  WriteBytes(QueueFile("Q"), CrLf({"a note", "<Recipient>", "r@example.org", "not a closing tag",
                                   "<subject>", "lower-case tags are not tags", "</subject>",
                                   "<CreatedOnServer>", "-1", "", "<DwlEmailId>", "Q",
                                   "</DwlEmailId>", "<Source>", " 7 ", "</Source>"}));
  const auto read = EmailQueue::ReadQueueFile(QueueFile("Q"));
  EXPECT_EQ(read->get_ID(), "Q");
  EXPECT_EQ(read->get_Recipients(), std::vector<std::string>{"r@example.org"});
  EXPECT_TRUE(read->get_CreatedOnServer()) << "a non-zero number is true";
  EXPECT_EQ(read->get_EmailSource(), "7");
  EXPECT_EQ(read->get_Subject(), "");
}

TEST_F(EmailQueueTest, AFileThatCannotBeReadMakesTheReaderFail) {
  const std::map<std::string, long> broken = {
      {CrLf({"<Source>", "abc", "</Source>"}), errc::kTypeMismatch},
      {CrLf({"<CreatedOnServer>", "maybe", "</CreatedOnServer>"}), errc::kTypeMismatch},
      {CrLf({"<Subject>", "cut short"}), errc::kInputPastEndOfFile},
      {CrLf({"<Body>", "no end"}), errc::kInputPastEndOfFile},
      {CrLf({"<AttachmentPath>", "/no/id/before", "</AttachmentPath>"}), kObjectNotSet},
      // Found by fuzzing: a second path renamed the attachment the first had added.
      {CrLf({"<AttachmentId>", "A1", "</AttachmentId>", "<AttachmentPath>", "/a", "</AttachmentPath>",
             "<AttachmentPath>", "/b", "</AttachmentPath>"}),
       kObjectNotSet},
      {CrLf({"<AttachmentSize>", "-1", "</AttachmentSize>"}), errc::kTypeMismatch},
      {CrLf({"<AttachmentSize>", " 12", "</AttachmentSize>"}), errc::kTypeMismatch},
      {CrLf({"<AttachmentSize>", "18446744073709551616", "</AttachmentSize>"}), errc::kOverflow},
      {CrLf({"<AttachmentModified>", "12x", "</AttachmentModified>"}), errc::kTypeMismatch},
      {CrLf({"<AttachmentModified>", "", "</AttachmentModified>"}), errc::kTypeMismatch},
  };
  for (const auto& [bytes, number] : broken) {
    WriteBytes(QueueFile("bad"), bytes);
    EXPECT_TRUE(ThrowsError(number, [&] { queue->getEmails(); })) << bytes;
  }
}

TEST_F(EmailQueueTest, AnEmptyOrMissingQueue) {
  EXPECT_EQ(queue->getEmails(), std::vector<std::shared_ptr<Email>>{nullptr});
  EXPECT_EQ(queue->Size(), 0);
  EXPECT_TRUE(ThrowsError(kObjectNotSet, [&] { queue->MostRecentEmail(); }));
  WriteBytes(queueFolder + "notes.md", "just a note\r\n");
  EXPECT_EQ(queue->getNumberOfEmails(), 1) << "any file counts";
  EXPECT_TRUE(ThrowsError(errc::kFileNotFound, [&] { queue->MostRecentEmail(); }))
      << "its creation time is looked up by the ID, which it lacks";

  queue->setQueuePath(platform.Path("gone/"));
  EXPECT_THROW(queue->RemoveAllEmails(), Error);
  EXPECT_THROW(queue->AddEmail(NewEmail("X1")), Error);
  EXPECT_EQ(FileNames(appFolder), std::vector<std::string>{"settings.cfg"}) << "no file left over";
  EXPECT_TRUE(platform.transferAgent.starts.empty());
}

TEST_F(EmailQueueTest, RemovingDeletesWhatItCanAndSizeMeasuresWhatIsLeft) {
  auto email = NewEmail("X1");
  queue->AddEmail(email);
  queue->AddEmail(NewEmail("X2"));
  queue->RemoveEmail(email);
  queue->RemoveEmail(email);  // nothing left to delete is no failure
  EXPECT_EQ(FileNames(queueFolder), std::vector<std::string>{"X2.txt"});
  queue->AddEmail(email);
  std::filesystem::permissions(QueueFile("X1"), std::filesystem::perms::owner_read);
  EXPECT_TRUE(ThrowsError(errc::kPathFileAccess, [&] { queue->RemoveEmailWithID("X1"); }));
  EXPECT_TRUE(ThrowsError(kObjectNotSet, [&] { queue->RemoveEmail(nullptr); }));

  WriteBytes(queueFolder + "stray.bin", "?");
  EXPECT_EQ(queue->getEmails().size(), 3u);
  queue->RemoveAllEmails();
  EXPECT_EQ(FileNames(queueFolder), std::vector<std::string>{"X1.txt"}) << "the read-only one stays";
  std::filesystem::permissions(QueueFile("X1"), std::filesystem::perms::owner_all);
  std::filesystem::remove(QueueFile("X1"));
  queue->AddEmail(NewEmail("X3", {{"new.bin", 10}, {"gone.bin", 5}}));
  EXPECT_EQ(queue->Size(), 15) << "an emptied list is read again, not the e-mails before";
  WriteBytes(platform.Path("new.bin"), std::string(30, 'y'));
  std::filesystem::remove(platform.Path("gone.bin"));
  EXPECT_EQ(queue->Size(), 30) << "sizes are measured on every call; a file gone counts nothing";
}

TEST_F(EmailQueueTest, TheMostRecentEmailIsTheOneCreatedLast) {
  queue->AddEmail(NewEmail("X1"));
  queue->AddEmail(NewEmail("X2"));
  queue->AddEmail(NewEmail("X3"));
  testing::CreationTimes files;
  files.times = {{"X1.txt", {2026, 5, 1, 10, 0, 0}},
                 {"X2.txt", {2026, 5, 1, 12, 0, 0}},
                 {"X3.txt", {2026, 5, 1, 11, 59, 59}}};
  const ScopedPlatform installed = testing::TestPlatform::WithFiles(files);
  EXPECT_EQ(queue->MostRecentEmail()->get_ID(), "X2");
}

TEST_F(EmailQueueTest, TheAgentStartsOnceTheFileIsWholeAndOnlyWhenItDoesNotRun) {
  platform.transferAgent.running = true;
  queue->AddEmail(NewEmail("X0"));
  EXPECT_TRUE(platform.transferAgent.starts.empty());
  platform.transferAgent.running = false;
  auto email = NewEmail("X1");
  email->AddRecipient("R");
  std::string seen;
  platform.transferAgent.onStart = [&] { seen = ReadBytes(QueueFile("X1")); };
  EXPECT_TRUE(queue->AddEmail(email));
  EXPECT_EQ(platform.transferAgent.starts, std::vector<std::string>{platform.Module()});
  EXPECT_NE(seen.find("</Recipient>"), std::string::npos) << seen;

  // One that cannot start is logged and never fails the caller.
  platform.transferAgent.onStart = [] { throw Error(errc::kFileNotFound, "Start", "No agent"); };
  EXPECT_TRUE(queue->AddEmail(NewEmail("X2")));
  Platform services = platform.services;
  services.transferAgent = nullptr;  // a platform without the agent
  const ScopedPlatform withoutAgent(services);
  EXPECT_NO_THROW(queue->StartEmailTransfers());
  const std::string log = ReadBytes(ApplicationLog::Instance()->getLogFilePath());
  EXPECT_NE(log.find("EmailQueue.StartEmailTransfers:01:No agent, 53\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(", 91\r\n"), std::string::npos) << log;
}

// Writers that fail with a full disk after `linesBeforeFailure` lines; records
// where files were opened for writing.
class DiskFillsUp : public SystemFileSystem {
 public:
  int linesBeforeFailure = 1000;
  std::vector<std::string> opened;

  std::unique_ptr<TextWriter> OpenTextForAppending(const std::string& path,
                                                   FileAccess access) override {
    struct Writer : TextWriter {
      Writer(std::unique_ptr<TextWriter> target, int lines) : target(std::move(target)), lines(lines) {}
      void WriteLine(const std::string& line) override {
        if (lines-- <= 0) throw Error(errc::kDiskFull, "TextWriter.WriteLine", "Disk full");
        target->WriteLine(line);
      }
      std::unique_ptr<TextWriter> target;
      int lines;
    };
    opened.push_back(path);
    return std::make_unique<Writer>(SystemFileSystem::OpenTextForAppending(path, access),
                                    linesBeforeFailure);
  }
};

TEST_F(EmailQueueTest, AFileIsWrittenBesideTheQueueAndMovedInWholeOrNotAtAll) {
  DiskFillsUp files;
  const ScopedPlatform installed = testing::TestPlatform::WithFiles(files);
  auto email = NewEmail("X1");
  queue->AddEmail(email);
  ASSERT_EQ(files.opened.size(), 1u);
  EXPECT_EQ(files.opened[0].substr(0, files.opened[0].rfind(files.Separator()) + 1), appFolder)
      << "TransferAgent reads every file in the queue folder";
  const std::string before = ReadBytes(QueueFile("X1"));
  platform.transferAgent.starts.clear();

  files.linesBeforeFailure = 10;
  email->set_Subject("new");
  EXPECT_TRUE(ThrowsError(errc::kDiskFull, [&] { queue->AddEmail(email); }));
  EXPECT_TRUE(ThrowsError(errc::kDiskFull, [&] { queue->AddEmail(NewEmail("X2")); }));
  EXPECT_EQ(ReadBytes(QueueFile("X1")), before);
  EXPECT_EQ(FileNames(queueFolder), std::vector<std::string>{"X1.txt"});
  EXPECT_EQ(FileNames(appFolder), std::vector<std::string>{"settings.cfg"});
  EXPECT_TRUE(platform.transferAgent.starts.empty()) << "nothing new to transfer";
}

TEST_F(EmailQueueTest, LineBreaksInValuesCannotAddEntries) {
  auto email = NewEmail("X1", {{"a.bin", 1, "I\nD"}});
  email->set_Subject("S\r\n<Recipient>\r\nevil@example.org");
  email->AddRecipient("r@example.org\r</Recipient>\r\n<Recipient>\nevil@example.org");
  queue->AddEmail(email);
  const auto read = EmailQueue::ReadQueueFile(QueueFile("X1"));
  EXPECT_EQ(read->get_Subject(), "S <Recipient> evil@example.org");
  EXPECT_EQ(read->get_Recipients(), std::vector<std::string>{
                                        "r@example.org </Recipient> <Recipient> evil@example.org"});
  EXPECT_EQ(Files(*read), " a.bin:I D");
}

TEST_F(EmailQueueTest, OnlyAnIDThatNamesAFileInTheQueueFolderIsTaken) {
  WriteBytes(appFolder + "victim.txt", "keep me");
  for (const std::string& id : {""s, "../victim"s, "a/b"s, "a\\b"s, ".."s, "."s, "a\rb"s, "a\x7f"s,
                                "a\0b"s, "a<b"s, "a>b"s, "C:x"s, "a\"b"s, "a|b"s, "a?b"s, "a*b"s,
                                "CON"s, "nul.x"s, "Com1"s, "LPT9 "s}) {
    const auto email = NewEmail(id);
    EXPECT_TRUE(ThrowsError(errc::kBadFileName, [&] { queue->AddEmail(email); })) << id;
    EXPECT_TRUE(ThrowsError(errc::kBadFileName, [&] { queue->RemoveEmail(email); })) << id;
    EXPECT_TRUE(ThrowsError(errc::kBadFileName, [&] { queue->RemoveEmailWithID(id); })) << id;
  }
  EXPECT_EQ(ReadBytes(appFolder + "victim.txt"), "keep me");
  EXPECT_TRUE(FileNames(queueFolder).empty());
  for (const std::string id : {"2F1C0D3E-7A8B-4C5D-9E0F-A1B2C3D4E5F6", "a.b c", "a..b", "...",
                               "CONSOLE", "COM10", "ünïcode"}) {
    EXPECT_TRUE(queue->AddEmail(NewEmail(id))) << id;
    EXPECT_EQ(FileNames(queueFolder), std::vector<std::string>{id + ".txt"});
    queue->RemoveEmailWithID(id);
  }
}

// TransferAgent keeps its progress in the file it read, whatever its name,
// and what it noted of each file when its upload began after the file's path.
TEST_F(EmailQueueTest, ARewriteKeepsTheFileAsItWasButForTheChange) {
  auto email = NewEmail("R1", {{"noted.bin", 3, "IA"}, {"gone.bin", 5, "IG"}, {"plain.bin", 4}});
  email->set_Body("line one\r\nline two");
  email->AddRecipient("r@example.org");
  queue->AddEmail(email);
  const std::string file = queueFolder + "renamed.txt";
  std::filesystem::rename(QueueFile("R1"), file);
  const std::string before = ReadBytes(file);
  for (int round = 0; round < 3; ++round) queue->RewriteQueueFile(*EmailQueue::ReadQueueFile(file), file);
  EXPECT_EQ(ReadBytes(file), before) << "rewriting what was read changes nothing, however often";

  const auto read = EmailQueue::ReadQueueFile(file);
  read->set_CreatedOnServer(true);
  read->get_attachments()[0]->set_UploadSize(3);
  read->get_attachments()[0]->set_UploadModified(1700000000123456789);  // beyond 32 bits
  read->get_attachments()[1]->set_UploadSize(5);
  read->get_attachments()[1]->set_UploadModified(-7);
  queue->RewriteQueueFile(*read, file);
  for (const auto& attachment : email->get_attachments()) attachment->set_UploadSize(1);
  queue->AddEmail(email);
  EXPECT_EQ(ReadBytes(QueueFile("R1")), before) << "the add-in's file never holds what was noted";
  std::filesystem::remove(QueueFile("R1"));
  // The gone file's entries follow a path the reader leaves out: they must
  // not land on the file before it.
  std::filesystem::remove(platform.Path("gone.bin"));
  for (int round = 0; round < 2; ++round) {
    const auto again = EmailQueue::ReadQueueFile(file);
    EXPECT_TRUE(again->get_CreatedOnServer());
    EXPECT_EQ(again->get_Body(), "line one\r\nline two\r\n");
    EXPECT_EQ(Files(*again), " noted.bin:IA:3@1700000000123456789 plain.bin:");
    queue->RewriteQueueFile(*again, file);
  }
  EXPECT_EQ(FileNames(queueFolder), std::vector<std::string>{"renamed.txt"});
  EXPECT_EQ(FileNames(appFolder), std::vector<std::string>{"settings.cfg"}) << "no temporary file";
}

}  // namespace
}  // namespace dwl
