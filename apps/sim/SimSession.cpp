#include "apps/sim/SimSession.h"

#include <algorithm>
#include <fstream>

#include "addin/AddInToolbar.h"
#include "addin/Connect.h"

namespace dwl::cli {

namespace {

constexpr const char* kHelp =
    "Commands (one per line; blanks separate words, double or single quotes group them,\n"
    "# starts a comment):\n"
    "  host version=TEXT explorers=N [decimal=C] [thousands=C] [safe-mail-item=missing] [agent=record]\n"
    "       [window=system]\n"
    "                                      the simulated Outlook, before connecting\n"
    "                                      (default 11.0.8217, 1 explorer, the user's number format)\n"
    "  connect [mode=N]                    the host connects the add-in (default mode 1)\n"
    "  disconnect\n"
    "  display-on-connect VALUE            the stored \"DisplayOnConnect\" value\n"
    "  open NAME [kind=mail|contact|note] [sent] [no1079]\n"
    "                                      a new item window, labelled NAME\n"
    "  activate NAME\n"
    "  close NAME                          the item's Close event, then the window goes\n"
    "  close-explorer [N]                  explorer N (1-based), else the one open longest\n"
    "  click                               the add-in's button (the one built last)\n"
    "  mail NAME subject TEXT | to ADDR... | cc ADDR... | bcc ADDR... | body TEXT | html TEXT\n"
    "            | body-file PATH | html-file PATH | host-attachments N\n"
    "                                      a -file body is the file's bytes, line breaks included\n"
    "  send NAME                           the item's Send event, then the host sends it\n"
    "  clipboard text TEXT | clipboard picture FILE | clipboard clear\n"
    "  print NAME caption|body|html|format|mileage|subject|toolbars|icon\n"
    "  print log                           what the add-in logged during the run\n"
    "  print clipboard | hub | hub-window | display-on-connect | dialog | queue | agent\n"
    "  make-file PATH BYTES                a file of that many bytes, to attach\n"
    "The attachments dialog, once the button was clicked:\n"
    "  dialog add PATH...                  \"Add files\", choosing these files (one folder)\n"
    "  dialog cancel-add                   \"Add files\", then cancel\n"
    "  dialog drop PATH...                 files (or folders) dropped on the list\n"
    "  dialog select N... | dialog remove  select rows (1-based); press Delete\n"
    "  dialog check-password | dialog uncheck-password | dialog password TEXT | dialog enter\n"
    "  dialog ok | dialog close\n"
    "  print dialog rows|files|size|password-shown|layout\n"
    "  pause MS                            lets the add-in's windows run for MS milliseconds\n"
    "host agent=record keeps TransferAgent from starting and records its starts (print agent).\n"
    "host window=system shows the attachments window on the screen (only dwl.exe sim --addin has one).\n";

}  // namespace

const char* SimSession::Help() { return kHelp; }

SimSession::SimSession(std::ostream& out, std::unique_ptr<SimAddIn> addIn) : out_(out), addIn_(std::move(addIn)) {}

SimSession::~SimSession() {
  // The add-in goes before the host services it used.
  addIn_->Shutdown();
  connection_.reset();
  addIn_.reset();
}

bool SimAddIn::Handles(const std::vector<std::string>& words) {
  const std::string& command = words.front();
  if (command == "print") return words.size() == 2 || (words.size() > 1 && words[1] == "dialog");
  return command == "display-on-connect" || command == "clipboard" || command == "dialog" || command == "pause";
}


sim::SimOutlook& SimSession::Outlook() {
  if (!outlook_) outlook_ = sim::SimOutlook::Create(version_, explorers_);
  return *outlook_;
}

void SimSession::ReportHostErrors() {
  if (!outlook_) return;
  for (const Error& failure : outlook_->TakeHostErrors()) {
    out_ << "host got error: " << failure.Number() << " " << failure.Description() << "\n";
  }
}

void SimSession::Execute(const std::vector<std::string>& words) {
  const std::string& command = words.front();
  const std::vector<std::string> args(words.begin() + 1, words.end());
  const auto arity = [&](std::size_t count) {
    Require(args.size() == count, "'" + command + "' takes " + std::to_string(count) +
                                      (count == 1 ? " argument" : " arguments"));
  };
  try {
    if (SimAddIn::Handles(words)) {
      addIn_->Execute(words);
    } else if (command == "host") {
      Host(args);
    } else if (command == "connect") {
      ConnectAddIn(args);
    } else if (command == "disconnect") {
      arity(0);
      Disconnect();
    } else if (command == "open") {
      Open(args);
    } else if (command == "activate") {
      arity(1);
      Outlook().Activate(args[0]);
    } else if (command == "close") {
      arity(1);
      Outlook().Close(args[0]);
    } else if (command == "close-explorer") {
      Require(args.size() <= 1, "'close-explorer' takes at most one explorer number");
      Outlook().CloseExplorer(args.empty() ? 0 : WholeNumber(args[0], "close-explorer"));
    } else if (command == "click") {
      arity(0);
      Outlook().ClickLastButton();
    } else if (command == "mail") {
      Mail(args);
    } else if (command == "send") {
      arity(1);
      Outlook().Send(args[0]);
    } else if (command == "make-file") {
      MakeFile(args);
    } else if (command == "print") {
      Require(args.size() == 2, "'print' takes what to print");
      PrintWindow(args[0], args[1]);
    } else {
      throw SimUsageError("unknown command '" + command + "'");
    }
  } catch (const Error& failure) {
    // The simulated host refused what the script asked of it.
    ReportHostErrors();
    throw SimUsageError(failure.Description());
  }
  ReportHostErrors();
}

void SimSession::Host(const std::vector<std::string>& args) {
  Require(!outlook_, "'host' must come before Outlook starts (the first window or connect)");
  for (const std::string& word : args) {
    if (auto value = Option(word, "version")) {
      Require(!value->empty(), "version= needs a version text");
      version_ = *value;
    } else if (auto count = Option(word, "explorers")) {
      explorers_ = WholeNumber(*count, "explorers=");
      Require(explorers_ >= 0, "explorers= takes 0 or more");
    }
  }
  // The rest is what the host lends the add-in.
  std::vector<std::string> words{"host"};
  words.insert(words.end(), args.begin(), args.end());
  addIn_->Execute(words);
}

void SimSession::ConnectAddIn(const std::vector<std::string>& args) {
  int mode = 1;
  for (const std::string& word : args) {
    const auto value = Option(word, "mode");
    Require(value.has_value(), "'connect' does not know '" + word + "'");
    mode = WholeNumber(*value, "mode=");
  }
  Outlook();
  connection_ = addIn_->NewConnection();
  outlook_->ConnectAddIn(*connection_, Connect::kProgId, mode);
}

void SimSession::Disconnect() {
  Require(connection_ != nullptr, "the add-in is not connected");
  outlook_->DisconnectAddIn(*connection_);
  connection_.reset();
  ReportHostErrors();
  if (const std::string held = addIn_->Released(); !held.empty()) out_ << held << "\n";
}

void SimSession::Open(const std::vector<std::string>& args) {
  Require(!args.empty(), "'open' needs a window name");
  auto kind = sim::SimOutlook::ItemKind::Mail;
  bool sent = false;
  bool insertFileVisible = true;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (auto value = Option(args[i], "kind")) {
      if (*value == "mail") {
        kind = sim::SimOutlook::ItemKind::Mail;
      } else if (*value == "contact") {
        kind = sim::SimOutlook::ItemKind::Contact;
      } else if (*value == "note") {
        kind = sim::SimOutlook::ItemKind::Note;
      } else {
        throw SimUsageError("kind= takes mail, contact or note, not '" + *value + "'");
      }
    } else if (args[i] == "sent") {
      sent = true;
    } else if (args[i] == "no1079") {
      insertFileVisible = false;
    } else {
      throw SimUsageError("'open' does not know '" + args[i] + "'");
    }
  }
  Outlook().Open(args[0], kind, sent, insertFileVisible);
}

void SimSession::Mail(const std::vector<std::string>& args) {
  Require(args.size() >= 2, "'mail' needs a window name and what to set");
  const auto window = Outlook().Window(args[0]);
  Require(window != nullptr, "no window named " + args[0]);
  const auto mail = window->Mail();
  Require(mail != nullptr, "the item in " + args[0] + " is no mail");
  const std::string& field = args[1];
  const std::vector<std::string> values(args.begin() + 2, args.end());
  const auto one = [&] {
    Require(values.size() == 1, "'mail " + field + "' takes one text (quote it)");
    return values[0];
  };
  if (field == "subject") {
    mail->subject = one();
  } else if (field == "to" || field == "cc" || field == "bcc") {
    Require(!values.empty(), "'mail " + field + "' needs at least one address");
    auto& list = field == "to" ? mail->to : field == "cc" ? mail->cc : mail->bcc;
    list.insert(list.end(), values.begin(), values.end());
  } else if (field == "body") {
    mail->body = one();
  } else if (field == "html") {
    mail->htmlBody = one();
    mail->bodyFormat = sim::kFormatHTML;
  } else if (field == "body-file") {
    mail->body = FileBytes(one());
  } else if (field == "html-file") {
    mail->htmlBody = FileBytes(one());
    mail->bodyFormat = sim::kFormatHTML;
  } else if (field == "host-attachments") {
    mail->hostAttachments = WholeNumber(one(), "host-attachments");
  } else {
    throw SimUsageError("'mail' cannot set '" + field + "'");
  }
}

void SimSession::MakeFile(const std::vector<std::string>& args) {
  Require(args.size() == 2, "'make-file' takes a path and a size in bytes");
  const int bytes = WholeNumber(args[1], "make-file");
  Require(bytes >= 0, "a file cannot have fewer than 0 bytes");
  std::ofstream file(PathOf(args[0]), std::ios::binary | std::ios::trunc);
  Require(static_cast<bool>(file), "cannot make " + args[0]);
  // Varied bytes, so that a copy that shifts or drops any shows.
  std::uint32_t state = 2463534242u;
  std::string block(65536, '\0');
  for (int done = 0; done < bytes;) {
    for (char& c : block) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      c = static_cast<char>(state);
    }
    const int n = std::min<int>(bytes - done, static_cast<int>(block.size()));
    file.write(block.data(), n);
    done += n;
  }
}

void SimSession::PrintWindow(const std::string& name, const std::string& what) {
  auto window = Outlook().Window(name);
  if (!window && what == "toolbars") {
    // A closed window: what the add-in left when it closed.
    if (const auto closed = Outlook().ClosedWindow(name); closed && closed->toolbarsAtClose) {
      std::string names;
      for (const std::string& bar : *closed->toolbarsAtClose) names += (names.empty() ? "" : ", ") + bar;
      out_ << names << "\n";
      return;
    }
  }
  Require(window != nullptr, "no window named " + name);
  const auto mail = window->Mail();
  const auto needMail = [&] {
    Require(mail != nullptr, "the item in " + name + " is no mail");
    return mail;
  };
  const auto button = std::dynamic_pointer_cast<sim::SimControl>(
      window->Bars().FindControlByTag(kAddInButtonTag));
  if (what == "caption") {
    out_ << (button ? button->Caption() : "") << "\n";
  } else if (what == "icon") {
    out_ << (button && button->Face() ? addIn_->PictureName(*button->Face()) : "") << "\n";
  } else if (what == "toolbars") {
    std::string names;
    for (const auto& bar : window->Bars().Bars()) {
      if (!bar->Temporary()) continue;
      if (!names.empty()) names += ", ";
      names += bar->Name();
    }
    out_ << names << "\n";
  } else if (what == "body") {
    out_ << needMail()->body << "\n";
  } else if (what == "html") {
    out_ << needMail()->htmlBody << "\n";
  } else if (what == "format") {
    out_ << (needMail()->bodyFormat == sim::kFormatHTML ? "html" : "plain") << "\n";
  } else if (what == "mileage") {
    out_ << needMail()->mileage << "\n";
  } else if (what == "subject") {
    out_ << needMail()->subject << "\n";
  } else {
    throw SimUsageError("'print " + name + "' cannot print '" + what + "'");
  }
}

}  // namespace dwl::cli
