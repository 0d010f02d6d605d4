#include "apps/dwl/server/TransferSession.h"

#include <asio/write.hpp>

#include <algorithm>
#include <charconv>

#include "apps/dwl/server/TransferServer.h"
#include "platform/Error.h"

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
  if (text.empty() || result.ec != std::errc() || result.ptr != end || value < 0) return std::nullopt;
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
    : socket_(std::move(socket)), server_(server), number_(number), quiet_(socket_.get_executor()) {}

void TransferSession::Start() {
  std::error_code error;
  const auto peer = socket_.remote_endpoint(error);
  server_.Report("connection " + std::to_string(number_) + " from " +
                 (error ? std::string("?") : peer.address().to_string() + ":" + std::to_string(peer.port())));
  Reply("220 Dropwell transfer server ready");
  StartRead();
}

void TransferSession::Stop() {
  if (stopped_) return;
  stopped_ = true;
  std::error_code ignored;
  quiet_.cancel();
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

void TransferSession::StartRead() {
  socket_.async_read_some(asio::buffer(readBuffer_),
                          [self = shared_from_this()](const std::error_code& error, std::size_t bytes) {
                            self->HandleRead(error, bytes);
                          });
}

void TransferSession::HandleRead(const std::error_code& error, std::size_t bytes) {
  if (stopped_) return;
  if (error) {
    Stop();
    return;
  }
  const std::string_view data(readBuffer_.data(), bytes);
  if (mode_ == Mode::FileBytes) {
    HandleFileBytes(data);
  } else {
    lines_.Append(data);
    while (!stopped_ && mode_ != Mode::FileBytes) {
      const std::optional<std::string> line = lines_.NextLine();
      if (!line) break;
      HandleLine(*line);
    }
    if (lines_.TooLong()) {
      Reply("500 Line too long");
      closeAfterWrite_ = true;
      return;
    }
  }
  if (!stopped_) StartRead();
}

void TransferSession::HandleLine(const std::string& line) {
  if (mode_ == Mode::Body) {
    const std::string_view text = protocol::WithoutLineEnd(line);
    if (text == protocol::kBodyEnd) {
      server_.Record("FINB");
      mode_ = Mode::Commands;
      Reply(SaveEmail() ? "361 Body stored" : kCannotSave);
    } else {
      // Only the exact "FINB" ends the body: "FINB" and blanks is a body line
      // that the client sent with one blank more.
      email_->bodyLines.push_back(protocol::BodyLineIn(text));
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
    email_->recipients.push_back(WholeField(command));
    Reply(SaveEmail() ? "350 Recipient added" : kCannotSave);
  } else if (word == "BODY") {
    email_->bodyLines.clear();
    mode_ = Mode::Body;
    Reply("360 Send the body");
  } else if (word == "FINM") {
    FinishEmail();
  } else {
    Reply("500 Unknown command");
  }
}

void TransferSession::LogIn(const protocol::Command& command) {
  const ServerOptions& options = server_.Options();
  const std::string user = command.fields.empty() ? "" : command.fields[0];
  // The password may hold ", " itself.
  std::string password;
  for (std::size_t i = 1; i < command.fields.size(); ++i) password += (i > 1 ? ", " : "") + command.fields[i];
  loggedIn_ = (options.user.empty() || user == options.user) &&
              (options.password.empty() || password == options.password);
  Reply(loggedIn_ ? "210 Welcome " + std::to_string(number_) : "530 Login refused");
}

void TransferSession::StartEmail(const protocol::Command& command) {
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
    email_.reset();
    Reply("320 E-mail too large");
    return;
  }
  // Each attempt announces every file again, new or resumed.
  email_ = StoredEmail{};
  email_->id = command.fields[0];
  finishedBefore_ = server_.Store().EmailFinished(email_->id);
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
      id = name;
      resumed = true;
    } else {
      // A new file, or one this server does not know: it starts afresh.
      id = server_.Store().NewAttachment(command.word == "NEWA" ? name : "");
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
  }
  ReceiveFile(id, resumed);
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
  mode_ = Mode::FileBytes;
  Reply(resumed ? protocol::AttachmentResumedReply(server_.Store().AttachmentSize(attachmentId))
                : protocol::AttachmentCreatedReply(attachmentId));
  const std::string early = lines_.TakeRest();
  if (!early.empty()) HandleFileBytes(early);
}

void TransferSession::HandleFileBytes(std::string_view data) {
  const std::string bytes = receiver_.Take(data);
  if (!bytes.empty()) {
    file_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    fileBytesReceived_ += bytes.size();
    if (!file_) {
      Reply(kCannotWrite);
      closeAfterWrite_ = true;
      return;
    }
  }
  if (server_.CutDue(fileBytesReceived_)) {
    file_.flush();
    Stop();
    return;
  }
  quiet_.cancel();
  if (receiver_.HoldsEndMarker()) {
    quiet_.expires_after(server_.Options().quietTime);
    quiet_.async_wait([self = shared_from_this()](const std::error_code& error) { self->HandleQuiet(error); });
  }
}

void TransferSession::HandleQuiet(const std::error_code& error) {
  if (error || stopped_ || mode_ != Mode::FileBytes || !receiver_.HoldsEndMarker()) return;
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
    return true;
  } catch (const Error& failure) {
    server_.Report("cannot save e-mail " + email_->id + ": " + failure.Description());
    return false;
  }
}

void TransferSession::Reply(const std::string& text) {
  std::string line = text;
  if (protocol::WithoutLineEnd(line).size() == line.size()) line += protocol::kLineEnd;
  replies_.push_back(std::move(line));
  if (writing_.empty()) StartWrite();
}

void TransferSession::StartWrite() {
  writing_ = std::move(replies_.front());
  replies_.erase(replies_.begin());
  asio::async_write(socket_, asio::buffer(writing_),
                    [self = shared_from_this()](const std::error_code& error, std::size_t) {
                      self->HandleWrite(error);
                    });
}

void TransferSession::HandleWrite(const std::error_code& error) {
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
  }
}

}  // namespace dwl::server
