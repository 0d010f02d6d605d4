// The safe mail item: an outside component, created by ProgID, that reads a
// message's subject and recipients and writes its body without the host's
// security prompts.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/OutlookObjects.h"

namespace dwl::host {

class SafeMailItem {
 public:
  virtual ~SafeMailItem() = default;
  // Binds the wrapper to a host mail item; every later call acts on it.
  virtual void SetItem(std::shared_ptr<MailItem> item) = 0;
  virtual std::string Subject() = 0;
  virtual int RecipientsCount() = 0;
  // Every recipient's address, of all kinds, in the message's order.
  virtual std::vector<std::string> RecipientAddresses() = 0;
  // The host's own attachments of the message.
  virtual int AttachmentsCount() = 0;
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
