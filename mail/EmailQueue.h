// The hand-over of outgoing e-mails to TransferAgent: one queue file per
// e-mail in the mail queue folder, named by the e-mail's ID and ".txt".
// TransferAgent reads that folder while we write it, without locks, so a
// queue file appears whole or not at all. The e-mail list is a snapshot of
// the last read of the folder; AddEmail and the single removals change only
// the files.
//
// One per process (Instance), made after the settings were refreshed: it
// copies their mail queue folder at creation. Single-threaded.
//
// Queue file, every line ended by CR LF, each entry "<Tag>", value, "</Tag>":
// DwlEmailId, Subject, CreatedOnServer ("True"/"False"), Source, Password,
// Body (over as many lines as it has), then per attachment AttachmentId and
// AttachmentPath, then per address Recipient. TransferAgent's rewrites add,
// after a path, AttachmentSize and AttachmentModified: the file as it was when
// its upload began (older readers pass over them).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mail/Email.h"

namespace dwl {

class EmailQueue {
 public:
  EmailQueue();
  EmailQueue(const EmailQueue&) = delete;
  EmailQueue& operator=(const EmailQueue&) = delete;

  // The process-wide queue, made at the first request.
  static std::shared_ptr<EmailQueue> Instance();
  static void ReleaseInstance();

  // Taken as it is: no separator is added.
  void setQueuePath(const std::string& directoryPath);
  // Reads the folder; an empty queue gives one empty slot. Throws for a file
  // that cannot be read or holds a value that does not convert.
  std::vector<std::shared_ptr<Email>> getEmails();
  // Writes the e-mail's queue file, replacing one of the same ID, then starts
  // TransferAgent. Throws (and leaves any earlier file of the ID as it was)
  // when the ID cannot name a file or the file cannot be written.
  bool AddEmail(const std::shared_ptr<Email>& objEmail);
  // Delete the queue file of the ID if there is one; a read-only file is
  // refused with an error, and so is an ID that cannot name a queue file.
  void RemoveEmail(const std::shared_ptr<Email>& objEmail);
  void RemoveEmailWithID(const std::string& strEmailID);
  // Deletes every file in the folder, passing over those it cannot, and
  // empties the list. Throws when the folder is missing.
  void RemoveAllEmails();
  // Starts TransferAgent unless it runs. Never fails: a failure is logged.
  void StartEmailTransfers();
  // Files in the folder, of any name. Throws when the folder is missing.
  std::int32_t getNumberOfEmails();
  // Bytes of the queued e-mails' attachments as they are on disk now; reads
  // the folder first while the list is empty.
  double Size();
  // Reads the folder; the e-mail whose queue file was created last (the one
  // nearer the front on a tie). Throws for an empty queue or an e-mail whose
  // ID does not name its file.
  std::shared_ptr<Email> MostRecentEmail();

  // One queue file as a record, read as getEmails reads each file.
  static std::shared_ptr<Email> ReadQueueFile(const std::string& path);
  // Writes `readBack`, a record read from `path`, back to that same file in
  // one step (TransferAgent keeps its progress there, with what it noted of
  // each file when its upload began). The reader gave the body one more line
  // break; it is not written back, so the file does not grow with every
  // rewrite.
  void RewriteQueueFile(const Email& readBack, const std::string& path);

 private:
  void LoadQueueFiles();
  // The queue file of `id`; throws when `id` cannot be a file name there.
  std::string QueueFileOf(const std::string& id, const char* source) const;

  std::string queuePath_;
  std::string fileExtension_ = ".txt";
  std::vector<std::shared_ptr<Email>> emails_{nullptr};
  // Where queue files are written before they move into the queue folder,
  // which TransferAgent reads as a whole.
  std::string scratchFolder_;
};

}  // namespace dwl
