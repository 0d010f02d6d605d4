// dwl config: the user's account and preferences in settings.cfg.
#include <iomanip>

#include "apps/dwl/CommandLine.h"
#include "apps/dwl/Subcommands.h"
#include "platform/Platform.h"
#include "support/AppSettings.h"
#include "support/ValueText.h"

namespace dwl::cli {

namespace {

constexpr const char* kHelp =
    "usage: dwl config show\n"
    "       dwl config set-account USER     (the password is read from standard input)\n"
    "       dwl config set min-file-size N\n"
    "       dwl config set progress-popup true|false\n"
    "\n"
    "Shows or changes the user's Dropwell settings: the service account, stored\n"
    "encrypted in settings.cfg, and two preferences. 'show' also tells where the\n"
    "application folder, the mail queue, the settings file and the log are.\n";

int Usage(std::ostream& err, const std::string& problem) { return UsageError(err, "config", problem); }

void Show(const AppSettings& settings, std::ostream& out) {
  auto row = [&out](const char* label, const std::string& value) {
    out << std::left << std::setw(22) << label << value << "\n";
  };
  row("Application folder:", settings.getApplicationDirectory());
  row("Queue folder:", settings.getMailQueueDirectory());
  row("Settings file:", settings.getSettingsFilePath());
  row("Log folder:", ApplicationLog::Instance()->getLogDirectory());
  row("User name:", settings.getUsername().empty() ? "(none)" : settings.getUsername());
  row("Password:", settings.getPassword().empty() ? "not set" : "set");
  row("MinimalFileSize:", std::to_string(settings.getMinimalFileSize()));
  row("DisplayProgressPopup:", FlagText(settings.getDisplayProgressPopup()));
}

}  // namespace

int RunConfig(const Arguments& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) return Usage(err, "missing action");
  const std::string& action = args[0];
  if (action == "--help" || action == "-h") {
    out << kHelp;
    return 0;
  }

  // Check the words before touching any file.
  std::int32_t minimalFileSize = 0;
  bool progressPopup = false;
  if (action == "show") {
    if (args.size() != 1) return Usage(err, "'show' takes no arguments");
  } else if (action == "set-account") {
    if (args.size() != 2) return Usage(err, "'set-account' takes one user name");
    if (args[1].empty()) return Usage(err, "the user name must not be empty");
  } else if (action == "set") {
    if (args.size() != 3) return Usage(err, "'set' takes a name and a value");
    if (args[1] == "min-file-size") {
      if (!ParseNumber(args[2], minimalFileSize)) {
        return Usage(err, "min-file-size takes a whole number from -2147483648 to 2147483647, not '" +
                              args[2] + "'");
      }
    } else if (args[1] == "progress-popup") {
      if (args[2] != "true" && args[2] != "false") {
        return Usage(err, "progress-popup takes true or false, not '" + args[2] + "'");
      }
      progressPopup = args[2] == "true";
    } else {
      return Usage(err, "unknown setting '" + args[1] + "'");
    }
  } else {
    return Usage(err, "unknown action '" + action + "'");
  }

  try {
    const std::shared_ptr<AppSettings> settings = AppSettings::Instance();
    settings->RefreshSettings();
    if (action == "show") {
      Show(*settings, out);
      return 0;
    }
    if (action == "set-account") {
      const std::optional<std::string> password = ThePlatform().console->ReadSecretLine(
          "Password for " + args[1] + ": ");
      if (!password) {
        err << "dwl config: no password on standard input\n";
        return 1;
      }
      if (password->empty()) {
        err << "dwl config: the password must not be empty\n";
        return 1;
      }
      settings->setUsername(args[1]);
      settings->setPassword(*password);
    } else if (args[1] == "min-file-size") {
      settings->setMinimalFileSize(minimalFileSize);
    } else {
      settings->setDisplayProgressPopup(progressPopup);
    }
    settings->SaveSettings();
    return 0;
  } catch (const Error& failure) {
    err << "dwl config: " << failure.Description() << "\n";
    return 1;
  }
}

}  // namespace dwl::cli
