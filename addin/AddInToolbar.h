// The add-in's toolbar in a compose window: which windows get it, and its
// removal.
#pragma once

#include <memory>

#include "platform/OutlookObjects.h"
#include "support/TolerantRun.h"

namespace dwl {

inline constexpr const char* kAddInToolbarName = "DropwellAttachments";
inline constexpr const char* kAddInButtonTag = "DropwellAttachmentsControl";

// Whether `window` showing `mail` gets the toolbar: a mail not yet sent, or,
// on hosts before version 10 (which do not mark sent mails), one whose
// insert-file button shows. Host failures reach the caller.
bool ShowsAddInToolbar(int hostMajorVersion, host::Inspector& window, host::MailItem& mail);

// Deletes every toolbar in `bars` that holds the add-in's button. The
// deletion ends when none is left or a step fails; the failure stays pending
// in `run`.
void DeleteAddInToolbars(TolerantRun& run, const std::shared_ptr<host::CommandBars>& bars);

}  // namespace dwl
