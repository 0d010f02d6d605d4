// The record of one outgoing e-mail that goes through the file-sending
// service: identifier, subject, body, download password, recipients and
// attached files, and two persisted status values. Plain in-memory record;
// it reads the disk only for file sizes and its queue file's creation time.
//
// The recipient and attachment lists always hold at least one slot and count
// as empty while the first slot is empty; the first item fills slot 0, later
// ones are appended.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mail/EmailAttachment.h"
#include "platform/LocalDateTime.h"
#include "support/AppSettings.h"

namespace dwl {

class Email {
 public:
  // Takes the settings singleton, which must have been refreshed before
  // set_ID derives the queue file path.
  Email();

  // Also sets the queue file path: the mail queue folder, the ID and ".txt".
  void set_ID(const std::string& lngId);
  const std::string& get_ID() const { return id_; }
  void set_EmailSource(std::int32_t pEmailSource) { emailSource_ = pEmailSource; }
  std::string get_EmailSource() const { return std::to_string(emailSource_); }
  bool get_CreatedOnServer() const { return createdOnServer_; }
  void set_CreatedOnServer(bool Created) { createdOnServer_ = Created; }
  const std::string& get_Password() const { return password_; }
  void set_Password(const std::string& Password) { password_ = Password; }
  const std::string& get_Subject() const { return subject_; }
  void set_Subject(const std::string& Subject) { subject_ = Subject; }
  // The next Size() re-reads the attachments' sizes from disk when true.
  void setGetFileSizeFromDisk(bool getFromDisk) { sizeFromDisk_ = getFromDisk; }
  const std::string& get_Body() const { return body_; }
  void set_Body(const std::string& Body) { body_ = Body; }
  std::vector<std::string> get_Recipients() const { return recipients_; }
  void AddRecipient(const std::string& strEmailaddress);
  // Back to one empty slot.
  void DeleteAllRecipients() { recipients_.assign(1, ""); }
  std::int32_t NumberOfRecipients() const;
  std::int32_t NumberOfAttachments() const;
  std::vector<std::shared_ptr<EmailAttachment>> get_attachments() const { return attachments_; }
  // Back to one empty slot; the cached size stays as it was.
  void DeleteAllAttachments();
  void AddAttachment(std::shared_ptr<EmailAttachment> objNewAttachment);
  // Total bytes of the attachments: served from the cache unless an
  // attachment was added or a re-read requested; a total of 0 is never cached.
  // Files that cannot be measured count 0.
  double Size();
  // Before another attempt at the upload: every file whose size or
  // modification time changed since its upload began starts afresh
  // (EmailAttachment::StartAfresh), and the next Size() measures all files
  // again. Returns the paths of the files that start afresh.
  std::vector<std::string> StartChangedFilesAfresh();
  // When the queue file was first written. Throws when it does not exist.
  LocalDateTime CreationDateTime() const;

  const std::string& QueueFilePath() const { return queueFilePath_; }
  // Files that the queue file named but that were gone when it was read:
  // they are not among the attachments.
  const std::vector<std::string>& MissingFiles() const { return missingFiles_; }
  // Whether the server may hold part of it: it took the e-mail, or gave a file an id.
  bool ServerHoldsSome() const;
  void NoteMissingFile(const std::string& path) { missingFiles_.push_back(path); }

 private:
  std::vector<std::shared_ptr<EmailAttachment>> attachments_{nullptr};
  std::vector<std::string> recipients_{""};
  std::string id_;
  bool createdOnServer_ = false;
  std::string body_;
  std::string subject_;
  std::string queueFilePath_;
  std::vector<std::string> missingFiles_;
  bool sizeFromDisk_ = false;
  double cachedSize_ = 0;
  std::int32_t emailSource_ = 0;
  std::string password_;
  std::shared_ptr<AppSettings> settings_;
};

}  // namespace dwl
