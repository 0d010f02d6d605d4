// dwl config: the user's account and preferences in settings.cfg.
#include <iomanip>
#include <limits>

#include "apps/dwl/Subcommands.h"
#include "platform/Platform.h"
#include "apps/terminal/SizeText.h"
#include "mail/EmailQueue.h"
#include "support/AppSettings.h"
#include "support/ValueText.h"

namespace dwl::cli {

namespace {

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
  row("MinimalFileSize:", std::to_string(settings.getMinimalFileSize()) + " bytes");
  row("DisplayProgressPopup:", FlagText(settings.getDisplayProgressPopup()));
}

// E-mails queued while the account was missing or wrong go out now, not at
// the next Send.
void StartQueuedUploads(std::ostream& out) {
  // No queue folder yet: nothing queued (and no failure after the account was saved).
  if (!ThePlatform().files->FolderExists(AppSettings::Instance()->getMailQueueDirectory())) return;
  const std::shared_ptr<EmailQueue> queue = EmailQueue::Instance();
  const std::int32_t queued = queue->getNumberOfEmails();
  if (queued == 0) return;
  if (ThePlatform().transferAgent->IsRunning()) {
    out << "TransferAgent runs already: it sends " << terminal::Counted(queued, "queued e-mail")
        << " with this account at its next try\n";
    return;
  }
  queue->StartEmailTransfers();
  out << "TransferAgent started to send " << terminal::Counted(queued, "queued e-mail") << "\n";
}

// The actions and their words, checked before any file is touched.
struct ConfigArguments {
  CLI::App app{
      "Shows or changes the user's Dropwell settings: the service account, stored\n"
      "encrypted in settings.cfg, and two preferences. 'show' also tells where the\n"
      "application folder, the mail queue, the settings file and the log are.",
      "dwl config"};
  CLI::App* show = app.add_subcommand("show", "where the files are, the account and the preferences");
  CLI::App* setAccount = app.add_subcommand("set-account",
                                            "set-account USER: the service account; the password is read from\n"
                                            "standard input (not echoed on a terminal)");
  CLI::App* set = app.add_subcommand("set", "set min-file-size BYTES: MinimalFileSize, 0 or more bytes\n"
                                            "set progress-popup true|false: DisplayProgressPopup");
  CLI::App* minFileSize = set->add_subcommand("min-file-size", "MinimalFileSize: 0 or more bytes");
  CLI::App* progressPopup = set->add_subcommand("progress-popup", "DisplayProgressPopup: true or false");
  std::string user;
  std::int32_t minimalFileSize = 0;
  bool popup = false;

  ConfigArguments() {
    app.require_subcommand(1);
    set->require_subcommand(1);
    setAccount->add_option("USER", user, "the user name")->type_name("")->required()->check(NotEmpty());
    minFileSize->add_option("BYTES", minimalFileSize, "a whole number of bytes")
        ->type_name("")
        ->required()
        ->transform(WholeNumber(std::int32_t{0}, std::numeric_limits<std::int32_t>::max()));
    progressPopup->add_option("VALUE", popup, "true or false")
        ->type_name("")
        ->required()
        ->check(CLI::IsMember({"true", "false"}));
  }
};

}  // namespace

int RunConfig(const Arguments& args, std::ostream& out, std::ostream& err) {
  ConfigArguments words;
  if (const std::optional<int> done = Parse(words.app, args, out, err)) return *done;

  try {
    const std::shared_ptr<AppSettings> settings = AppSettings::Instance();
    settings->RefreshSettings();
    if (*words.show) {
      Show(*settings, out);
      return 0;
    }
    if (*words.setAccount) {
      const std::optional<std::string> password =
          ThePlatform().console->ReadSecretLine("Password for " + words.user + ": ");
      if (!password) return Fail(err, "dwl config", "no password on standard input");
      if (password->empty()) return Fail(err, "dwl config", "the password must not be empty");
      // settings.cfg is in the system's code page: a letter outside it would be stored as '?'.
      CodePage& codePage = *ThePlatform().codePage;
      if (!codePage.Holds(words.user) || !codePage.Holds(*password)) {
        return Fail(err, "dwl config",
                    std::string(codePage.Holds(words.user) ? "the password" : "the user name '" + words.user + "'") +
                        " has a letter that this system's code page lacks, so settings.cfg cannot keep it");
      }
      settings->setUsername(words.user);
      settings->setPassword(*password);
      settings->SaveSettings();
      out << "account saved for " << words.user << "\n";
      StartQueuedUploads(out);
      return 0;
    } else if (*words.progressPopup) {
      settings->setDisplayProgressPopup(words.popup);
    } else {
      settings->setMinimalFileSize(words.minimalFileSize);
    }
    settings->SaveSettings();
    return 0;
  } catch (const Error& failure) {
    return Fail(err, "dwl config", failure.Description());
  }
}

}  // namespace dwl::cli
