// ServerCommunicator against a server that says anything: the client
// connects and uploads a small e-mail with files through a scripted socket,
// and the input decides what the server replies and when sends complete, the
// connection closes or fails, time passes and the owner reconnects, sends,
// cancels or disconnects.
//
// Input: one byte that picks the e-mail (files, resume ids, password,
// recipients, body), then one step per line:
//   S        the reply a well-behaved server gives in the client's state
//   R<text>  <text> and CR LF arrive      P<text>  <text> arrives, no line end
//   B<n>     the next n R and P steps arrive together, in one read
//   C        the sends complete           X        the server closes
//   E<n>     the socket fails with n      T<n>     n seconds pass
//   F<n>     sends fail with n (0: no longer)
//   A        the connection is made       N        the owner connects again
//   M        the owner sends the e-mail (when logged in and idle)
//   Q        the owner cancels            D        the owner disconnects
// Checked: command lines are whole lines; the bytes of a file go out in
// pieces of at most 1460 bytes after the zero block, in order without gaps,
// up to its end before the end marker; no body line is the body's end;
// EmailFinished follows FINM and never a refusal (a reply beginning with 5)
// that came alone, ConnectedToServer follows LOGN; nothing goes out after
// QUIT on one connection, and a connection sends QUIT at most once; the
// state and byte count stay in range.
#include <algorithm>
#include <charconv>
#include <map>

#include "fuzz/FuzzSupport.h"
#include "tests/transfer/ScriptedSocket.h"
#include "transfer/ServerCommunicator.h"
#include "transfer/TransferProtocol.h"

namespace dwl::fuzz {
namespace {

using Client = ServerCommunicator;

struct File { const char* name; std::size_t size; };
constexpr File kFiles[] = {{"empty.bin", 0}, {"one.bin", 1}, {"big.bin", 3000}};

// The sandbox with the files, made once. Each file holds pseudo-random bytes,
// so that any run of a few bytes shows where it is from.
std::map<std::string, std::string>& Contents() {
  static std::map<std::string, std::string> contents = [] {
    Sandbox();
    const std::shared_ptr<AppSettings> settings = AppSettings::Instance();
    settings->RefreshSettings();
    settings->setUsername("alice");
    settings->setPassword("secret");
    std::map<std::string, std::string> made;
    std::uint32_t state = 12345;
    for (const File& file : kFiles) {
      std::string& bytes = made[Sandbox().Path(file.name)] = std::string(file.size, '\0');
      for (char& c : bytes) c = static_cast<char>((state = state * 1103515245 + 12345) >> 24);
      testing::WriteBytes(Sandbox().Path(file.name), bytes);
    }
    return made;
  }();
  return contents;
}

std::shared_ptr<Email> MakeEmail(std::uint8_t variant) {
  auto email = std::make_shared<Email>();
  email->set_ID("4711");
  email->set_Subject("Plans");
  for (std::size_t i = 0; i < std::size(kFiles); ++i) {
    if ((variant & (1u << i)) == 0) continue;
    auto attachment = std::make_shared<EmailAttachment>();
    attachment->set_FilePath(Sandbox().Path(kFiles[i].name));
    if (variant & 0x08) attachment->set_ID("A" + std::to_string(i));  // resumed with RESA
    email->AddAttachment(attachment);
  }
  if (variant & 0x10) email->set_Password("pw");
  for (const char* address : {"a@example.org", "b@example.org"}) {
    if (variant & 0x20) email->AddRecipient(address);
  }
  // The third holds lines that read like the end of the body.
  const char* const bodies[] = {"", "Hello\r\nthe files\r\nare here", "one\r\nFINB\r\nFINB \r\n", "  \r\n "};
  email->set_Body(bodies[variant >> 6]);
  return email;
}

int Number(std::string_view text, int otherwise) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end != text.data() ? value : otherwise;
}

class Session : public ServerCommunicatorEvents {
 public:
  explicit Session(std::uint8_t variant) : variant_(variant), email_(MakeEmail(variant)) {
    client_.SetSocket(&socket_);
    client_.SetEvents(this);
    client_.ConnectToServer();
    socket_.Accept();
  }

  void Step(std::string_view step) {
    const char op = step.empty() ? ' ' : step.front();
    const std::string_view arg = step.empty() ? step : step.substr(1);
    switch (op) {
      case 'S': Answer(); break;
      case 'R': Arrive(std::string(arg) + "\r\n"); break;
      case 'P': Arrive(std::string(arg)); break;
      case 'B': batch_ = std::clamp(Number(arg, 0), 0, 100); break;
      case 'C': socket_.CompleteSends(); break;
      case 'X': socket_.PeerCloses(); break;
      case 'E': socket_.Fail(Number(arg, wsk::kConnectionReset)); break;
      case 'T': Sandbox().AdvanceTime(std::chrono::seconds(std::min(Number(arg, 1), 120))); break;
      case 'F': socket_.failSendsWith = Number(arg, 0); break;
      case 'A':
      case 'N':
        CheckSends();
        op == 'A' ? socket_.Accept() : client_.ConnectToServer();
        quitSent_ = inBody_ = false;  // a connection anew
        if (op == 'N') lastCommand_.clear();
        break;
      case 'M':
        if (!idle_ || client_.ProtocolState() != Client::kReady) break;
        idle_ = false;
        client_.SendEmail(email_);
        break;
      case 'Q': client_.CancelTransfer(); break;
      case 'D': client_.Disconnect(); break;
      default: break;
    }
    CheckSends();
    const std::int32_t state = client_.ProtocolState();
    FUZZ_CHECK(state >= Client::kAwaitingGreeting && state <= Client::kSendingBodyLines, "state " + std::to_string(state));
    FUZZ_CHECK(client_.getBytesTransferred() >= 0, "bytes transferred " + std::to_string(client_.getBytesTransferred()));
  }

  // Delivers what a batch still holds.
  void Finish() {
    batch_ = 0;
    Arrive("");
    CheckSends();
  }

  // ServerCommunicatorEvents
  // Each event first looks at what went out before it in the same step.
  void ConnectedToServer(const std::string&) override {
    CheckSends();
    FUZZ_CHECK(lastCommand_ == "LOGN", "logged in after " + Shown(lastCommand_));
    idle_ = true;
  }
  void DisconnectedFromServer() override {
    CheckSends();
    inBody_ = false;  // what goes out next is no body line
  }
  void EmailFinished(double, std::int32_t) override {
    CheckSends();
    FUZZ_CHECK(lastCommand_ == "FINM", "an e-mail finished after " + Shown(lastCommand_));
    FUZZ_CHECK(soleLine_.empty() || soleLine_.front() != '5', "an e-mail finished on " + Shown(soleLine_));
    idle_ = true;
    email_ = MakeEmail(variant_);  // the next e-mail
  }
  void StartAttachment(EmailAttachment& attachment) override {
    CheckSends();
    const auto found = Contents().find(attachment.get_FilePath());
    FUZZ_CHECK(found != Contents().end(), "a file not in the e-mail: " + attachment.get_FilePath());
    file_ = &found->second;
    position_ = kUnknown;
    zeroBlockSent_ = broken_ = false;
  }
  void AttachmentFinished(EmailAttachment& attachment) override {
    CheckSends();
    FUZZ_CHECK(file_ != nullptr, "finished " + attachment.get_FilePath() + " that never started");
    FUZZ_CHECK(broken_ || position_ == kUnknown || position_ == file_->size(),
               "finished " + attachment.get_FilePath() + " after " + std::to_string(position_) + " of " +
                   std::to_string(file_->size()) + " bytes");
    finishedFile_ = file_;
  }

 private:
  static constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);

  // The reply a well-behaved server gives now; sends complete while file bytes or body lines flow.
  void Answer() {
    const bool mail = lastCommand_ == "NEWM" || lastCommand_ == "RESM";
    switch (client_.ProtocolState()) {
      case Client::kAwaitingGreeting: return Deliver("220 Dropwell transfer server\r\n");
      case Client::kAwaitingHeloReply: return Deliver("250 Hello\r\n");
      case Client::kAwaitingLoginReply: return Deliver("210 Welcome 17\r\n");
      case Client::kReady: return Deliver(mail ? "310 E-mail accepted 4711\r\n" : "250 File stored\r\n");
      case Client::kAwaitingAttachmentReply:  // a file with an id resumes from the middle of what it holds
        return Deliver(lastCommand_ == "RESA" ? protocol::AttachmentResumedReply(resumedSize_ / 2)
                                              : protocol::AttachmentCreatedReply("A" + std::to_string(++ids_)));
      case Client::kAwaitingSubjectReply: return Deliver("330 Subject stored\r\n");
      case Client::kSendingRecipients: return Deliver("350 Recipient added\r\n");
      case Client::kAwaitingBodyReply: return Deliver(lastCommand_ == "FINB" ? "361 Body stored\r\n" : "360 Send the body\r\n");
      case Client::kAwaitingFinishReply: return Deliver(protocol::FinishReply(1.5, 3));
      case Client::kDisconnecting: return Deliver("221 Bye\r\n");
      default: return socket_.CompleteSends();
    }
  }

  void Arrive(const std::string& data) {
    batched_ += data;
    if (batch_ > 0 && --batch_ > 0) return;
    if (!batched_.empty()) Deliver(std::exchange(batched_, ""));
  }

  // Data arrives; a read of exactly one line is kept for the checks.
  void Deliver(const std::string& data) {
    const auto end = data.find("\r\n");
    soleLine_ = end != std::string::npos && end + 2 == data.size() ? data.substr(0, end) : "";
    socket_.Receive(data);
    soleLine_.clear();
  }

  // Looks at everything sent since the last look.
  void CheckSends() {
    if (std::exchange(socket_.failedSends, 0) > 0) broken_ = true;  // a lost send leaves a gap; the socket's events tell
    const std::vector<bool> asText = socket_.asText;
    const std::vector<std::string> sent = socket_.TakeSent();
    for (std::size_t i = 0; i < sent.size(); ++i) asText[i] ? CheckLines(sent[i]) : CheckBytes(sent[i]);
  }

  // A command sent ahead shares its predecessor's send: each line on its own.
  void CheckLines(const std::string& text) {
    std::size_t at = 0;
    do {
      const std::size_t end = text.find("\r\n", at);
      const std::size_t next = end == std::string::npos ? text.size() : end + 2;
      CheckLine(text.substr(at, next - at));
      at = next;
    } while (at < text.size());
  }

  void CheckLine(const std::string& line) {
    FUZZ_CHECK(line.ends_with("\r\n") && line.find_first_of("\r\n") == line.size() - 2, "not one line: " + Shown(line));
    FUZZ_CHECK(!quitSent_, "sent after QUIT: " + Shown(line));
    const std::string word = line.substr(0, 4);
    if (inBody_) {
      // After BODY: the body's next line, with a blank more if it reads like
      // the end, or else a command; only the client's own end is "FINB", and
      // every line goes before it.
      const std::vector<std::string> lines = protocol::BodyLines(email_->get_Body());
      if (bodyLinesSent_ < lines.size() && line == protocol::BodyLineOut(lines[bodyLinesSent_]) + "\r\n") {
        lastCommand_ = "body line";
        ++bodyLinesSent_;
        return;
      }
      FUZZ_CHECK(line != "FINB\r\n" || bodyLinesSent_ == lines.size(),
                 "the body ended after " + std::to_string(bodyLinesSent_) + " of " + std::to_string(lines.size()) + " lines");
    }
    inBody_ = word == "BODY";
    bodyLinesSent_ = 0;
    lastCommand_ = word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") == std::string::npos ? word : "body line";
    quitSent_ = word == "QUIT";
    if (word != "RESA") return;
    // "RESA <id>, 0": the size of the file with that id picks the resume point.
    const std::string id = line.substr(5, line.find(", ") - 5);
    resumedSize_ = 0;
    for (const auto& attachment : email_->get_attachments()) {
      if (attachment != nullptr && attachment->get_ID() == id) resumedSize_ = Contents()[attachment->get_FilePath()].size();
    }
  }

  void CheckBytes(const std::string& bytes) {
    FUZZ_CHECK(!quitSent_, "file bytes sent after QUIT: " + std::to_string(bytes.size()));
    if (bytes == std::string(protocol::kZeroBlockSize, '\0')) {
      FUZZ_CHECK(file_ != nullptr, "a zero block outside a file");
      FUZZ_CHECK(!zeroBlockSent_ || broken_, "a second zero block for one file");
      zeroBlockSent_ = true;
      return;
    }
    if (bytes == protocol::kEndOfFileMarker) {
      FUZZ_CHECK(finishedFile_ != nullptr, "an end marker before AttachmentFinished");
      finishedFile_ = file_ = nullptr;
      return;
    }
    FUZZ_CHECK(file_ != nullptr, "file bytes outside a file: " + std::to_string(bytes.size()));
    FUZZ_CHECK(zeroBlockSent_ || broken_, "file bytes before the zero block");
    FUZZ_CHECK(!bytes.empty() && bytes.size() <= AttachmentSender::kBlockSize, "a piece of " + std::to_string(bytes.size()) + " bytes");
    if (broken_) return;
    if (position_ == kUnknown) {
      // A short piece is the file's last; a full one shows where it stands.
      position_ = bytes.size() < AttachmentSender::kBlockSize ? file_->size() - std::min(file_->size(), bytes.size())
                                                              : file_->find(bytes);
      FUZZ_CHECK(position_ != std::string::npos, "a piece that is not in the file");
    }
    FUZZ_CHECK(file_->compare(position_, bytes.size(), bytes) == 0,
               "a piece that does not continue the file at " + std::to_string(position_));
    position_ += bytes.size();
  }

  std::uint8_t variant_;
  std::shared_ptr<Email> email_;
  testing::ScriptedSocket socket_;
  Client client_;
  bool idle_ = false;
  int batch_ = 0;  // R and P steps still to collect
  std::string batched_;
  std::string lastCommand_;
  bool quitSent_ = false;  // on this connection
  bool inBody_ = false;    // BODY went out: the body's lines may follow
  std::size_t bodyLinesSent_ = 0;
  std::string soleLine_;   // the one line of the read under way, if it held one
  std::size_t resumedSize_ = 0;
  int ids_ = 0;
  // The file under way, what of it went out, and whether a failed send left a gap.
  const std::string* file_ = nullptr;
  const std::string* finishedFile_ = nullptr;
  std::size_t position_ = kUnknown;
  bool zeroBlockSent_ = false;
  bool broken_ = false;
};

}  // namespace
}  // namespace dwl::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace dwl::fuzz;
  if (size == 0) return 0;
  Contents();
  const std::string script = Text(data + 1, size - 1);
  {
    Session session(data[0]);
    for (std::size_t start = 0; start <= script.size();) {
      const std::size_t end = std::min(script.find('\n', start), script.size());
      session.Step(std::string_view(script).substr(start, end - start));
      start = end + 1;
    }
    session.Finish();
  }
  Sandbox().alerts.shown.clear();
  return 0;
}
