// The add-in as a `dwl sim` run reaches it. The simulated host (SimSession)
// makes its entry objects and drives it through the host's objects; the
// script commands that reach into the add-in itself (the services the host
// lends it, the attachments window, and what print shows of the add-in)
// go through Execute. InProcessAddIn runs the core in this process; on
// Windows DllAddIn loads DWLOutlookAddin.dll and reaches it over COM.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Clipboard.h"
#include "platform/OutlookObjects.h"

namespace dwl::cli {

class SimAddIn {
 public:
  virtual ~SimAddIn() = default;

  // Whether a script command belongs to the add-in's side.
  static bool Handles(const std::vector<std::string>& words);

  // A new entry object, as the host makes one each time it loads the add-in.
  virtual std::shared_ptr<host::AddInEntry> NewConnection() = 0;
  // After the host let go of an entry object: what the add-in still holds of
  // the host's, as a line to print, or "".
  virtual std::string Released() = 0;
  // An add-in-side command; SimUsageError for a wrong one, dwl::Error for
  // what the system refused.
  virtual void Execute(const std::vector<std::string>& words) = 0;
  // The picture file the add-in's side loaded with exactly these bytes, or "".
  virtual std::string PictureName(const Picture& picture) = 0;
  // The add-in's windows and queue go, before its entry object does.
  virtual void Shutdown() = 0;
};

}  // namespace dwl::cli
