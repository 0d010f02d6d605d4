// dwl upload: sends files as one e-mail through the transfer client, the way
// TransferAgent does, resuming after a lost connection.
#include <limits>

#include "apps/dwl/EmailUploader.h"
#include "apps/dwl/Subcommands.h"
#include "apps/dwl/UploadRecord.h"
#include "apps/terminal/InterruptibleRun.h"
#include "platform/Platform.h"
#include "support/AppSettings.h"
#include "support/GUID.h"

namespace dwl::cli {

namespace {

constexpr const char* kProgram = "dwl upload";

constexpr const char* kDescription =
    "Uploads the files as one e-mail to the Dropwell transfer server, with the\n"
    "account of 'dwl config set-account', and prints the e-mail's id, size and file\n"
    "count. After a lost connection it connects again and resumes the files where\n"
    "the server stopped; after Ctrl-C or a failure, the same command run again\n"
    "resumes the same e-mail.";


struct UploadOptions {
  std::string host;
  std::optional<std::uint16_t> port;
  std::string user;
  std::vector<std::string> recipients;
  std::string subject;
  std::string body;
  std::string downloadPassword;
  int attempts = 5;
  std::vector<std::string> paths;
};

void AddOptions(CLI::App& app, UploadOptions& options) {
  CLI::Option* host = app.add_option("--host", options.host,
                                     "another transfer server than the built-in one\n"
                                     "(for example a 'dwl server' on 127.0.0.1)")
                          ->type_name("HOST");
  // A port alone would go to the built-in server's host, which is never what was meant.
  app.add_option("--port", options.port, "its port, 1 to 65535 (only with --host)")
      ->type_name("N")
      ->transform(WholeNumber(1, 65535))
      ->needs(host);
  app.add_option("--user", options.user, "log in as NAME; the password is read from standard\n"
                                         "input (not echoed on a terminal)")
      ->type_name("NAME");
  app.add_option("--to", options.recipients, "a recipient; may be given several times")
      ->type_name("ADDRESS")
      ->allow_extra_args(false);
  app.add_option("--subject", options.subject, "the e-mail's subject")->type_name("TEXT");
  app.add_option("--body", options.body, "the e-mail's body")->type_name("TEXT");
  app.add_option("--download-password", options.downloadPassword, "the password the recipients need")
      ->type_name("WORD");
  app.add_option("--attempts", options.attempts, "connections to try in a row without progress (default 5)")
      ->type_name("N")
      ->transform(WholeNumber(1, std::numeric_limits<int>::max()));
  app.add_option("FILE", options.paths, "the files to upload")->type_name("")->required();
}

// Body lines end in CR LF on the wire; a shell gives LF.
std::string CrLfLines(const std::string& text) {
  std::string body;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) body += '\r';
    body += text[i];
  }
  return body;
}

// The server and the account to use; an empty answer, else what is missing.
std::string UseServerAndAccount(AppSettings& settings, const UploadOptions& options) {
  if (!options.host.empty() || options.port) {
    settings.setRemoteServer(options.host.empty() ? settings.getRemoteServerAddress() : options.host,
                             options.port.value_or(static_cast<std::uint16_t>(settings.getRemoteServerPort())));
  }
  if (options.user.empty()) {
    return settings.getUsername().empty() ? "no account: run 'dwl config set-account USER' or give --user" : "";
  }
  const std::optional<std::string> password =
      ThePlatform().console->ReadSecretLine("Password for " + options.user + ": ");
  if (!password) return "no password on standard input";
  settings.setUsername(options.user);
  settings.setPassword(*password);
  return "";
}

// The e-mail to upload; what is wrong with a path is the answer's second half.
std::pair<std::shared_ptr<Email>, std::string> MakeEmail(const UploadOptions& options) {
  auto email = std::make_shared<Email>();
  email->set_ID(GuidWithoutBraces(CreateGuidString()));
  email->set_Subject(options.subject);
  email->set_Body(CrLfLines(options.body));
  email->set_Password(options.downloadPassword);
  for (const std::string& address : options.recipients) email->AddRecipient(address);
  for (const std::string& path : options.paths) {
    FileSystem& files = *ThePlatform().files;
    if (!files.FileExists(path)) {
      return {nullptr, (files.FolderExists(path) ? "not a file but a folder: " : "no such file: ") + path};
    }
    auto attachment = std::make_shared<EmailAttachment>();
    attachment->set_FilePath(path);
    email->AddAttachment(attachment);
  }
  return {email, ""};
}

}  // namespace

int RunUpload(const Arguments& args, std::ostream& out, std::ostream& err) {
  CLI::App app(kDescription, kProgram);
  UploadOptions options;
  AddOptions(app, options);
  if (const std::optional<int> done = Parse(app, args, out, err)) return *done;

  try {
    const std::shared_ptr<AppSettings> settings = AppSettings::Instance();
    settings->RefreshSettings();
    // The files first: a wrong path is told before the password is asked for.
    const auto [email, wrongPath] = MakeEmail(options);
    if (!email) return Fail(err, kProgram, wrongPath);
    const std::string missing = UseServerAndAccount(*settings, options);
    if (!missing.empty()) return Fail(err, kProgram, missing);

    Console& console = *ThePlatform().console;
    terminal::ProgressDisplay display(err, console.ErrorIsTerminal(), [&console] { return console.ErrorWidth(); });
    UploadRecord record(options.paths);
    if (record.Resume(*email)) display.Message("resuming e-mail " + email->get_ID() + " of an earlier run");
    EmailUploader uploader(email, options.attempts, out, display);
    uploader.Start();
    if (const int signal = terminal::RunUntilDoneOrInterrupted([&] { return uploader.Done(); }, display)) {
      const std::optional<std::string> file = uploader.Interrupt();
      record.Save(*email);
      display.Message("interrupted: " +
                      (!uploader.ServerHoldsSome() ? std::string("nothing reached the server yet")
                       : file ? *file + " on the server; run again to resume"
                              : "run again to resume"));
      return 128 + signal;
    }
    if (uploader.Succeeded()) {
      record.Remove();
      return 0;
    }
    // What the server holds waits for the same command; a refused size never fits.
    if (uploader.ServerHoldsSome() && uploader.Failure() != EmailUploader::kTooLarge) {
      record.Save(*email);
      return Fail(err, kProgram, uploader.Failure() + "; the same command resumes the e-mail");
    }
    record.Remove();
    return Fail(err, kProgram, uploader.Failure());
  } catch (const Error& failure) {
    return Fail(err, kProgram, failure.Description());
  }
}

}  // namespace dwl::cli
