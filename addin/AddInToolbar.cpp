#include "addin/AddInToolbar.h"

#include "support/ObjectRef.h"

namespace dwl {

namespace {
// A host that keeps returning a toolbar it was told to delete must not hold
// the add-in in a loop.
constexpr int kMostToolbars = 100;
}  // namespace

bool ShowsAddInToolbar(int hostMajorVersion, host::Inspector& window, host::MailItem& mail) {
  if (hostMajorVersion > 9) return !mail.Sent();
  const auto insertFile =
      Use(window.GetCommandBars())->FindControlById(host::office::kInsertFileControlId);
  return insertFile && insertFile->Visible();
}

void DeleteAddInToolbars(TolerantRun& run, const std::shared_ptr<host::CommandBars>& bars) {
  for (int round = 0; round < kMostToolbars; ++round) {
    bool found = false;
    const bool deleted = run.Run([&] {
      const auto control = Use(bars)->FindControlByTag(kAddInButtonTag);
      found = control != nullptr;
      if (found) Use(control->Parent())->Delete();
    });
    if (!deleted || !found) return;
  }
}

}  // namespace dwl
