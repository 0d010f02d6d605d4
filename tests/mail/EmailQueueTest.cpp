#include "mail/EmailQueue.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <map>

#include "support/ObjectRef.h"
#include "tests/TestPlatform.h"

namespace dwl {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

// The lines joined, each ended by CR LF, as the queue file holds them.
std::string CrLf(std::initializer_list<std::string> lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  return bytes;
}

std::string FileName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

class EmailQueueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto settings = AppSettings::Instance();
    settings->RefreshSettings();
    queueFolder = settings->getMailQueueDirectory();
    appFolder = settings->getApplicationDirectory();
    queue = EmailQueue::Instance();
  }

  std::shared_ptr<Email> NewEmail(const std::string& id) {
    auto email = std::make_shared<Email>();
    email->set_ID(id);
    email->set_EmailSource(1);
    return email;
  }

  std::shared_ptr<EmailAttachment> FileOf(const std::string& name, std::size_t bytes,
                                          const std::string& id = "") {
    auto attachment = testing::AttachedFile(platform.Path(name), std::string(bytes, 'x'));
    attachment->set_ID(id);
    return attachment;
  }

  std::string QueueFile(const std::string& id) const { return queueFolder + id + ".txt"; }

  // Names of the files in `folder`, sorted.
  std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const std::string& path : platform.files.ListFiles(folder)) {
      names.push_back(FileName(path));
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::shared_ptr<Email> ReadBackOnly() {
    const auto emails = queue->getEmails();
    EXPECT_EQ(emails.size(), 1u);
    return emails.front();
  }

  testing::TestPlatform platform;
  std::string queueFolder;
  std::string appFolder;
  std::shared_ptr<EmailQueue> queue;
};

// --- The file that TransferAgent reads ---

TEST_F(EmailQueueTest, AnEmailWithOneRecipientIsTwentyOneLines) {
  auto email = NewEmail("X1");
  email->set_Subject("S");
  email->set_Password("P");
  email->set_Body("B");
  email->AddRecipient("R");
  EXPECT_TRUE(queue->AddEmail(email));
  EXPECT_EQ(ReadBytes(QueueFile("X1")),
            CrLf({"<DwlEmailId>", "X1", "</DwlEmailId>", "<Subject>", "S", "</Subject>",
                  "<CreatedOnServer>", "False", "</CreatedOnServer>", "<Source>", "1", "</Source>",
                  "<Password>", "P", "</Password>", "<Body>", "B", "</Body>", "<Recipient>", "R",
                  "</Recipient>"}));
  struct stat st {};
  ASSERT_EQ(::stat(QueueFile("X1").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "the file holds the download password";
}

TEST_F(EmailQueueTest, AnEmailWithoutRecipientsOrAttachmentsIsEighteenLines) {
  auto email = NewEmail("X1");
  email->set_Subject("S");
  email->set_Password("P");
  email->set_Body("B");
  queue->AddEmail(email);
  EXPECT_EQ(ReadBytes(QueueFile("X1")),
            CrLf({"<DwlEmailId>", "X1", "</DwlEmailId>", "<Subject>", "S", "</Subject>",
                  "<CreatedOnServer>", "False", "</CreatedOnServer>", "<Source>", "1", "</Source>",
                  "<Password>", "P", "</Password>", "<Body>", "B", "</Body>"}));

  auto empty = NewEmail("X2");
  empty->set_CreatedOnServer(true);
  empty->set_EmailSource(-3);
  queue->AddEmail(empty);
  EXPECT_EQ(ReadBytes(QueueFile("X2")),
            CrLf({"<DwlEmailId>", "X2", "</DwlEmailId>", "<Subject>", "", "</Subject>",
                  "<CreatedOnServer>", "True", "</CreatedOnServer>", "<Source>", "-3", "</Source>",
                  "<Password>", "", "</Password>", "<Body>", "", "</Body>"}))
      << "an empty body is one empty line";
}

TEST_F(EmailQueueTest, AttachmentsThenRecipientsFollowTheBodyInListOrder) {
  auto email = NewEmail("X1");
  email->set_Body("L1\r\nL2\r\n");
  const auto first = FileOf("first.bin", 1);
  const auto second = FileOf("second.bin", 1, "K9");
  email->AddAttachment(first);
  email->AddAttachment(second);
  email->AddRecipient("to@example.org");
  email->AddRecipient("cc@example.org");
  queue->AddEmail(email);
  const std::string bytes = ReadBytes(QueueFile("X1"));
  const std::string tail =
      CrLf({"<Body>", "L1", "L2", "", "</Body>", "<AttachmentId>", "", "</AttachmentId>",
            "<AttachmentPath>", first->get_FilePath(), "</AttachmentPath>", "<AttachmentId>", "K9",
            "</AttachmentId>", "<AttachmentPath>", second->get_FilePath(), "</AttachmentPath>",
            "<Recipient>", "to@example.org", "</Recipient>", "<Recipient>", "cc@example.org",
            "</Recipient>"});
  ASSERT_GE(bytes.size(), tail.size());
  EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail);
}

TEST_F(EmailQueueTest, AddingAnEmailAgainReplacesItsFile) {
  auto email = NewEmail("X1");
  email->set_Subject("first");
  email->AddRecipient("R");
  queue->AddEmail(email);
  email->set_Subject("second");
  queue->AddEmail(email);
  EXPECT_EQ(FilesIn(queueFolder), std::vector<std::string>{"X1.txt"});
  const std::string bytes = ReadBytes(QueueFile("X1"));
  EXPECT_EQ(bytes.find("first"), std::string::npos);
  EXPECT_EQ(bytes.find("<DwlEmailId>"), bytes.rfind("<DwlEmailId>")) << "one copy of the entries";
  EXPECT_EQ(bytes.find("<Recipient>"), bytes.rfind("<Recipient>"));
  EXPECT_EQ(ReadBackOnly()->get_Subject(), "second");
}

// --- Reading the queue back ---

TEST_F(EmailQueueTest, ReadsBackWhatItWroteWithOneMoreLineBreakInTheBody) {
  auto email = NewEmail("X1");
  email->set_Subject("Quarterly figures");
  email->set_CreatedOnServer(true);
  email->set_Password("s3cret pass");
  email->set_Body("A\r\nB");
  email->AddRecipient("to@example.org");
  email->AddRecipient("cc@example.org");
  email->AddAttachment(FileOf("a.bin", 10, "IA"));
  email->AddAttachment(FileOf("b.bin", 20));
  queue->AddEmail(email);

  const auto read = ReadBackOnly();
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->get_ID(), "X1");
  EXPECT_EQ(read->QueueFilePath(), QueueFile("X1"));
  EXPECT_EQ(read->get_Subject(), "Quarterly figures");
  EXPECT_TRUE(read->get_CreatedOnServer());
  EXPECT_EQ(read->get_EmailSource(), "1");
  EXPECT_EQ(read->get_Password(), "s3cret pass");
  EXPECT_EQ(read->get_Body(), "A\r\nB\r\n");
  EXPECT_EQ(read->get_Recipients(),
            (std::vector<std::string>{"to@example.org", "cc@example.org"}));
  ASSERT_EQ(read->NumberOfAttachments(), 2);
  EXPECT_EQ(read->get_attachments()[0]->get_FilePath(), platform.Path("a.bin"));
  EXPECT_EQ(read->get_attachments()[0]->get_ID(), "IA");
  EXPECT_EQ(read->get_attachments()[1]->get_FilePath(), platform.Path("b.bin"));
  EXPECT_EQ(read->get_attachments()[1]->get_ID(), "");
}

TEST_F(EmailQueueTest, EachFileGetsOnlyItsOwnBody) {
  for (const std::string id : {"X1", "X2"}) {
    auto email = NewEmail(id);
    email->set_Body("body of " + id);
    queue->AddEmail(email);
  }
  const auto emails = queue->getEmails();
  ASSERT_EQ(emails.size(), 2u);
  for (const auto& email : emails) {
    EXPECT_EQ(email->get_Body(), "body of " + email->get_ID() + "\r\n");
  }
}

TEST_F(EmailQueueTest, AnAttachmentDeletedAfterQueuingIsDroppedAndTheOthersKeepTheirOrder) {
  auto email = NewEmail("X1");
  email->AddAttachment(FileOf("a.bin", 1, "IA"));
  email->AddAttachment(FileOf("b.bin", 1, "IB"));
  email->AddAttachment(FileOf("c.bin", 1, "IC"));
  queue->AddEmail(email);
  std::filesystem::remove(platform.Path("b.bin"));

  const auto attachments = ReadBackOnly()->get_attachments();
  ASSERT_EQ(attachments.size(), 2u);
  EXPECT_EQ(attachments[0]->get_FilePath(), platform.Path("a.bin"));
  EXPECT_EQ(attachments[0]->get_ID(), "IA");
  EXPECT_EQ(attachments[1]->get_FilePath(), platform.Path("c.bin"));
  EXPECT_EQ(attachments[1]->get_ID(), "IC");
}

TEST_F(EmailQueueTest, TheReaderTakesEntriesInAnyOrderAndPassesOverOtherLines) {
  WriteBytes(QueueFile("Q"), CrLf({"a note", "<Recipient>", "r@example.org", "not a closing tag",
                                   "<subject>", "lower-case tags are not tags", "</subject>",
                                   "<CreatedOnServer>", "-1", "", "<DwlEmailId>", "Q",
                                   "</DwlEmailId>", "<Source>", " 7 ", "</Source>"}));
  const auto read = ReadBackOnly();
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->get_ID(), "Q");
  EXPECT_EQ(read->get_Recipients(), std::vector<std::string>{"r@example.org"});
  EXPECT_TRUE(read->get_CreatedOnServer()) << "a non-zero number is true";
  EXPECT_EQ(read->get_EmailSource(), "7");
  EXPECT_EQ(read->get_Subject(), "");
}

TEST_F(EmailQueueTest, AFileWithoutTagsCountsAndReadsAsAnEmailWithoutID) {
  WriteBytes(queueFolder + "notes.md", "just a note\r\n");
  EXPECT_EQ(queue->getNumberOfEmails(), 1);
  const auto read = ReadBackOnly();
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->get_ID(), "");
  EXPECT_EQ(read->NumberOfRecipients(), 0);
  EXPECT_TRUE(testing::ThrowsError(errc::kFileNotFound, [&] { queue->MostRecentEmail(); }))
      << "its creation time is looked up by the ID, which it lacks";
}

TEST_F(EmailQueueTest, AFileThatCannotBeReadMakesTheReaderFail) {
  const std::map<std::string, long> broken = {
      {CrLf({"<Source>", "abc", "</Source>"}), errc::kTypeMismatch},
      {CrLf({"<CreatedOnServer>", "maybe", "</CreatedOnServer>"}), errc::kTypeMismatch},
      {CrLf({"<Subject>", "cut short"}), errc::kInputPastEndOfFile},
      {CrLf({"<Body>", "no end"}), errc::kInputPastEndOfFile},
      {CrLf({"<AttachmentPath>", "/no/id/before", "</AttachmentPath>"}), kObjectNotSet},
      {CrLf({"<AttachmentSize>", "-1", "</AttachmentSize>"}), errc::kTypeMismatch},
      {CrLf({"<AttachmentSize>", " 12", "</AttachmentSize>"}), errc::kTypeMismatch},
      {CrLf({"<AttachmentSize>", "18446744073709551616", "</AttachmentSize>"}), errc::kOverflow},
      {CrLf({"<AttachmentModified>", "12x", "</AttachmentModified>"}), errc::kTypeMismatch},
      {CrLf({"<AttachmentModified>", "", "</AttachmentModified>"}), errc::kTypeMismatch},
  };
  for (const auto& [bytes, number] : broken) {
    WriteBytes(QueueFile("bad"), bytes);
    EXPECT_TRUE(testing::ThrowsError(number, [&] { queue->getEmails(); })) << bytes;
  }
}

// Found by fuzzing: a second path after one id renamed the attachment that
// the first path had added, so the record named a file that is not there.
TEST_F(EmailQueueTest, APathWithoutAnIdOfItsOwnMakesTheReaderFail) {
  const std::string kept = FileOf("kept.bin", 3)->get_FilePath();
  WriteBytes(QueueFile("twice"),
             CrLf({"<DwlEmailId>", "twice", "</DwlEmailId>", "<AttachmentId>", "A1", "</AttachmentId>",
                   "<AttachmentPath>", kept, "</AttachmentPath>", "<AttachmentPath>",
                   platform.Path("missing.bin"), "</AttachmentPath>"}));
  EXPECT_TRUE(testing::ThrowsError(kObjectNotSet, [&] { queue->getEmails(); }));
}

TEST_F(EmailQueueTest, AnEmptyQueue) {
  EXPECT_EQ(queue->getEmails(), std::vector<std::shared_ptr<Email>>{nullptr});
  EXPECT_EQ(queue->getNumberOfEmails(), 0);
  EXPECT_EQ(queue->Size(), 0);
  EXPECT_TRUE(testing::ThrowsError(kObjectNotSet, [&] { queue->MostRecentEmail(); }));
}

TEST_F(EmailQueueTest, AMissingQueueFolderIsAnError) {
  queue->setQueuePath(platform.Path("gone") + "/");
  EXPECT_THROW(queue->getNumberOfEmails(), Error);
  EXPECT_THROW(queue->getEmails(), Error);
  EXPECT_THROW(queue->RemoveAllEmails(), Error);
  EXPECT_THROW(queue->AddEmail(NewEmail("X1")), Error);
  EXPECT_EQ(FilesIn(appFolder), std::vector<std::string>{"settings.cfg"}) << "no file left over";
  EXPECT_TRUE(platform.transferAgent.starts.empty());
}

TEST_F(EmailQueueTest, TheQueuePathCanBeMovedAndIsSharedByTheProcess) {
  const std::string other = platform.Path("other") + "/";
  std::filesystem::create_directory(other);
  EmailQueue::Instance()->setQueuePath(other);
  queue->AddEmail(NewEmail("X1"));
  EXPECT_TRUE(std::filesystem::exists(other + "X1.txt"));
  EXPECT_EQ(FilesIn(queueFolder), std::vector<std::string>{});
  EXPECT_EQ(queue->getNumberOfEmails(), 1);
}

// --- Removing ---

TEST_F(EmailQueueTest, RemovingDeletesTheFileOfTheIDAndRefusesAReadOnlyOne) {
  auto email = NewEmail("X1");
  queue->AddEmail(email);
  queue->AddEmail(NewEmail("X2"));
  queue->RemoveEmail(email);
  EXPECT_EQ(FilesIn(queueFolder), std::vector<std::string>{"X2.txt"});
  queue->RemoveEmailWithID("X2");
  EXPECT_EQ(queue->getNumberOfEmails(), 0);
  queue->RemoveEmailWithID("X2");  // nothing left to delete is no failure

  queue->AddEmail(email);
  std::filesystem::permissions(QueueFile("X1"), std::filesystem::perms::owner_read);
  EXPECT_TRUE(testing::ThrowsError(errc::kPathFileAccess, [&] { queue->RemoveEmail(email); }));
  EXPECT_TRUE(std::filesystem::exists(QueueFile("X1")));
  EXPECT_TRUE(testing::ThrowsError(kObjectNotSet, [&] { queue->RemoveEmail(nullptr); }));
}

TEST_F(EmailQueueTest, RemovingAllDeletesEveryFileItCanAndEmptiesTheList) {
  auto old = NewEmail("X1");
  old->AddAttachment(FileOf("old.bin", 100));
  queue->AddEmail(old);
  queue->AddEmail(NewEmail("X2"));
  WriteBytes(queueFolder + "stray.bin", "?");
  WriteBytes(queueFolder + "kept.txt", "");
  std::filesystem::permissions(queueFolder + "kept.txt", std::filesystem::perms::owner_read);
  EXPECT_EQ(queue->getEmails().size(), 4u);

  queue->RemoveAllEmails();
  EXPECT_EQ(FilesIn(queueFolder), std::vector<std::string>{"kept.txt"});
  std::filesystem::permissions(queueFolder + "kept.txt", std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
  std::filesystem::remove(queueFolder + "kept.txt");

  auto fresh = NewEmail("X3");
  fresh->AddAttachment(FileOf("new.bin", 10));
  queue->AddEmail(fresh);
  EXPECT_EQ(queue->Size(), 10) << "an emptied list is read again, not the e-mails before";
}

// --- Size and the most recent e-mail ---

TEST_F(EmailQueueTest, SizeAddsTheAttachmentsAsTheyAreOnDisk) {
  auto first = NewEmail("X1");
  first->AddAttachment(FileOf("a.bin", 100));
  first->AddAttachment(FileOf("b.bin", 250));
  queue->AddEmail(first);
  auto second = NewEmail("X2");
  second->AddAttachment(FileOf("c.bin", 40));
  queue->AddEmail(second);
  EXPECT_EQ(queue->Size(), 390) << "the first call reads the folder";

  WriteBytes(platform.Path("b.bin"), std::string(300, 'y'));
  EXPECT_EQ(queue->Size(), 440) << "sizes are measured on every call";
  std::filesystem::remove(platform.Path("a.bin"));
  EXPECT_EQ(queue->Size(), 340) << "a file gone counts nothing";

  auto third = NewEmail("X3");
  third->AddAttachment(FileOf("d.bin", 5));
  queue->AddEmail(third);
  EXPECT_EQ(queue->Size(), 340) << "the list stays as last read";
  queue->getEmails();
  EXPECT_EQ(queue->Size(), 345);
}

TEST_F(EmailQueueTest, TheMostRecentEmailIsTheOneCreatedLast) {
  queue->AddEmail(NewEmail("X1"));
  EXPECT_EQ(queue->MostRecentEmail()->get_ID(), "X1") << "a single e-mail";

  queue->AddEmail(NewEmail("X2"));
  queue->AddEmail(NewEmail("X3"));
  testing::CreationTimes files(platform.files);
  files.times = {{"X1.txt", {2026, 5, 1, 10, 0, 0}},
                 {"X2.txt", {2026, 5, 1, 12, 0, 0}},
                 {"X3.txt", {2026, 5, 1, 11, 59, 59}}};
  const ScopedPlatform installed = testing::TestPlatform::WithFiles(files);
  EXPECT_EQ(queue->MostRecentEmail()->get_ID(), "X2");

  for (auto& [name, time] : files.times) time = {2026, 5, 1, 9, 0, 0};
  const std::string front = queue->getEmails().front()->get_ID();
  EXPECT_EQ(queue->MostRecentEmail()->get_ID(), front) << "on a tie the front one wins";
}

// --- Starting TransferAgent ---

TEST_F(EmailQueueTest, TransferAgentIsStartedOnlyWhenItDoesNotRun) {
  platform.transferAgent.running = true;
  queue->StartEmailTransfers();
  queue->AddEmail(NewEmail("X1"));
  EXPECT_TRUE(platform.transferAgent.starts.empty());

  platform.transferAgent.running = false;
  queue->StartEmailTransfers();
  EXPECT_EQ(platform.transferAgent.starts, std::vector<std::string>{platform.Module()});
}

// Records the queue file as it is when the agent is started.
class AgentReadingTheQueue : public testing::FakeTransferAgentControl {
 public:
  std::string queueFile;
  std::string seen = "(no file)";
  void Start(const std::string& moduleFolder) override {
    if (std::filesystem::exists(queueFile)) seen = ReadBytes(queueFile);
    FakeTransferAgentControl::Start(moduleFolder);
  }
};

TEST_F(EmailQueueTest, AddingStartsTheAgentOnceTheFileIsWhole) {
  AgentReadingTheQueue agent;
  agent.queueFile = QueueFile("X1");
  Platform services = platform.services;
  services.transferAgent = &agent;
  ScopedPlatform installed(services);

  auto email = NewEmail("X1");
  email->AddRecipient("R");
  EXPECT_TRUE(queue->AddEmail(email));
  EXPECT_EQ(agent.starts, std::vector<std::string>{platform.Module()});
  EXPECT_EQ(agent.seen, ReadBytes(QueueFile("X1")));
  EXPECT_NE(agent.seen.find("</Recipient>"), std::string::npos);
}

class AgentThatCannotStart : public testing::FakeTransferAgentControl {
 public:
  void Start(const std::string&) override {
    throw Error(errc::kFileNotFound, "TransferAgentControl.Start", "File not found: TransferAgent");
  }
};

TEST_F(EmailQueueTest, AnAgentThatCannotStartIsLoggedAndNeverFailsTheCaller) {
  AgentThatCannotStart agent;
  Platform services = platform.services;
  services.transferAgent = &agent;
  std::optional<ScopedPlatform> installed(services);
  EXPECT_NO_THROW(queue->StartEmailTransfers());
  EXPECT_TRUE(queue->AddEmail(NewEmail("X1")));
  EXPECT_TRUE(std::filesystem::exists(QueueFile("X1")));

  services.transferAgent = nullptr;  // a platform without the agent
  installed.emplace(services);
  EXPECT_NO_THROW(queue->StartEmailTransfers());

  const std::string log = ReadBytes(ApplicationLog::Instance()->getLogFilePath());
  const std::string line =
      "EmailQueue.StartEmailTransfers:01:File not found: TransferAgent, 53\r\n";
  const auto first = log.find(line);
  ASSERT_NE(first, std::string::npos) << log;
  EXPECT_NE(log.find(line, first + 1), std::string::npos) << "once for each start: " << log;
  EXPECT_NE(log.find("EmailQueue.StartEmailTransfers:01:Object variable or With block variable "
                     "not set, 91\r\n"),
            std::string::npos)
      << log;
}

// --- No half-written queue file ---

// Opens writers that fail with a full disk after `linesBeforeFailure`
// lines, and records where files were opened for writing.
class DiskFillsUp : public testing::FileSystemWrapper {
 public:
  using FileSystemWrapper::FileSystemWrapper;
  int linesBeforeFailure = 1000;
  std::vector<std::string> opened;

  std::unique_ptr<TextWriter> OpenTextForAppending(const std::string& path,
                                                   FileAccess access) override {
    opened.push_back(path);
    return std::make_unique<Writer>(target_.OpenTextForAppending(path, access), linesBeforeFailure);
  }

 private:
  class Writer : public TextWriter {
   public:
    Writer(std::unique_ptr<TextWriter> target, int lines)
        : target_(std::move(target)), lines_(lines) {}
    void WriteLine(const std::string& line) override {
      if (lines_-- <= 0) throw Error(errc::kDiskFull, "TextWriter.WriteLine", "Disk full");
      target_->WriteLine(line);
    }

   private:
    std::unique_ptr<TextWriter> target_;
    int lines_;
  };
};

TEST_F(EmailQueueTest, AFileIsWrittenOutsideTheQueueFolderAndMovedIn) {
  DiskFillsUp files(platform.files);
  const ScopedPlatform installed = testing::TestPlatform::WithFiles(files);
  queue->AddEmail(NewEmail("X1"));
  ASSERT_EQ(files.opened.size(), 1u);
  const std::string& temporary = files.opened.front();
  EXPECT_EQ(temporary.substr(0, temporary.rfind('/') + 1), appFolder)
      << "TransferAgent reads every file in the queue folder";
  EXPECT_FALSE(std::filesystem::exists(temporary));
  EXPECT_TRUE(std::filesystem::exists(QueueFile("X1")));
}

TEST_F(EmailQueueTest, AWriteThatFailsHalfwayLeavesTheEarlierFileAndNoPart) {
  auto email = NewEmail("X1");
  email->set_Subject("old");
  email->AddRecipient("R");
  queue->AddEmail(email);
  const std::string before = ReadBytes(QueueFile("X1"));
  platform.transferAgent.starts.clear();

  DiskFillsUp files(platform.files);
  files.linesBeforeFailure = 10;
  const ScopedPlatform installed = testing::TestPlatform::WithFiles(files);
  email->set_Subject("new");
  EXPECT_TRUE(testing::ThrowsError(errc::kDiskFull, [&] { queue->AddEmail(email); }));
  EXPECT_TRUE(testing::ThrowsError(errc::kDiskFull, [&] { queue->AddEmail(NewEmail("X2")); }));

  EXPECT_EQ(ReadBytes(QueueFile("X1")), before);
  EXPECT_EQ(FilesIn(queueFolder), std::vector<std::string>{"X1.txt"});
  EXPECT_EQ(FilesIn(appFolder), std::vector<std::string>{"settings.cfg"});
  EXPECT_TRUE(platform.transferAgent.starts.empty()) << "nothing new to transfer";
}

// --- No tag injection ---

TEST_F(EmailQueueTest, LineBreaksInValuesCannotAddEntries) {
  auto email = NewEmail("X1");
  email->set_Subject("S\r\n<Recipient>\r\nevil@example.org");
  email->set_Password("p\nq");
  email->AddAttachment(FileOf("a.bin", 1, "I\nD"));
  auto gone = std::make_shared<EmailAttachment>();
  gone->set_FilePath(platform.Path("x\r\n<Recipient>\r\nevil@example.org"));
  email->AddAttachment(gone);
  email->AddRecipient("r@example.org\r</Recipient>\r\n<Recipient>\nevil@example.org");
  queue->AddEmail(email);

  const std::string bytes = ReadBytes(QueueFile("X1"));
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 33) << "18 + 2 * 6 + 3 lines";
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'), 33) << "each ended by CR LF only";
  const auto read = ReadBackOnly();
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->get_Subject(), "S <Recipient> evil@example.org");
  EXPECT_EQ(read->get_Password(), "p q");
  EXPECT_EQ(read->get_Recipients(), std::vector<std::string>{
                                        "r@example.org </Recipient> <Recipient> evil@example.org"});
  ASSERT_EQ(read->NumberOfAttachments(), 1) << "the second file does not exist";
  EXPECT_EQ(read->get_attachments()[0]->get_ID(), "I D");
}

TEST_F(EmailQueueTest, ABodyLineLikeTheClosingTagDoesNotEndTheBody) {
  auto email = NewEmail("X1");
  email->set_Body("Hi\r\n</Body>\r\n<Recipient>\r\nevil@example.org\r\n</Body> \r\nend\rlone\nbreaks");
  email->AddRecipient("r@example.org");
  queue->AddEmail(email);

  EXPECT_NE(ReadBytes(QueueFile("X1"))
                .find(CrLf({"<Body>", "Hi", "</Body> ", "<Recipient>", "evil@example.org",
                            "</Body>  ", "end", "lone", "breaks", "</Body>", "<Recipient>"})),
            std::string::npos)
      << "such a line carries one blank more; other lines stay as they are";
  const auto read = ReadBackOnly();
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->get_Body(),
            "Hi\r\n</Body>\r\n<Recipient>\r\nevil@example.org\r\n</Body> \r\nend\r\nlone\r\nbreaks\r\n");
  EXPECT_EQ(read->get_Recipients(), std::vector<std::string>{"r@example.org"});
}

// --- Queue IDs are file names ---

TEST_F(EmailQueueTest, AnIDThatCannotNameAQueueFileIsRefused) {
  const std::string outside = appFolder + "victim.txt";
  WriteBytes(outside, "keep me");
  auto snapshot = [&] {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(platform.Root())) {
      if (entry.is_regular_file()) files[entry.path().string()] = ReadBytes(entry.path().string());
    }
    return files;
  };
  const auto before = snapshot();

  for (const std::string& id :
       {std::string(""), std::string("../victim"), std::string("a/b"), std::string("a\\b"),
        std::string(".."), std::string("."), std::string("a\rb"), std::string("a\x7f"),
        std::string("a\0b", 3), std::string("a<b"), std::string("a>b"), std::string("C:x"),
        std::string("a\"b"), std::string("a|b"), std::string("a?b"), std::string("a*b"),
        std::string("CON"), std::string("nul.x"), std::string("Com1"), std::string("LPT9 ")}) {
    auto email = NewEmail(id);
    EXPECT_TRUE(testing::ThrowsError(errc::kBadFileName, [&] { queue->AddEmail(email); }))
        << "AddEmail accepted '" << id << "'";
    EXPECT_TRUE(testing::ThrowsError(errc::kBadFileName, [&] { queue->RemoveEmail(email); }))
        << "RemoveEmail accepted '" << id << "'";
    EXPECT_TRUE(testing::ThrowsError(errc::kBadFileName, [&] { queue->RemoveEmailWithID(id); }))
        << "RemoveEmailWithID accepted '" << id << "'";
  }
  EXPECT_EQ(snapshot(), before);
  EXPECT_TRUE(platform.transferAgent.starts.empty());

  try {
    queue->RemoveEmailWithID("../victim");
    ADD_FAILURE() << "no error";
  } catch (const Error& failure) {
    EXPECT_EQ(failure.Source(), "EmailQueue.RemoveEmailWithID");
    EXPECT_EQ(failure.Description(),
              "The e-mail ID \"../victim\" cannot name a queue file: it holds a path separator");
  }
}

TEST_F(EmailQueueTest, IDsThatAreFileNamesAreTaken) {
  for (const std::string id :
       {"2F1C0D3E-7A8B-4C5D-9E0F-A1B2C3D4E5F6", "a.b c", "a..b", "...", "CONSOLE", "COM10", "ünïcode"}) {
    EXPECT_TRUE(queue->AddEmail(NewEmail(id))) << id;
    EXPECT_TRUE(std::filesystem::exists(QueueFile(id))) << id;
    queue->RemoveEmailWithID(id);
    EXPECT_FALSE(std::filesystem::exists(QueueFile(id))) << id;
  }
  EXPECT_TRUE(testing::ThrowsError(kObjectNotSet, [&] { queue->AddEmail(nullptr); }));
}

TEST_F(EmailQueueTest, ARewriteKeepsTheFileAsItWasButForTheChange) {
  auto email = NewEmail("R1");
  email->set_Subject("S");
  email->set_Body("line one\r\nline two");
  email->AddAttachment(FileOf("a.bin", 3));
  email->AddRecipient("r@example.org");
  queue->AddEmail(email);
  const std::string before = ReadBytes(QueueFile("R1"));

  // A file whose name is not its ID is rewritten where it lies.
  const std::string other = queueFolder + "renamed.txt";
  std::filesystem::rename(QueueFile("R1"), other);
  for (int round = 0; round < 3; ++round) {
    const auto read = EmailQueue::ReadQueueFile(other);
    queue->RewriteQueueFile(*read, other);
  }
  EXPECT_EQ(ReadBytes(other), before) << "rewriting what was read changes nothing, however often";

  const auto read = EmailQueue::ReadQueueFile(other);
  read->set_CreatedOnServer(true);
  read->get_attachments()[0]->set_ID("att-7");
  queue->RewriteQueueFile(*read, other);
  const auto again = EmailQueue::ReadQueueFile(other);
  EXPECT_TRUE(again->get_CreatedOnServer());
  EXPECT_EQ(again->get_attachments()[0]->get_ID(), "att-7");
  EXPECT_EQ(again->get_Body(), "line one\r\nline two\r\n");
  EXPECT_EQ(FilesIn(queueFolder), std::vector<std::string>{"renamed.txt"});
  EXPECT_EQ(FilesIn(appFolder).size(), 1u) << "only settings.cfg: no temporary file is left";
}

// What TransferAgent notes of a file when its upload began goes after the
// file's path, in its rewrites only: the add-in's file stays as it was.
TEST_F(EmailQueueTest, WhatTheAgentNotedOfAFileIsKeptByRewritesOnly) {
  auto email = NewEmail("N1");
  const auto noted = FileOf("noted.bin", 3, "IA");
  const auto plain = FileOf("plain.bin", 4);
  const auto gone = FileOf("gone.bin", 5, "IG");
  email->AddAttachment(noted);
  email->AddAttachment(gone);
  email->AddAttachment(plain);
  queue->AddEmail(email);
  const std::string asQueued = ReadBytes(QueueFile("N1"));
  noted->set_UploadSize(3);
  noted->set_UploadModified(1700000000123456789);  // beyond 32 bits
  gone->set_UploadSize(5);
  gone->set_UploadModified(-7);
  queue->AddEmail(email);
  EXPECT_EQ(ReadBytes(QueueFile("N1")), asQueued) << "the add-in's file never holds them";

  queue->RewriteQueueFile(*email, QueueFile("N1"));
  const std::string rewritten = ReadBytes(QueueFile("N1"));
  EXPECT_NE(rewritten.find(CrLf({"<AttachmentPath>", noted->get_FilePath(), "</AttachmentPath>",
                                 "<AttachmentSize>", "3", "</AttachmentSize>", "<AttachmentModified>",
                                 "1700000000123456789", "</AttachmentModified>", "<AttachmentId>"})),
            std::string::npos)
      << rewritten;
  EXPECT_NE(rewritten.find(CrLf({"<AttachmentSize>", "5", "</AttachmentSize>", "<AttachmentModified>",
                                 "-7", "</AttachmentModified>"})),
            std::string::npos);

  // The gone file's entries follow a path the reader leaves out: they must
  // not land on the file before it.
  std::filesystem::remove(gone->get_FilePath());
  const auto read = EmailQueue::ReadQueueFile(QueueFile("N1"));
  ASSERT_EQ(read->NumberOfAttachments(), 2);
  const auto& first = *read->get_attachments()[0];
  const auto& second = *read->get_attachments()[1];
  EXPECT_EQ(first.get_UploadSize(), 3u);
  EXPECT_EQ(first.get_UploadModified(), 1700000000123456789);
  EXPECT_EQ(second.get_FilePath(), plain->get_FilePath());
  EXPECT_FALSE(second.get_UploadSize() || second.get_UploadModified());

  queue->RewriteQueueFile(*read, QueueFile("N1"));
  const auto again = EmailQueue::ReadQueueFile(QueueFile("N1"));
  EXPECT_EQ(again->get_attachments()[0]->get_UploadModified(), 1700000000123456789);
}

}  // namespace
}  // namespace dwl
