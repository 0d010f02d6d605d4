// dwl upload: sends files as one e-mail through the transfer client, the way
// TransferAgent does, resuming after a lost connection.
#include <chrono>

#include "apps/dwl/EmailUploader.h"
#include "apps/dwl/CommandLine.h"
#include "apps/dwl/Subcommands.h"
#include "platform/Platform.h"
#include "support/AppSettings.h"
#include "support/GUID.h"

namespace dwl::cli {

namespace {

constexpr const char* kHelp =
    "usage: dwl upload [--host HOST] [--port N] [--user NAME] [--to ADDRESS]...\n"
    "                  [--subject TEXT] [--body TEXT] [--download-password WORD]\n"
    "                  [--attempts N] FILE...\n"
    "\n"
    "Uploads the files as one e-mail to the Dropwell transfer server, with the\n"
    "account of 'dwl config set-account', and prints the e-mail's id, size and file\n"
    "count. After a lost connection it connects again and resumes the files where\n"
    "the server stopped.\n"
    "\n"
    "  --host HOST, --port N   another transfer server than the built-in one\n"
    "                          (for example a 'dwl server' on 127.0.0.1)\n"
    "  --user NAME             log in as NAME; the password is read from standard\n"
    "                          input (not echoed on a terminal)\n"
    "  --to ADDRESS            a recipient; may be given several times\n"
    "  --subject TEXT, --body TEXT\n"
    "  --download-password WORD  the password the recipients need\n"
    "  --attempts N            connections to try in a row without progress\n"
    "                          (default 5)\n";

int Usage(std::ostream& err, const std::string& problem) { return UsageError(err, "upload", problem); }

// Body lines end in CR LF on the wire; a shell gives LF.
std::string CrLfLines(const std::string& text) {
  std::string body;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) body += '\r';
    body += text[i];
  }
  return body;
}

}  // namespace

int RunUpload(const Arguments& args, std::ostream& out, std::ostream& err) {
  std::string host;
  std::uint16_t port = 0;
  bool portGiven = false;
  std::string user;
  std::vector<std::string> recipients;
  std::string subject;
  std::string body;
  std::string downloadPassword;
  int attempts = 5;
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "--help" || option == "-h") {
      out << kHelp;
      return 0;
    }
    if (option.rfind("--", 0) != 0) {
      paths.push_back(option);
      continue;
    }
    if (i + 1 >= args.size()) return Usage(err, "'" + option + "' needs a value, or is unknown");
    const std::string& value = args[++i];
    if (option == "--host") {
      host = value;
    } else if (option == "--port") {
      if (!ParseNumber(value, port) || port == 0) return Usage(err, "--port takes 1 to 65535, not '" + value + "'");
      portGiven = true;
    } else if (option == "--user") {
      user = value;
    } else if (option == "--to") {
      recipients.push_back(value);
    } else if (option == "--subject") {
      subject = value;
    } else if (option == "--body") {
      body = CrLfLines(value);
    } else if (option == "--download-password") {
      downloadPassword = value;
    } else if (option == "--attempts") {
      if (!ParseNumber(value, attempts) || attempts < 1) return Usage(err, "--attempts takes a number from 1, not '" + value + "'");
    } else {
      return Usage(err, "unknown option '" + option + "'");
    }
  }
  if (paths.empty()) return Usage(err, "no files to upload");

  try {
    const std::shared_ptr<AppSettings> settings = AppSettings::Instance();
    settings->RefreshSettings();
    if (!host.empty() || portGiven) {
      settings->setRemoteServer(host.empty() ? settings->getRemoteServerAddress() : host,
                                portGiven ? port : static_cast<std::uint16_t>(settings->getRemoteServerPort()));
    }
    if (!user.empty()) {
      const std::optional<std::string> password =
          ThePlatform().console->ReadSecretLine("Password for " + user + ": ");
      if (!password) {
        err << "dwl upload: no password on standard input\n";
        return 1;
      }
      settings->setUsername(user);
      settings->setPassword(*password);
    } else if (settings->getUsername().empty()) {
      err << "dwl upload: no account: run 'dwl config set-account USER' or give --user\n";
      return 1;
    }

    auto email = std::make_shared<Email>();
    email->set_ID(GuidWithoutBraces(CreateGuidString()));
    email->set_Subject(subject);
    email->set_Body(body);
    email->set_Password(downloadPassword);
    for (const std::string& address : recipients) email->AddRecipient(address);
    for (const std::string& path : paths) {
      if (!ThePlatform().files->FileExists(path)) {
        err << "dwl upload: not a file: " << path << "\n";
        return 1;
      }
      auto attachment = std::make_shared<EmailAttachment>();
      attachment->set_FilePath(path);
      email->AddAttachment(attachment);
    }

    EmailUploader uploader(email, attempts, out, err);
    uploader.Start();
    ThePlatform().eventLoop->RunUntil([&] { return uploader.Done(); }, std::chrono::hours(24 * 365));
    if (!uploader.Succeeded()) {
      err << "dwl upload: " << uploader.Failure() << "\n";
      return 1;
    }
    return 0;
  } catch (const Error& failure) {
    err << "dwl upload: " << failure.Description() << "\n";
    return 1;
  }
}

}  // namespace dwl::cli
