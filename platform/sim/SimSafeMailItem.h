// The safe mail item component of the simulation: it works on the simulated
// mail item directly, as a host without security prompts allows.
#pragma once

#include <memory>
#include <string>

#include "platform/SafeMailItem.h"
#include "platform/sim/SimItems.h"

namespace dwl::sim {

class SimSafeMailItem : public host::SafeMailItem {
 public:
  void SetItem(std::shared_ptr<host::MailItem> item) override;
  std::string Subject() override { return Mail().subject; }
  std::shared_ptr<host::SafeRecipients> Recipients() override;
  std::shared_ptr<host::SafeAttachments> Attachments() override;
  std::string Body() override { return Mail().body; }
  void SetBody(const std::string& body) override { Mail().body = body; }
  std::string HTMLBody() override { return Mail().htmlBody; }
  void SetHTMLBody(const std::string& html) override;
  void SetBodyFormat(int format) override { Mail().bodyFormat = format; }
  void Save() override { Mail().Save(); }

 private:
  SimMailItem& Mail();
  std::shared_ptr<SimMailItem> mail_;
};

}  // namespace dwl::sim
