// The safe mail item: an outside component, created by ProgID, that reads a
// message's subject and recipients and writes its body without the host's
// security prompts.
#pragma once

#include <memory>
#include <string>

#include "platform/OutlookObjects.h"

namespace dwl::host {

class SafeRecipient {
 public:
  virtual ~SafeRecipient() = default;
  virtual std::string Address() = 0;
};

// Every recipient of the message, of all kinds, in the message's order.
class SafeRecipients {
 public:
  virtual ~SafeRecipients() = default;
  virtual int Count() = 0;
  // `index` counts from 1.
  virtual std::shared_ptr<SafeRecipient> Item(int index) = 0;
};

// The host's own attachments of the message.
class SafeAttachments {
 public:
  virtual ~SafeAttachments() = default;
  virtual int Count() = 0;
};

class SafeMailItem {
 public:
  virtual ~SafeMailItem() = default;
  // Binds the wrapper to a host mail item; every later call acts on it.
  virtual void SetItem(std::shared_ptr<MailItem> item) = 0;
  virtual std::string Subject() = 0;
  virtual std::shared_ptr<SafeRecipients> Recipients() = 0;
  virtual std::shared_ptr<SafeAttachments> Attachments() = 0;
  virtual std::string Body() = 0;
  virtual void SetBody(const std::string& body) = 0;
  virtual std::string HTMLBody() = 0;
  virtual void SetHTMLBody(const std::string& html) = 0;
  virtual void SetBodyFormat(int format) = 0;
  virtual void Save() = 0;
};

// Creates outside components by ProgID.
class ObjectFactory {
 public:
  virtual ~ObjectFactory() = default;
  // Fails when no such component is installed.
  virtual std::shared_ptr<SafeMailItem> CreateSafeMailItem(const std::string& progId) = 0;
};

}  // namespace dwl::host
