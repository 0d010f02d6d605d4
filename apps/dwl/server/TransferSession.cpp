#include "apps/dwl/server/TransferSession.h"

#include <asio/write.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

#include "apps/dwl/server/TransferServer.h"
#include "platform/Error.h"
#include "support/ApplicationLog.h"

namespace dwl::server {

namespace {

// The server's own failures are refusals (5xx): the client ends the upload
// and sends the e-mail again later; what is on disk stays for the resume.
const std::string kCannotWrite = "552 Cannot write the file";
const std::string kCannotSave = "552 Cannot save the e-mail";

std::optional<double> Number(const std::string& text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  if (text.empty() || result.ec != std::errc() || result.ptr != end || !std::isfinite(value) || value < 0) {
    return std::nullopt;
  }
  return value;
}

// The field of a one-field command: everything after the word and a blank.
std::string WholeField(const protocol::Command& command) {
  std::string text;
  for (std::size_t i = 0; i < command.fields.size(); ++i) {
    if (i > 0) text += ", ";
    text += command.fields[i];
  }
  return text;
}

}  // namespace

TransferSession::TransferSession(asio::ip::tcp::socket socket, TransferServer& server, int number)
    : socket_(std::move(socket)),
      server_(server),
      number_(number),
      idle_(server.NewTimer([this] { TimedOut(); })),
      refusal_(server.NewTimer([this] { RefuseLogin(); })),
      quiet_(socket_.get_executor()) {}

void TransferSession::Start() {
  std::error_code error;
  const auto peer = socket_.remote_endpoint(error);
  server_.Report("connection " + std::to_string(number_) + " from " +
                 (error ? std::string("?") : peer.address().to_string() + ":" + std::to_string(peer.port())));
  // It takes commands before their predecessors are answered, in order.
  Reply("220 Dropwell transfer server ready PIPELINING");
  RestartIdle();
  Resume();
}

void TransferSession::Stop() {
  if (stopped_) return;
  stopped_ = true;
  std::error_code ignored;
  quiet_.cancel();
  // Timers go before the loop that made them, which may outlive this session.
  idle_.reset();
  refusal_.reset();
  socket_.close(ignored);
  if (!attachmentId_.empty()) {
    // The bytes held back are not written: the client sends them again when
    // it resumes from the size on disk.
    file_.close();
    server_.Release(attachmentId_);
    attachmentId_.clear();
  }
  server_.Report("connection " + std::to_string(number_) + " closed");
  server_.Ended(this);
}

void TransferSession::Resume() {
  if (stopped_ || reading_) return;
  HandleLines();
  if (!stopped_ && !Held()) StartRead();
}

bool TransferSession::Held() const {
  return closeAfterWrite_ || refusalDue_ || unsentBytes_ > server_.Options().maxUnsentReplies;
}

void TransferSession::StartRead() {
  reading_ = true;
  socket_.async_read_some(asio::buffer(readBuffer_),
                          [self = shared_from_this()](const std::error_code& error, std::size_t bytes) {
                            self->HandleRead(error, bytes);
                          });
}

void TransferSession::HandleRead(const std::error_code& error, std::size_t bytes) {
  reading_ = false;
  if (stopped_) return;
  if (error) {
    Stop();
    return;
  }
  RestartIdle();
  const std::string_view data(readBuffer_.data(), bytes);
  if (mode_ == Mode::FileBytes) {
    HandleFileBytes(data);
  } else {
    lines_.Append(data);
  }
  Resume();
}

void TransferSession::HandleLines() {
  // Lines wait in the framer while held: at most one read more than a line.
  while (!stopped_ && mode_ != Mode::FileBytes && !Held()) {
    const std::optional<std::string> line = lines_.NextLine();
    if (!line) {
      if (lines_.TooLong()) {
        Reply("500 Line too long");
        closeAfterWrite_ = true;
      }
      return;
    }
    HandleLine(*line);
  }
}

void TransferSession::HandleLine(const std::string& line) {
  if (mode_ == Mode::Body) {
    const std::string_view text = protocol::WithoutLineEnd(line);
    if (text == protocol::kBodyEnd) {
      EndBody();
    } else {
      AddBodyLine(text);
    }
    return;
  }
  HandleCommand(protocol::ParseCommandLine(line));
}

void TransferSession::HandleCommand(const protocol::Command& command) {
  const std::string& word = command.word;
  server_.Record(word);
  if (const auto& script = server_.Options().script) {
    if (const std::optional<std::string> reply = script(word, number_)) {
      if (!reply->empty()) Reply(*reply);
      return;
    }
  }
  if (word == "QUIT") {
    Reply("221 Bye");
    closeAfterWrite_ = true;
    return;
  }
  if (word == "HELO") {
    Reply("250 Hello");
    return;
  }
  if (word == "LOGN") {
    LogIn(command);
    return;
  }
  if (!loggedIn_) {
    Reply("530 Please log in");
    return;
  }
  if (word == "NEWM" || word == "RESM") {
    StartEmail(command);
    return;
  }
  if (!email_) {
    Reply("503 No e-mail under way");
    return;
  }
  if (word == "NEWA" || word == "RESA") {
    StartAttachment(command);
  } else if (word == "SUBJ") {
    email_->subject = WholeField(command);
    Reply(SaveEmail() ? "330 Subject stored" : kCannotSave);
  } else if (word == "PASS") {
    email_->password = WholeField(command);
    Reply(SaveEmail() ? "350 Password stored" : kCannotSave);
  } else if (word == "RECP") {
    AddRecipient(command);
  } else if (word == "BODY") {
    StartBody();
  } else if (word == "FINM") {
    FinishEmail();
  } else {
    Reply("500 Unknown command");
  }
}

void TransferSession::RestartIdle() {
  const std::chrono::milliseconds timeout = server_.Options().idleTimeout;
  if (idle_ && timeout.count() > 0) idle_->Start(timeout);
}

void TransferSession::TimedOut() {
  const auto self = shared_from_this();  // Stop makes the server let go of it
  server_.Report("connection " + std::to_string(number_) + ": nothing received for " +
                 std::to_string(server_.Options().idleTimeout.count()) + " ms");
  Stop();
}

void TransferSession::LogIn(const protocol::Command& command) {
  const ServerOptions& options = server_.Options();
  const std::string user = command.fields.empty() ? "" : command.fields[0];
  // The password may hold ", " itself.
  std::string password;
  for (std::size_t i = 1; i < command.fields.size(); ++i) password += (i > 1 ? ", " : "") + command.fields[i];
  loggedIn_ = (options.user.empty() || user == options.user) &&
              (options.password.empty() || password == options.password);
  if (loggedIn_) {
    Reply("210 Welcome " + std::to_string(number_));
    return;
  }
  // The name only, cleaned (it is the client's text); never the password.
  server_.Report("connection " + std::to_string(number_) + ": login refused for '" + Printable(user, 64) + "'");
  // A late answer, and nothing else read meanwhile, makes guessing slow; it
  // waits on a timer, so other connections go on.
  ++refusedLogins_;
  refusalDue_ = true;
  if (options.refusedLoginDelay.count() > 0) {
    refusal_->Start(options.refusedLoginDelay);
  } else {
    RefuseLogin();
  }
}

void TransferSession::RefuseLogin() {
  const auto self = shared_from_this();  // what it handles next may stop it
  refusal_->Stop();
  refusalDue_ = false;
  Reply("530 Login refused");
  if (refusedLogins_ >= server_.Options().maxRefusedLogins) {
    server_.Report("connection " + std::to_string(number_) + ": " + std::to_string(refusedLogins_) +
                   " logins refused");
    closeAfterWrite_ = true;
  }
  Resume();
}

void TransferSession::StartEmail(const protocol::Command& command) {
  // A refused NEWM leaves no e-mail under way, so a NEWA sent with it is
  // refused too rather than taken for an earlier e-mail.
  email_.reset();
  if (command.fields.size() != 3 || !ServerStore::ValidId(command.fields[0])) {
    Reply("501 Expected: id, size, source");
    return;
  }
  const std::optional<double> size = Number(command.fields[1]);
  if (!size) {
    Reply("501 Not a size: " + command.fields[1]);
    return;
  }
  if (server_.Options().maxSize && *size > *server_.Options().maxSize) {
    Reply("320 E-mail too large");
    return;
  }
  // Each attempt announces every file again, new or resumed.
  email_ = StoredEmail{};
  email_->id = command.fields[0];
  emailState_ = EmailState{};
  emailState_.announcedBytes = *size;
  try {
    finishedBefore_ = server_.Store().EmailFinished(email_->id);
  } catch (const Error& failure) {
    email_.reset();
    Reply("552 " + failure.Description());
    return;
  }
  Reply("310 E-mail accepted " + email_->id);
}

void TransferSession::StartAttachment(const protocol::Command& command) {
  if (command.fields.size() < 2) {
    Reply("501 Expected: name or id, 0");
    return;
  }
  // A file name may hold ", " itself: the last field is the 0.
  std::string name;
  for (std::size_t i = 0; i + 1 < command.fields.size(); ++i) name += (i > 0 ? ", " : "") + command.fields[i];
  std::string id;
  bool resumed = false;
  try {
    if (command.word == "RESA" && server_.Store().HasAttachment(name)) {
      const Owner owner = OwnerOf(name);
      if (owner == Owner::OtherEmail) {
        Reply("553 The file belongs to another e-mail");
        return;
      }
      resumed = owner == Owner::ThisEmail;
      if (resumed) id = name;
    }
    if (!resumed) {
      // A new file, or one this server cannot give this e-mail: it starts afresh.
      id = server_.Store().NewAttachment(command.word == "NEWA" ? name : "", email_->id);
      server_.NoteCreated(email_->id, id);
    }
  } catch (const Error& failure) {
    Reply("552 " + failure.Description());
    return;
  }
  if (!server_.Claim(id)) {
    Reply("450 The file is being received on another connection");
    return;
  }
  if (std::find(email_->attachmentIds.begin(), email_->attachmentIds.end(), id) == email_->attachmentIds.end()) {
    email_->attachmentIds.push_back(id);
    emailState_.fileBytes += server_.Store().AttachmentSize(id);
    emailState_.recordSaved = false;
  }
  ReceiveFile(id, resumed);
}

TransferSession::Owner TransferSession::OwnerOf(const std::string& attachmentId) const {
  const std::string owner = server_.Store().AttachmentEmail(attachmentId);
  if (!owner.empty()) return owner == email_->id ? Owner::ThisEmail : Owner::OtherEmail;
  // A file from before the store kept owners: the e-mail's record may list it.
  const std::vector<std::string> listed = server_.Store().EmailAttachments(email_->id);
  return std::find(listed.begin(), listed.end(), attachmentId) != listed.end() ? Owner::ThisEmail : Owner::Unknown;
}

void TransferSession::ReceiveFile(const std::string& attachmentId, bool resumed) {
  file_.open(server_.Store().AttachmentPath(attachmentId), std::ios::binary | std::ios::app);
  if (!file_) {
    server_.Release(attachmentId);
    Reply(kCannotWrite);
    return;
  }
  attachmentId_ = attachmentId;
  receiver_ = AttachmentReceiver();
  fileRoom_ = FileRoom(resumed);
  mode_ = Mode::FileBytes;
  Reply(resumed ? protocol::AttachmentResumedReply(server_.Store().AttachmentSize(attachmentId))
                : protocol::AttachmentCreatedReply(attachmentId));
  const std::string early = lines_.TakeRest();
  if (!early.empty()) HandleFileBytes(early);
}

std::optional<std::uint64_t> TransferSession::FileRoom(bool resumed) const {
  // The files of an e-mail delivered before stay as they were delivered.
  if (finishedBefore_ && resumed) return 0;
  const std::optional<double>& most = server_.Options().maxSize;
  if (!most) return std::nullopt;
  const double left = *most - static_cast<double>(emailState_.fileBytes);
  if (left >= static_cast<double>(std::numeric_limits<std::uint64_t>::max())) return std::nullopt;
  return left > 0 ? static_cast<std::uint64_t>(left) : 0;
}

void TransferSession::HandleFileBytes(std::string_view data) {
  const AttachmentReceiver::Certain certain = receiver_.Take(data);
  const bool beyond = fileRoom_ && certain.Size() > *fileRoom_;
  // What lies beyond the room is not kept.
  std::size_t keep = beyond ? static_cast<std::size_t>(*fileRoom_) : certain.Size();
  for (std::string_view part : {certain.released, certain.read}) {
    part = part.substr(0, std::min(part.size(), keep));
    if (part.empty()) continue;
    keep -= part.size();
    file_.write(part.data(), static_cast<std::streamsize>(part.size()));
    fileBytesReceived_ += part.size();
    emailState_.fileBytes += part.size();
    if (fileRoom_) *fileRoom_ -= part.size();
    if (!file_) {
      Reply(kCannotWrite);
      closeAfterWrite_ = true;
      return;
    }
  }
  if (beyond) {
    Reply(finishedBefore_ ? "552 The file was delivered whole before" : "552 The e-mail is larger than the server takes");
    closeAfterWrite_ = true;
    return;
  }
  if (server_.CutDue(fileBytesReceived_)) {
    file_.flush();
    Stop();
    return;
  }
  quiet_.cancel();
  // With every byte the e-mail announced on disk, bytes ending like the marker
  // can only be the marker: no need to wait for the client's silence.
  if (receiver_.HoldsEndMarker() && static_cast<double>(emailState_.fileBytes) == emailState_.announcedBytes) {
    FinishFile();
    return;
  }
  if (receiver_.HoldsEndMarker()) {
    quiet_.expires_after(server_.Options().quietTime);
    quiet_.async_wait([self = shared_from_this()](const std::error_code& error) { self->HandleQuiet(error); });
  }
}

void TransferSession::HandleQuiet(const std::error_code& error) {
  if (error || stopped_ || closeAfterWrite_ || mode_ != Mode::FileBytes || !receiver_.HoldsEndMarker()) return;
  FinishFile();
}

void TransferSession::FinishFile() {
  file_.close();
  server_.Release(attachmentId_);
  server_.Record("FINA");
  const bool written = !file_.fail();
  attachmentId_.clear();
  mode_ = Mode::Commands;
  Reply(written ? "250 File stored" : kCannotWrite);
}

void TransferSession::AddRecipient(const protocol::Command& command) {
  std::string recipient = WholeField(command);
  const EmailLimits& limits = server_.Options().emailLimits;
  if (email_->recipients.size() >= limits.recipients ||
      recipient.size() > limits.recipientBytes - emailState_.recipientBytes) {
    Reply("552 Too many recipients");
    return;
  }
  emailState_.recipientBytes += recipient.size();
  email_->recipients.push_back(std::move(recipient));
  Reply(SaveRecipient() ? "350 Recipient added" : kCannotSave);
}

void TransferSession::StartBody() {
  email_->bodyLines.clear();
  emailState_.bodyBytes = 0;
  emailState_.bodyTooLong = false;
  emailState_.recordSaved = false;
  mode_ = Mode::Body;
  Reply("360 Send the body");
}

void TransferSession::AddBodyLine(std::string_view text) {
  if (emailState_.bodyTooLong) return;
  // Only the exact "FINB" ends the body: "FINB" and blanks is a body line
  // that the client sent with one blank more.
  std::string line = protocol::BodyLineIn(text);
  const EmailLimits& limits = server_.Options().emailLimits;
  if (email_->bodyLines.size() >= limits.bodyLines || line.size() > limits.bodyBytes - emailState_.bodyBytes) {
    // Nothing more is kept; the end of the body is answered with the refusal.
    emailState_.bodyTooLong = true;
    std::vector<std::string>().swap(email_->bodyLines);
    return;
  }
  emailState_.bodyBytes += line.size();
  email_->bodyLines.push_back(std::move(line));
}

void TransferSession::EndBody() {
  server_.Record("FINB");
  mode_ = Mode::Commands;
  if (emailState_.bodyTooLong) {
    Reply("552 The body is too long");
    return;
  }
  Reply(SaveEmail() ? "361 Body stored" : kCannotSave);
}

void TransferSession::FinishEmail() {
  std::uint64_t bytes = 0;
  for (const std::string& id : email_->attachmentIds) bytes += server_.Store().AttachmentSize(id);
  const double megabytes = static_cast<double>(bytes) / 1048576.0;
  const auto files = static_cast<std::int32_t>(email_->attachmentIds.size());
  for (const std::string& id : server_.TakeCreated(email_->id)) {
    const bool held = std::find(email_->attachmentIds.begin(), email_->attachmentIds.end(), id) !=
                      email_->attachmentIds.end();
    if (!held && !server_.Busy(id) && server_.Store().AttachmentSize(id) == 0) {
      server_.Store().RemoveAttachment(id);
    }
  }
  if (finishedBefore_) {
    server_.Report("e-mail " + email_->id + " was finished before: answered again, not delivered twice");
  } else {
    email_->finished = true;
    if (!SaveEmail()) {
      // Not finished after all: the client sends the e-mail again.
      email_->finished = false;
      Reply(kCannotSave);
      return;
    }
    server_.Report("e-mail " + email_->id + " finished: " + std::to_string(files) + " files, " +
                   std::to_string(bytes) + " bytes");
  }
  Reply(protocol::FinishReply(megabytes, files));
  email_.reset();
}

bool TransferSession::SaveEmail() {
  if (finishedBefore_) return true;  // the finished record stays as it was
  try {
    server_.Store().SaveEmail(*email_);
    emailState_.recordSaved = true;
    return true;
  } catch (const Error& failure) {
    emailState_.recordSaved = false;
    server_.Report("cannot save e-mail " + email_->id + ": " + failure.Description());
    return false;
  }
}

bool TransferSession::SaveRecipient() {
  // The record holds the rest already: one entry more is enough.
  if (finishedBefore_ || !emailState_.recordSaved) return SaveEmail();
  try {
    server_.Store().AddRecipient(email_->id, email_->recipients.back());
    return true;
  } catch (const Error& failure) {
    emailState_.recordSaved = false;  // the next save writes it whole
    server_.Report("cannot save e-mail " + email_->id + ": " + failure.Description());
    return false;
  }
}

void TransferSession::Reply(const std::string& text) {
  std::string line = text;
  if (protocol::WithoutLineEnd(line).size() == line.size()) line += protocol::kLineEnd;
  unsentBytes_ += line.size();
  replies_.push_back(std::move(line));
  if (writing_.empty()) StartWrite();
}

void TransferSession::StartWrite() {
  writing_ = std::move(replies_.front());
  replies_.pop_front();
  asio::async_write(socket_, asio::buffer(writing_),
                    [self = shared_from_this()](const std::error_code& error, std::size_t) {
                      self->HandleWrite(error);
                    });
}

void TransferSession::HandleWrite(const std::error_code& error) {
  unsentBytes_ -= writing_.size();
  writing_.clear();
  if (stopped_) return;
  if (error) {
    Stop();
    return;
  }
  if (!replies_.empty()) {
    StartWrite();
  } else if (closeAfterWrite_) {
    Stop();
    return;
  }
  Resume();
}

}  // namespace dwl::server
