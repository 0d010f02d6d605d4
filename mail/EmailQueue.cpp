#include "mail/EmailQueue.h"

#include <charconv>
#include <optional>
#include <string_view>

#include "platform/Platform.h"
#include "support/ApplicationLog.h"
#include "support/ObjectRef.h"
#include "support/ProcessWide.h"
#include "support/TaggedFile.h"
#include "support/TolerantRun.h"
#include "support/ValueText.h"

namespace dwl {

namespace {

// Names Windows keeps for devices, whatever extension follows them.
bool IsDeviceName(const std::string& id) {
  std::string base = id.substr(0, id.find('.'));
  base.erase(base.find_last_not_of(' ') + 1);
  for (char& c : base) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
  return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) &&
         base[3] >= '1' && base[3] <= '9';
}

// Why `id` cannot name a file in the queue folder on any platform we run
// on, or nullptr when it can.
const char* QueueIdProblem(const std::string& id) {
  if (id.empty()) return "it is empty";
  if (id == "." || id == "..") return "it names a folder";
  for (const unsigned char c : id) {
    if (c == '/' || c == '\\') return "it holds a path separator";
    if (c < 0x20 || c == 0x7f) return "it holds a control character";
    if (std::string_view("<>:\"|?*").find(static_cast<char>(c)) != std::string_view::npos) {
      return "it holds a character that file names cannot hold";
    }
  }
  if (IsDeviceName(id)) return "it is a device name";
  return nullptr;
}

// A whole number as the queue file keeps it: decimal digits, a minus sign
// first where `Number` is signed; nothing else.
template <class Number>
Number ToCount(const std::string& text, const char* tag) {
  Number value{};
  const char* end = text.data() + text.size();
  const auto [stop, problem] = std::from_chars(text.data(), end, value);
  if (text.empty() || problem != std::errc() || stop != end) {
    throw Error(problem == std::errc::result_out_of_range ? errc::kOverflow : errc::kTypeMismatch,
                "EmailQueue.ReadQueueFile", std::string("Not a number in <") + tag + ">: " + text);
  }
  return value;
}

// With `uploadState`, also what TransferAgent noted of each file when its
// upload began; the add-in's own file never holds it.
void WriteQueueFile(const Email& email, TaggedFileWriter& out, bool uploadState) {
  out.WriteEntry("DwlEmailId", email.get_ID());
  out.WriteEntry("Subject", email.get_Subject());
  out.WriteEntry("CreatedOnServer", FlagText(email.get_CreatedOnServer()));
  out.WriteEntry("Source", email.get_EmailSource());
  out.WriteEntry("Password", email.get_Password());
  out.WriteTextEntry("Body", email.get_Body());
  if (email.NumberOfAttachments() > 0) {
    for (const std::shared_ptr<EmailAttachment>& attachment : email.get_attachments()) {
      out.WriteEntry("AttachmentId", Use(attachment.get()).get_ID());
      out.WriteEntry("AttachmentPath", attachment->get_FilePath());
      if (!uploadState) continue;
      if (const auto& size = attachment->get_UploadSize()) {
        out.WriteEntry("AttachmentSize", std::to_string(*size));
      }
      if (const auto& modified = attachment->get_UploadModified()) {
        out.WriteEntry("AttachmentModified", std::to_string(*modified));
      }
    }
  }
  if (email.NumberOfRecipients() >= 1) {
    for (const std::string& address : email.get_Recipients()) out.WriteEntry("Recipient", address);
  }
}

}  // namespace

// Accepts more than WriteQueueFile writes: entries in any order, unknown
// lines passed over. Attachments whose files are gone are left out. Each
// AttachmentPath belongs to the AttachmentId before it; a path without one
// of its own is an error. AttachmentSize and AttachmentModified belong to
// the attachment of the path before them.
std::shared_ptr<Email> EmailQueue::ReadQueueFile(const std::string& path) {
  const std::unique_ptr<TextReader> file = ThePlatform().files->OpenTextForReading(path);
  TaggedFileReader in(*file);
  auto email = std::make_shared<Email>();
  std::string body;
  std::shared_ptr<EmailAttachment> attachment;
  std::shared_ptr<EmailAttachment> lastAdded;
  while (const std::optional<std::string> line = in.NextLine()) {
    if (*line == "<DwlEmailId>") {
      email->set_ID(in.ReadValue());
    } else if (*line == "<Subject>") {
      email->set_Subject(in.ReadValue());
    } else if (*line == "<CreatedOnServer>") {
      email->set_CreatedOnServer(ToFlag(in.ReadValue()));
    } else if (*line == "<Source>") {
      email->set_EmailSource(ToWholeNumber(in.ReadValue()));
    } else if (*line == "<Password>") {
      email->set_Password(in.ReadValue());
    } else if (*line == "<Body>") {
      body += in.ReadUntil("</Body>");
      email->set_Body(body);
    } else if (*line == "<AttachmentId>") {
      attachment = std::make_shared<EmailAttachment>();
      attachment->set_ID(in.ReadValue());
    } else if (*line == "<AttachmentPath>") {
      const std::string filePath = in.ReadValue();
      Use(attachment.get()).set_FilePath(filePath);
      lastAdded = attachment->Exists() ? attachment : nullptr;
      if (lastAdded) {
        email->AddAttachment(lastAdded);
      } else if (!filePath.empty()) {
        email->NoteMissingFile(filePath);
      }
      // A second path must not rename the attachment just added.
      attachment.reset();
    } else if (*line == "<AttachmentSize>") {
      const auto size = ToCount<std::uint64_t>(in.ReadValue(), "AttachmentSize");
      if (lastAdded) lastAdded->set_UploadSize(size);
    } else if (*line == "<AttachmentModified>") {
      const auto modified = ToCount<std::int64_t>(in.ReadValue(), "AttachmentModified");
      if (lastAdded) lastAdded->set_UploadModified(modified);
    } else if (*line == "<Recipient>") {
      email->AddRecipient(in.ReadValue());
    }
  }
  return email;
}

void EmailQueue::RewriteQueueFile(const Email& readBack, const std::string& path) {
  Email record = readBack;
  const std::string& body = record.get_Body();
  if (body.size() >= 2 && body.compare(body.size() - 2, 2, "\r\n") == 0) {
    record.set_Body(body.substr(0, body.size() - 2));
  }
  const std::string name = path.substr(path.find_last_of(ThePlatform().files->Separator()) + 1);
  WriteTaggedFile(path, scratchFolder_ + name + ".new", FileAccess::Private,
                  [&](TaggedFileWriter& out) { WriteQueueFile(record, out, true); });
}

EmailQueue::EmailQueue() {
  const std::shared_ptr<AppSettings> settings = AppSettings::Instance();
  queuePath_ = settings->getMailQueueDirectory();
  scratchFolder_ = settings->getApplicationDirectory();
}

std::shared_ptr<EmailQueue> EmailQueue::Instance() { return ProcessWide<EmailQueue>::Get(); }

void EmailQueue::ReleaseInstance() { ProcessWide<EmailQueue>::Release(); }

void EmailQueue::setQueuePath(const std::string& directoryPath) { queuePath_ = directoryPath; }

std::vector<std::shared_ptr<Email>> EmailQueue::getEmails() {
  LoadQueueFiles();
  return emails_;
}

std::string EmailQueue::QueueFileOf(const std::string& id, const char* source) const {
  if (const char* problem = QueueIdProblem(id)) {
    std::string shown = id;
    for (char& c : shown) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    }
    throw Error(errc::kBadFileName, source,
                "The e-mail ID \"" + shown + "\" cannot name a queue file: " + problem);
  }
  return queuePath_ + id + fileExtension_;
}

bool EmailQueue::AddEmail(const std::shared_ptr<Email>& objEmail) {
  const Email& email = Use(objEmail.get());
  const std::string path = QueueFileOf(email.get_ID(), "EmailQueue.AddEmail");
  // The queue file is in the system's code page: a file name or password
  // outside it would reach TransferAgent as '?' and name nothing.
  CodePage& codePage = *ThePlatform().codePage;
  for (const std::shared_ptr<EmailAttachment>& attachment : email.get_attachments()) {
    if (attachment && !codePage.Holds(attachment->get_FilePath())) {
      throw Error(errc::kBadFileName, "EmailQueue.AddEmail",
                  "This system's code page lacks a letter of the file name " + attachment->get_FilePath());
    }
  }
  if (!codePage.Holds(email.get_Password())) {
    throw Error(errc::kBadFileName, "EmailQueue.AddEmail", "This system's code page lacks a letter of the password");
  }
  // The rename replaces an earlier file of the ID in one step, so
  // TransferAgent never finds a part of one.
  WriteTaggedFile(path, scratchFolder_ + email.get_ID() + fileExtension_ + ".new",
                  FileAccess::Private, [&](TaggedFileWriter& out) { WriteQueueFile(email, out, false); });
  StartEmailTransfers();
  return true;
}

void EmailQueue::RemoveEmail(const std::shared_ptr<Email>& objEmail) {
  RemoveEmailWithID(Use(objEmail.get()).get_ID());
}

void EmailQueue::RemoveEmailWithID(const std::string& strEmailID) {
  const std::string path = QueueFileOf(strEmailID, "EmailQueue.RemoveEmailWithID");
  FileSystem& files = *ThePlatform().files;
  if (files.FileExists(path)) files.RemoveFile(path);
}

void EmailQueue::RemoveAllEmails() {
  FileSystem& files = *ThePlatform().files;
  for (const std::string& path : files.ListFiles(queuePath_)) {
    try {
      files.RemoveFile(path);
    } catch (const Error&) {
      // A file that stays is TransferAgent's to handle.
    }
  }
  emails_.assign(1, nullptr);
}

void EmailQueue::StartEmailTransfers() {
  TolerantRun run("EmailQueue.StartEmailTransfers",
                  [](const std::string& line) { ApplicationLog::Instance()->AddMessage(line); });
  run.Run([] {
    const Platform& platform = ThePlatform();
    TransferAgentControl& agent = Use(platform.transferAgent);
    if (!agent.IsRunning()) agent.Start(Use(platform.shell).ModuleFolder());
  });
  run.Checkpoint(1);
}

std::int32_t EmailQueue::getNumberOfEmails() {
  return static_cast<std::int32_t>(ThePlatform().files->ListFiles(queuePath_).size());
}

double EmailQueue::Size() {
  if (emails_.front() == nullptr) LoadQueueFiles();
  if (getNumberOfEmails() < 1) return 0;
  double total = 0;
  for (const std::shared_ptr<Email>& email : emails_) {
    if (email == nullptr) continue;  // files came after an empty read
    for (const std::shared_ptr<EmailAttachment>& attachment : email->get_attachments()) {
      if (attachment != nullptr) total += FileSizeOrZero(attachment->get_FilePath());
    }
  }
  return total;
}

std::shared_ptr<Email> EmailQueue::MostRecentEmail() {
  LoadQueueFiles();
  std::shared_ptr<Email> candidate = Use(emails_.front());
  LocalDateTime newest = candidate->CreationDateTime();
  for (auto email = emails_.begin() + 1; email != emails_.end(); ++email) {
    const LocalDateTime created = (*email)->CreationDateTime();
    if (created > newest) {
      candidate = *email;
      newest = created;
    }
  }
  return candidate;
}

void EmailQueue::LoadQueueFiles() {
  emails_.assign(1, nullptr);
  for (const std::string& path : ThePlatform().files->ListFiles(queuePath_)) {
    std::shared_ptr<Email> email = ReadQueueFile(path);
    if (emails_.front() == nullptr) {
      emails_.front() = std::move(email);
    } else {
      emails_.push_back(std::move(email));
    }
  }
}

}  // namespace dwl
