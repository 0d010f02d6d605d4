#include "transfer/ServerCommunicator.h"

#include "platform/Platform.h"
#include "support/TolerantRun.h"
#include "transfer/TransferProtocol.h"

namespace dwl {

namespace {

constexpr const char* kLoginRefused =
    "Login information not correct. We are disconnected from server.";
constexpr const char* kConnectionLost =
    "Connection to server lost. Please check your internet connection and firewall settings.";
// " should be open ..." follows the port the settings connect to.
constexpr const char* kPortAdvice =
    " should be open for Dropwell. Transfer will be automatically resumed when a "
    "connection is established.";
constexpr const char* kIllegalSize = "Illegal e-mail size. Dropwell will now exit.";
constexpr const char* kUnrecoverable =
    "Please restart Dropwell because an unrecoverable error has occured.";

// Runs `step` and forgets any failure it throws.
template <class Step>
void Ignoring(Step&& step) {
  TolerantRun("ServerCommunicator").Run(std::forward<Step>(step));
}

ServerCommunicatorEvents& NoReceiver() {
  static ServerCommunicatorEvents nobody;
  return nobody;
}

}  // namespace

ServerCommunicator::ServerCommunicator()
    : log_(ApplicationLog::Instance()),
      settings_((log_->AddDebugMessage("Start ServerCommunicator.Class_Initialize()"),
                 AppSettings::Instance())),
      file_([this](std::string bytes) { SendBytesIgnoringErrors(std::move(bytes)); }) {
  m_objTimeOut.TimeOutValue(kReplyTimeOutSeconds);
  m_objTimeOut.TimeOut = [this] { Entry("m_objTimeOut_TimeOut", [this] { m_objTimeOut_TimeOut(); }); };
  m_objBytesTransferredUpdate.TimeOutValue(kProgressSeconds);
  m_objBytesTransferredUpdate.TimeOut = [this] {
    Entry("m_objBytesTransferredUpdate_TimeOut", [this] { m_objBytesTransferredUpdate_TimeOut(); });
  };
  Log("Finished ServerCommunicator.Class_Initialize()");
}

ServerCommunicator::~ServerCommunicator() {
  Log("Start ServerCommunicator.Class_Terminate()");
  m_objTimeOut.StopTimer();
  m_objBytesTransferredUpdate.StopTimer();
  if (objServerSocket != nullptr) {
    Ignoring([this] {
      if (objServerSocket->State() != SocketState::Closed) {
        Log("ServerCommunicator.Class_Terminate(): close winsock connection");
        objServerSocket->Close();
      }
    });
    objServerSocket->SetEvents(nullptr);
  }
  Log("Finished ServerCommunicator.Class_Terminate()");
}

ServerCommunicatorEvents& ServerCommunicator::Events() {
  return events_ != nullptr ? *events_ : NoReceiver();
}

TolerantRun::LogSink ServerCommunicator::LogFailure() const {
  return [log = log_](const std::string& line) { log->AddMessage(line); };
}

template <class Step>
void ServerCommunicator::Entry(const char* name, Step&& step) {
  TolerantRun run(std::string("ServerCommunicator.") + name, LogFailure());
  run.Run(std::forward<Step>(step));
  run.Checkpoint(1);
}

void ServerCommunicator::SetSocket(TcpSocket* socket) {
  if (objServerSocket != nullptr) objServerSocket->SetEvents(nullptr);
  objServerSocket = socket;
  if (objServerSocket != nullptr) objServerSocket->SetEvents(this);
}

TcpSocket& ServerCommunicator::Socket() {
  if (objServerSocket == nullptr) {
    throw Error(wsk::kNotConnected, "ServerCommunicator", "No socket was set");
  }
  return *objServerSocket;
}

bool ServerCommunicator::Connected() {
  return objServerSocket != nullptr && objServerSocket->State() == SocketState::Connected;
}

void ServerCommunicator::SendIgnoringErrors(const std::string& line) {
  Ignoring([&] { Socket().SendText(line); });
}

void ServerCommunicator::SendBytesIgnoringErrors(std::string bytes) {
  Ignoring([&] { Socket().SendBytes(std::move(bytes)); });
}

bool ServerCommunicator::SendOrFail(const std::string& line) {
  try {
    Socket().SendText(line);
    return true;
  } catch (const Error& failure) {
    lastSocketError_ = failure;
    ProcessConnectionError(static_cast<int>(failure.Number()));
    return false;
  }
}

void ServerCommunicator::ResetUpload() {
  currentAttachment_.reset();
  file_.Close();
}

void ServerCommunicator::ConnectToServer() {
  Log("Start ServerCommunicator.ConnectToServer()");
  cancelling_ = false;
  state_ = kAwaitingGreeting;
  attachmentIndex_ = 0;
  recipientIndex_ = 0;
  bodyLineIndex_ = 0;
  file_.ResetCounts();
  // Nothing of an interrupted upload may leak into the next one.
  ResetUpload();
  replies_.Clear();
  quitSent_ = false;
  quitAnswered_ = false;
  quitHandedOver_ = false;
  lastSocketError_.reset();
  pipelining_ = false;
  ahead_.reset();
  owed_.clear();
  replyDue_ = false;
  unexpectedReplies_ = 0;
  ++ends_;
  Ignoring([this] {
    Log("ServerCommunicator.ConnectToServer(): close winsock connection");
    Socket().Close();
  });
  Ignoring([this] { Socket().ResetLocalPort(); });
  Ignoring([this] { m_objTimeOut.StartTimer(); });
  Ignoring([this] {
    // The settings keep the port in 16 bits; ports above 32767 come back whole.
    Socket().Connect(settings_->getRemoteServerAddress(),
                     static_cast<std::uint16_t>(settings_->getRemoteServerPort()));
  });
  Log("Finished ServerCommunicator.ConnectToServer()");
}

void ServerCommunicator::CancelTransfer() {
  Log("Start ServerCommunicator.CancelTransfer()");
  cancelling_ = true;
  ++ends_;
  quitAnswered_ = false;
  ahead_.reset();
  owed_.clear();
  bool closed = false;
  Ignoring([&] {
    if (Connected()) {
      Log("ServerCommunicator.CancelTransfer(): close winsock connection");
      Socket().Close();
      closed = true;
    }
  });
  if (closed) Events().DisconnectedFromServer();
  m_objTimeOut.StopTimer();
  m_objBytesTransferredUpdate.StopTimer();
  state_ = kDisconnecting;
  cancelling_ = false;
  Log("Finished ServerCommunicator.CancelTransfer()");
}

void ServerCommunicator::Disconnect() {
  state_ = kDisconnecting;
  ++ends_;
  AbandonAhead();
  m_objBytesTransferredUpdate.StopTimer();
  if (Connected() && !quitSent_) {
    quitSent_ = true;
    SendIgnoringErrors(protocol::CommandLine("QUIT"));
    // A server that neither answers nor closes must not keep the owner
    // waiting: the reply time-out ends the connection (m_objTimeOut_TimeOut).
    Ignoring([this] { m_objTimeOut.StartTimer(); });
  }
}

void ServerCommunicator::OnDataArrival(std::size_t) {
  Entry("DataArrival", [this] {
    Log("Start ServerCommunicator.DataArrival()");
    if (cancelling_) {
      cancelling_ = false;
      return;
    }
    std::string text;
    Ignoring([&] { text = Socket().GetData(); });
    replies_.Append(text);
    bool finished = true;
    const std::uint64_t ends = ends_;
    while (ends_ == ends) {
      const std::optional<std::string> reply = replies_.NextLine();
      if (!reply) break;
      finished = HandleReply(*reply);
    }
    if (ends_ != ends) {
      // The reply ended the connection or the upload (or the owner did, or
      // reconnected): the lines that came with it belong to nothing now,
      // but for replies still owed to commands sent ahead, which come first.
      while (!owed_.empty()) {
        const std::optional<std::string> reply = replies_.NextLine();
        if (!reply) break;
        HandleReply(*reply);
      }
      replies_.Clear();
    } else if (replies_.TooLong()) {
      replies_.Clear();
      EndUpload("The server sent a reply without a line end.");
    }
    if (finished) Log("Finished ServerCommunicator.DataArrival()");
  });
}

std::string ServerCommunicator::Quoted(const std::string& reply) {
  return Printable(protocol::WithoutLineEnd(reply), kMostReplyShown);
}

bool ServerCommunicator::ExpectsReply() const {
  if (quitAnswered_) return false;  // only the close may follow
  switch (state_) {
    case kReady: return replyDue_;
    case kSendingAttachmentData:
    case kSendingBodyLines: return false;
    default: return true;
  }
}

void ServerCommunicator::UnexpectedReply() {
  if (++unexpectedReplies_ < kMostUnexpectedReplies) return;
  const std::string message = "The server sent " + std::to_string(unexpectedReplies_) +
                              " replies that the client did not expect.";
  if (!quitSent_) {
    EndUpload(message);
    return;
  }
  // QUIT is out already: the client closes the connection itself.
  log_->AddMessage("ServerCommunicator: " + message);
  ProcessConnectionError(wsk::kConnectionAborted);
}

bool ServerCommunicator::StepCanBeRefused() const {
  switch (state_) {
    case kReady:
    case kAwaitingFinishReply:
    case kAwaitingSubjectReply:
    case kSendingRecipients:
    case kAwaitingBodyReply: return true;
    default: return false;
  }
}

std::string ServerCommunicator::RefusedStep() const {
  switch (state_) {
    case kReady:
      return currentAttachment_ != nullptr ? "the file " + currentAttachment_->get_Filename() : "the e-mail";
    case kAwaitingSubjectReply: return "the subject";
    case kSendingRecipients:
      if (currentMessage_ != nullptr && recipientIndex_ > 0 &&
          recipientIndex_ <= currentMessage_->NumberOfRecipients()) {
        return "the recipient " + currentMessage_->get_Recipients()[static_cast<std::size_t>(recipientIndex_ - 1)];
      }
      return "the download password";
    case kAwaitingBodyReply: return "the body";
    case kAwaitingFinishReply: return "to finish the e-mail";
    default: return "the step";
  }
}

void ServerCommunicator::Refused(const std::string& reply) {
  EndUpload("The server refused " + RefusedStep() + ": " + Quoted(reply));
}

bool ServerCommunicator::HandleReply(const std::string& reply) {
  Log("clientstatus=" + std::to_string(state_) + "\t receiveddata: " + Quoted(reply));
  // An owed reply is told apart as in the state that would have handled it.
  const std::int32_t awaiting = owed_.empty() ? state_ : owed_.front().state;
  if (!reply.empty() && reply.front() == '0' && awaiting != kAwaitingAttachmentReply &&
      reply.find("411") == std::string::npos) {
    UnexpectedReply();
    return false;
  }
  if (SkipOwedReply(reply)) return true;
  if (!ExpectsReply()) {
    UnexpectedReply();
    return true;
  }
  if (state_ == kReady) replyDue_ = false;
  const std::string code = protocol::ReplyCode(reply);
  if (protocol::IsRefusal(code) && StepCanBeRefused()) {
    m_objTimeOut.StopTimer();
    Refused(reply);
    return true;
  }
  ProcessReply(reply, code);
  return true;
}

void ServerCommunicator::ProcessReply(const std::string& reply, const std::string& code) {
  switch (state_) {
    case kAwaitingGreeting: {
      m_objTimeOut.Reset();
      state_ = kAwaitingHeloReply;
      pipelining_ = protocol::OffersPipelining(reply);
      std::string lines = protocol::CommandLine("HELO", {std::to_string(settings_->getNumericVersion())});
      if (pipelining_) {
        // The answer to HELO changes nothing: LOGN need not wait for it.
        ahead_ = SentAhead{"LOGN", kAwaitingLoginReply};
        lines += LoginCommand();
      }
      SendOrFail(lines);
      break;
    }
    case kAwaitingHeloReply:
      m_objTimeOut.Reset();
      state_ = kAwaitingLoginReply;
      if (!TakeAhead(kAwaitingLoginReply)) SendOrFail(LoginCommand());
      break;
    case kAwaitingLoginReply: ProcessLoginReply(reply, code); break;
    case kReady: ProcessReadyReply(reply, code); break;
    case kAwaitingAttachmentReply:
      if (code == "410" || code == "420" || code == "430") {
        SendAttachmentData(reply);
      } else {
        EndUpload("Unexpected reply from server when adding a file to the e-mail: " + Quoted(reply));
      }
      break;
    case kAwaitingFinishReply:
      m_objTimeOut.StopTimer();
      ProcessFinishReply(reply);
      break;
    case kDisconnecting: ProcessQuitReply(); break;
    case kAwaitingSubjectReply:
      SendPassword();
      break;
    case kSendingRecipients:
      m_objTimeOut.Reset();
      SendNextRecipient(reply);
      break;
    case kAwaitingBodyReply:
      m_objTimeOut.Reset();
      SendBody(reply);
      break;
    default:  // file bytes or body lines flow: replies are not looked at
      break;
  }
}

void ServerCommunicator::ProcessLoginReply(const std::string& reply, const std::string& code) {
  m_objTimeOut.StopTimer();
  if (code == "210") {
    state_ = kReady;
    std::string word = protocol::LastWord(reply);
    word.erase(0, word.find_first_not_of(' '));
    word.erase(word.find_last_not_of(' ') + 1);
    Events().ConnectedToServer(word);
  } else {
    state_ = kAwaitingGreeting;
    Events().ErrorOccured(kLoginRefused);
  }
}

void ServerCommunicator::ProcessReadyReply(const std::string& reply, const std::string& code) {
  m_objTimeOut.StopTimer();
  if (code == "320") {
    Events().EmailIsTooLarge();
    Disconnect();
    return;
  }
  if (code == "310") Events().EmailReady(protocol::LastWord(reply));
  StartSendingAttachment();
}

void ServerCommunicator::ProcessQuitReply() {
  m_objBytesTransferredUpdate.StopTimer();
  state_ = kAwaitingGreeting;
  if (quitSent_) {
    // The answer to QUIT: the close must still come within the reply
    // time-out, which goes on running.
    quitAnswered_ = true;
  } else {
    m_objTimeOut.StopTimer();
  }
}

void ServerCommunicator::OnSendComplete() {
  Entry("SendComplete", [this] {
    // Every send so far has reached the system, QUIT too if it went out.
    if (quitSent_) quitHandedOver_ = true;
    if (state_ == kSendingAttachmentData) SendAttachmentData("0");
    if (state_ == kSendingBodyLines) SendBody("360");
  });
}

void ServerCommunicator::OnClose() {
  Entry("Socket_Close", [this] {
    Log("ServerCommunicator.Socket_Close(): socket has been closed.");
    // The connection is over: nothing is awaited on it any more, and a late
    // time-out must not close the next connection the owner opens.
    m_objTimeOut.StopTimer();
    m_objBytesTransferredUpdate.StopTimer();
    file_.Close();
    quitAnswered_ = false;
    ahead_.reset();
    owed_.clear();
    state_ = kAwaitingGreeting;
    ++ends_;
    Events().DisconnectedFromServer();
  });
}

void ServerCommunicator::OnError(int number, const std::string& description) {
  TolerantRun run("ServerCommunicator.Socket_Error", LogFailure());
  lastSocketError_ = Error(number, "TcpSocket", description);
  run.Fail(*lastSocketError_);
  run.Checkpoint(1);
  run.Run([&] { ProcessConnectionError(number); });
  run.Checkpoint(2);
}

void ServerCommunicator::ProcessConnectionError(int number) {
  m_objTimeOut.StopTimer();
  m_objBytesTransferredUpdate.StopTimer();
  quitAnswered_ = false;
  ahead_.reset();
  owed_.clear();
  ++ends_;
  if (number != wsk::kConnectionAborted) {
    // The settings keep the port in 16 bits; ports above 32767 come back whole.
    const auto port = static_cast<std::uint16_t>(settings_->getRemoteServerPort());
    Events().ErrorOccured(std::string(kConnectionLost) + "\r\nPort " + std::to_string(port) +
                          kPortAdvice + "\r\n(wsk: " + std::to_string(number) + ")");
  } else {
    Ignoring([this] {
      Log("ServerCommunicator.ProcessConnectionError(): close winsock connection");
      Socket().Close();
    });
    Events().DisconnectedFromServer();
  }
  state_ = kAwaitingGreeting;
  file_.ForgetProgress();
}

void ServerCommunicator::m_objTimeOut_TimeOut() {
  log_->AddMessage("m_objTimeOut_TimeOut()");
  ProcessConnectionError(wsk::kConnectionAborted);
}

void ServerCommunicator::SendEmail(std::shared_ptr<Email> email) {
  Log("Start ServerCommunicator.SendEmail()");
  if (cancelling_) {
    cancelling_ = false;
    return;
  }
  if (email == nullptr) throw Error(errc::kInvalidCall, "ServerCommunicator.SendEmail", "No e-mail");
  currentMessage_ = std::move(email);
  attachmentIndex_ = 0;
  bodyLineIndex_ = 0;
  recipientIndex_ = 0;
  ResetUpload();
  replyDue_ = true;
  Ignoring([this] { m_objTimeOut.StartTimer(); });
  Email& message = *currentMessage_;
  std::string lines = protocol::CommandLine(message.get_CreatedOnServer() ? "RESM" : "NEWM",
                                            {message.get_ID(), protocol::SizeText(message.Size()),
                                             message.get_EmailSource()});
  // The first file goes ahead only as it is: a changed one stops the upload
  // before it is announced (StartSendingAttachment).
  if (pipelining_ && message.NumberOfAttachments() > 0 && !message.get_attachments()[0]->FileSizeHasChanged()) {
    const std::string announcement = AttachmentCommand(*message.get_attachments()[0]);
    ahead_ = SentAhead{announcement.substr(0, 4), kAwaitingAttachmentReply};
    lines += announcement;
  }
  SendIgnoringErrors(lines);
  Log("Finished ServerCommunicator.SendEmail()");
}

std::string ServerCommunicator::LoginCommand() const {
  return protocol::CommandLine("LOGN", {settings_->getUsername(), settings_->getPassword()});
}

std::string ServerCommunicator::AttachmentCommand(const EmailAttachment& attachment) {
  if (!attachment.get_ID().empty()) return protocol::CommandLine("RESA", {attachment.get_ID(), "0"});
  return protocol::CommandLine("NEWA", {attachment.get_Filename(), "0"});
}

bool ServerCommunicator::TakeAhead(std::int32_t awaited) {
  if (!ahead_ || ahead_->state != awaited) return false;
  ahead_.reset();
  return true;
}

void ServerCommunicator::AbandonAhead() {
  if (!ahead_) return;
  owed_.push_back(*ahead_);
  ahead_.reset();
}

bool ServerCommunicator::SkipOwedReply(const std::string& reply) {
  if (owed_.empty()) return false;
  log_->AddMessage("ServerCommunicator: skipped the late reply to " + owed_.front().word + ": " + Quoted(reply));
  owed_.pop_front();
  return true;
}

void ServerCommunicator::StartSendingAttachment() {
  Log("Start ServerCommunicator.StartSendingAttachment()");
  if (cancelling_) {
    cancelling_ = false;
    return;
  }
  if (currentMessage_ != nullptr) {
    m_objTimeOut.StartTimer();
    // An e-mail without files holds one empty slot: straight to the subject.
    if (attachmentIndex_ < currentMessage_->NumberOfAttachments()) {
      currentAttachment_ = currentMessage_->get_attachments()[static_cast<std::size_t>(attachmentIndex_)];
      state_ = kAwaitingAttachmentReply;
      if (TakeAhead(kAwaitingAttachmentReply)) {
        // Announced together with the e-mail: its reply comes next.
      } else if (currentAttachment_->FileSizeHasChanged()) {
        Log("ServerCommunicator.StartSendingAttachment(): the size of " +
            currentAttachment_->get_FilePath() + " has changed");
        Disconnect();
        return;
      } else {
        SendIgnoringErrors(AttachmentCommand(*currentAttachment_));
      }
    } else {
      state_ = kAwaitingSubjectReply;
      SendIgnoringErrors(protocol::CommandLine("SUBJ", {currentMessage_->get_Subject()}));
    }
  }
  Log("Finished ServerCommunicator.StartSendingAttachment()");
}

bool ServerCommunicator::OpenAttachment(const std::string& reply, const std::string& code) {
  const std::string shown = Quoted(reply);
  if (currentAttachment_ == nullptr) {
    EndUpload("Unexpected reply from server: no file is under way: " + shown);
    return false;
  }
  std::optional<std::string> id;
  std::optional<std::uint64_t> held;
  if (code == "430") {
    held = protocol::ResumeOffset(reply);
    if (!held) {
      EndUpload("Unexpected reply from server when resuming the file " +
                currentAttachment_->get_Filename() + ": " + shown);
      return false;
    }
  } else {
    id = protocol::AttachmentId(reply);
    if (!id) {
      EndUpload("Unexpected reply from server when adding the file " +
                currentAttachment_->get_Filename() + ": " + shown);
      return false;
    }
  }
  if (!OpenFile(held)) return false;
  if (id) currentAttachment_->set_ID(*id);
  state_ = kSendingAttachmentData;
  m_objTimeOut.StartTimer();
  m_objBytesTransferredUpdate.StartTimer();
  Events().StartAttachment(*currentAttachment_);
  return true;
}

bool ServerCommunicator::OpenFile(const std::optional<std::uint64_t>& held) {
  std::uint64_t length = 0;
  try {
    length = file_.Open(currentAttachment_->get_FilePath());
  } catch (const Error& failure) {
    EndUpload("Cannot read the file " + currentAttachment_->get_FilePath() + ": " +
              failure.Description());
    return false;
  }
  if (held && *held > length) {
    EndUpload("The server holds " + std::to_string(*held) + " bytes of the file " +
              currentAttachment_->get_Filename() + ", which has only " + std::to_string(length) + ".");
    return false;
  }
  if (held) file_.ResumeAfter(*held);
  return true;
}

void ServerCommunicator::SendAttachmentData(const std::string& reply) {
  if (cancelling_) {
    cancelling_ = false;
    return;
  }
  const std::string code = protocol::ReplyCode(reply);
  if (code == "420") {
    ShowCritical(kIllegalSize);
    Disconnect();
    return;
  }
  if ((code == "410" || code == "430") && !OpenAttachment(reply, code)) return;
  if (state_ != kSendingAttachmentData) return;  // the owner stopped it from StartAttachment
  m_objTimeOut.Reset();
  SendNextPiece();
}

void ServerCommunicator::SendNextPiece() {
  bool last = false;
  TolerantRun run("ServerCommunicator.SendAttachmentData", LogFailure());
  if (!run.Run([&] { last = file_.SendNext(); })) {
    run.Checkpoint(1);
    m_objBytesTransferredUpdate.StopTimer();
    ShowCritical(kUnrecoverable);
    Disconnect();
    return;
  }
  if (!last) return;
  m_objBytesTransferredUpdate.StopTimer();
  m_objTimeOut.Reset();
  state_ = kReady;
  replyDue_ = true;  // the server's verdict on the file
  Events().AttachmentFinished(*currentAttachment_);
  ++attachmentIndex_;
  file_.SendEnd();
}

void ServerCommunicator::SendPassword() {
  m_objTimeOut.Reset();
  state_ = kSendingRecipients;
  const std::string& password = currentMessage_->get_Password();
  if (!password.empty()) {
    SendOrFail(protocol::CommandLine("PASS", {password}));
  } else {
    SendNextRecipient("");
  }
}

void ServerCommunicator::SendNextRecipient(const std::string& reply) {
  Log("Start ServerCommunicator.SendNextRecipient()");
  state_ = kSendingRecipients;
  const std::int32_t recipients = currentMessage_->NumberOfRecipients();
  if (recipients > 0) {
    if (!reply.empty() && protocol::ReplyCode(reply) != "350") {
      Refused(reply);
    } else if (recipients > recipientIndex_) {
      const std::string address =
          currentMessage_->get_Recipients()[static_cast<std::size_t>(recipientIndex_)];
      ++recipientIndex_;
      SendOrFail(protocol::CommandLine("RECP", {address}));
    } else {
      SendBody("");
    }
  } else {
    SendBody("");
  }
  Log("Finished ServerCommunicator.SendNextRecipient()");
}

void ServerCommunicator::SendBody(const std::string& reply) {
  Log("Start ServerCommunicator.SendBody()");
  const std::string& body = currentMessage_->get_Body();
  if (!protocol::BodyIsEmpty(body)) {
    const std::string code = protocol::ReplyCode(reply);
    if (reply.empty()) {
      state_ = kAwaitingBodyReply;
      SendOrFail(protocol::CommandLine("BODY"));
    } else if (code == "360") {
      const std::vector<std::string> lines = protocol::BodyLines(body);
      if (static_cast<std::int32_t>(lines.size()) > bodyLineIndex_) {
        state_ = kSendingBodyLines;
        // A line that reads like the end of the body goes out with a blank more.
        const std::string line = protocol::BodyLineOut(lines[static_cast<std::size_t>(bodyLineIndex_)]);
        ++bodyLineIndex_;
        SendOrFail(line + std::string(protocol::kLineEnd));
      } else {
        state_ = kAwaitingBodyReply;
        SendOrFail(protocol::CommandLine("FINB"));
      }
    } else if (code == "361") {
      state_ = kAwaitingFinishReply;
      SendOrFail(protocol::CommandLine("FINM"));
    } else {
      Refused(reply);
    }
  } else {
    state_ = kAwaitingFinishReply;
    SendOrFail(protocol::CommandLine("FINM"));
  }
  Log("Finished ServerCommunicator.SendBody()");
}

void ServerCommunicator::ProcessFinishReply(const std::string& reply) {
  const std::optional<protocol::FinishValues> values = protocol::ParseFinishReply(reply);
  if (!values) {
    EndUpload("Unexpected reply from server when finishing the e-mail: " + Quoted(reply));
    return;
  }
  state_ = kReady;
  Events().EmailFinished(values->megabytes, values->files);
}

void ServerCommunicator::m_objBytesTransferredUpdate_TimeOut() {
  log_->AddMessage("BytesTransferred(" + std::to_string(file_.BytesTransferred()) + ")");
  Events().BytesTransferred(getBytesTransferred());
  // The tick returns straight to the owner's loop, which dispatches whatever
  // is waiting next.
}

void ServerCommunicator::EndUpload(const std::string& message) {
  log_->AddMessage("ServerCommunicator: " + message);
  file_.Close();
  m_objBytesTransferredUpdate.StopTimer();
  Disconnect();
  Events().ErrorOccured(message);
}

void ServerCommunicator::ShowCritical(const std::string& message) {
  log_->AddMessage(message);
  ThePlatform().alerts->Critical(message, "");
}

}  // namespace dwl
