// The attachments dialog as the hub opens it for the active compose window.
#pragma once

#include <memory>

namespace dwl {

class MailProcessor;

class FileBrowser {
 public:
  virtual ~FileBrowser() = default;
  virtual bool Visible() = 0;
  // Shows the dialog working on `processor`'s files and password.
  virtual void InitializeInterface(std::shared_ptr<MailProcessor>& processor) = 0;
};

}  // namespace dwl
