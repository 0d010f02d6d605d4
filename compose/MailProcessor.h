// The add-in's companion of one compose window: owns the outgoing e-mail
// record with the chosen files and password, remembers the folder the file
// dialog last browsed, and follows the window's Activate (toolbar rebuild),
// the mail's Send (notice and queue) and Close. It lives in the hub's slot
// until the hub resets.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/OutlookObjects.h"
#include "platform/SafeMailItem.h"

namespace dwl {

class AppSettings;
class Email;

class MailProcessor {
 public:
  MailProcessor();
  ~MailProcessor();
  MailProcessor(const MailProcessor&) = delete;
  MailProcessor& operator=(const MailProcessor&) = delete;

  const std::shared_ptr<Email>& GetEmail() const { return email_; }
  // Follows the mail's events and gives the record a new identifier.
  void SetMailItem(std::shared_ptr<host::MailItem>& objParam);
  const std::shared_ptr<host::MailItem>& MailItem() const { return objMailItem_; }
  // Follows the window's Activate event.
  void SetInspector(std::shared_ptr<host::Inspector>& objParam);
  const std::shared_ptr<host::Inspector>& Inspector() const { return objInspector_; }
  void setBrowsePath(const std::string& strValue) { browsePath_ = strValue; }
  const std::string& getBrowsePath() const { return browsePath_; }
  bool Active() const { return active_; }
  void RemoveAllAttachments();
  void AddAttachment(const std::string& strFileLocation);
  void setPassword(const std::string& strPassword);

  // Writes the download-link notice into the message through the safe mail
  // item and saves it. Only the final save fails the caller.
  void InsertDownloadLinkInMessage();

  void objInspector_Activate();
  // With files chosen: writes the notice into the message, copies subject and
  // recipients into the record and queues it. A failure is logged, shown to
  // the user, and returned to the host; the host sends the message anyway.
  void objMailItem_Send(bool& Cancel);
  void objMailItem_Close(bool& Cancel);
  void LogEvent(const std::string& strMessage);

 private:
  bool active_ = true;
  std::shared_ptr<Email> email_;
  std::string browsePath_;
  std::shared_ptr<host::MailItem> objMailItem_;
  std::shared_ptr<host::Inspector> objInspector_;
  std::shared_ptr<host::SafeMailItem> safeMailItem_;
  std::shared_ptr<AppSettings> settings_;
  // The notice the last send wrote into the message.
  struct WrittenNotice {
    std::string sentence;
    std::string link;
  };
  std::optional<WrittenNotice> earlierNotice_;
  host::EventConnection mailSend_;
  host::EventConnection mailClose_;
  host::EventConnection inspectorActivate_;
};

}  // namespace dwl
