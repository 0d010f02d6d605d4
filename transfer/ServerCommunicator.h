// The client side of the service's transfer protocol. It greets the transfer
// server, logs in with the account of the settings and uploads one e-mail at
// a time: its files (resuming those the server already holds in part), its
// subject, download password, recipients and body.
//
// Use: create it on the owner's event loop, hand it a socket (SetSocket) and
// a receiver for its events, call ConnectToServer and wait for
// ConnectedToServer; then call SendEmail for one e-mail and wait for
// EmailFinished before the next. After a lost connection (ErrorOccured or
// DisconnectedFromServer) connect again and send the same e-mail again: its
// files resume where the server stopped.
//
// A reply that refuses a step (its code begins with "5": after NEWM or RESM,
// after a file's end, after SUBJ, PASS, RECP, BODY, FINB or FINM) ends the
// upload as a failure: ErrorOccured, and QUIT. After QUIT the server has the
// reply time-out to close the connection; then the client closes it itself
// and raises DisconnectedFromServer. Lines that came in one read after a
// reply that ended the connection or the upload are not handled, and after
// kMostUnexpectedReplies replies that no state expects (while file bytes or
// body lines flow, after the answer to QUIT, lines beginning with "0") the
// upload ends. Replies reach the log and the owner's messages cleaned of
// control characters and cut (Printable). A file's bytes go out through an
// AttachmentSender. A failure inside a socket event or a timer tick is logged
// at a TolerantRun checkpoint ("ServerCommunicator.<entry>:NN:...").
//
// A command waits for the answer to the one before, unless the server's
// greeting offers PIPELINING: then HELO and LOGN go out together, and so do
// NEWM (RESM) and the first file's NEWA (RESA) when that file is unchanged.
// Nothing else goes ahead: a refused SUBJ, PASS, RECP or BODY must stop the
// upload before a FINM already sent could deliver the e-mail. A command
// sent ahead whose step the conversation leaves (QUIT after a refusal) still
// owes its reply, which is skipped and logged when it comes, not taken for
// the answer to a later one.
//
// Single-threaded and never blocking: every step runs in an owner call, a
// socket event or a timer tick. Events are raised synchronously; a handler
// may call back into the object but must not destroy it.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "mail/Email.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/TcpSocket.h"
#include "support/AppSettings.h"
#include "support/ApplicationLog.h"
#include "support/TolerantRun.h"
#include "transfer/AttachmentSender.h"
#include "transfer/CTimeout.h"
#include "transfer/LineFramer.h"

namespace dwl {

// What a ServerCommunicator tells its owner; each event defaults to nothing.
class ServerCommunicatorEvents {
 public:
  virtual ~ServerCommunicatorEvents() = default;
  // Logged in; the last word of the login reply, without blanks around it.
  virtual void ConnectedToServer(const std::string& /*strWord*/) {}
  virtual void DisconnectedFromServer() {}
  // The server took the e-mail; the last word of its reply as received.
  virtual void EmailReady(const std::string& /*strWord*/) {}
  virtual void EmailIsTooLarge() {}
  // The e-mail is complete: the two values of the server's last reply.
  virtual void EmailFinished(double /*dblValue*/, std::int32_t /*lngValue*/) {}
  virtual void StartAttachment(EmailAttachment& /*objAttachment*/) {}
  virtual void AttachmentFinished(EmailAttachment& /*objAttachment*/) {}
  // A message for the user.
  virtual void ErrorOccured(const std::string& /*strMessage*/) {}
  // Once a second while file bytes flow: the bytes counted on this connection.
  virtual void BytesTransferred(double /*dblBytes*/) {}
};

class ServerCommunicator : private TcpSocketEvents {
 public:
  // Protocol states. The numbers are written to the log with every reply.
  enum : std::int32_t {
    kAwaitingGreeting = 0,
    kAwaitingLoginReply = 1,
    kReady = 2,
    kAwaitingAttachmentReply = 3,
    kAwaitingFinishReply = 4,
    kDisconnecting = 5,
    kAwaitingSubjectReply = 6,
    kSendingAttachmentData = 7,
    kAwaitingHeloReply = 8,
    kSendingRecipients = 9,
    kAwaitingBodyReply = 10,
    kSendingBodyLines = 11,
  };
  static constexpr std::int32_t kReplyTimeOutSeconds = 20;
  static constexpr std::int32_t kProgressSeconds = 1;
  // Replies on one connection that the client did not expect before it ends the upload.
  static constexpr std::int32_t kMostUnexpectedReplies = 100;
  // The most characters of a reply that the log or a message quotes.
  static constexpr std::size_t kMostReplyShown = 200;

  // Needs the platform's event loop for its timers.
  ServerCommunicator();
  ~ServerCommunicator() override;
  ServerCommunicator(const ServerCommunicator&) = delete;
  ServerCommunicator& operator=(const ServerCommunicator&) = delete;

  // Who receives the events (nullptr: nobody).
  void SetEvents(ServerCommunicatorEvents* events) { events_ = events; }
  // The connection to use from now on; the owner keeps it alive.
  void SetSocket(TcpSocket* socket);
  // Connects afresh to the server of the settings; the greeting starts the login.
  void ConnectToServer();
  // Starts the upload of `email`; call it when logged in and idle.
  void SendEmail(std::shared_ptr<Email> email);
  // Closes the connection at once and stops the timers.
  void CancelTransfer();
  // Asks the server to end the connection (QUIT).
  void Disconnect();

  std::int32_t ProtocolState() const { return state_; }
  // The socket's failure that ended this connection, if one did (a refused
  // connection, a name not found, a reset): for the owner's own words.
  const std::optional<Error>& LastSocketError() const { return lastSocketError_; }
  // QUIT went out on this connection and its send completed: the system
  // holds it, so the owner may close the socket without losing it.
  bool QuitHandedOver() const { return quitHandedOver_; }
  // The progress figure: file bytes counted on this connection.
  double getBytesTransferred() const { return static_cast<double>(file_.BytesTransferred()); }
  // File bytes sent on this connection beyond what the server held already
  // (resumed parts do not count); kept until the next ConnectToServer.
  std::int64_t getFileBytesSent() const { return file_.FileBytesSent(); }
  // The offset of the next byte of the file under way: at StartAttachment,
  // the bytes the server holds already.
  std::uint64_t getFilePosition() const { return file_.Position(); }

 private:
  // Socket events.
  void OnDataArrival(std::size_t bytesTotal) override;
  void OnSendComplete() override;
  void OnClose() override;
  void OnError(int number, const std::string& description) override;

  // Returns false for a reply ignored by the rule for data beginning with "0".
  bool HandleReply(const std::string& reply);
  // The step that a reply the state expects leads to.
  void ProcessReply(const std::string& reply, const std::string& code);
  void ProcessLoginReply(const std::string& reply, const std::string& code);
  void ProcessReadyReply(const std::string& reply, const std::string& code);
  void ProcessQuitReply();
  // Whether the state waits for a reply now.
  bool ExpectsReply() const;
  // Counts a reply that no state expects; ends the upload at the limit.
  void UnexpectedReply();
  // Whether a refusal in this state ends the upload, and what it refused.
  bool StepCanBeRefused() const;
  std::string RefusedStep() const;
  void Refused(const std::string& reply);
  // The reply as the log and messages show it.
  static std::string Quoted(const std::string& reply);
  // A command sent ahead of the answer to the one before, and the state in
  // which its reply is handled.
  struct SentAhead {
    std::string word;
    std::int32_t state;
  };
  // Whether the command whose reply `awaited` handles was sent ahead; it is
  // then no longer ahead.
  bool TakeAhead(std::int32_t awaited);
  // The conversation left the step of the command ahead: its reply is owed.
  void AbandonAhead();
  // Skips `reply` if it is owed to a command sent ahead; false otherwise.
  bool SkipOwedReply(const std::string& reply);
  std::string LoginCommand() const;
  static std::string AttachmentCommand(const EmailAttachment& attachment);
  void StartSendingAttachment();
  void SendAttachmentData(const std::string& reply);
  bool OpenAttachment(const std::string& reply, const std::string& code);
  // Opens the file of the attachment under way; false when the upload ended.
  bool OpenFile(const std::optional<std::uint64_t>& held);
  void SendNextPiece();
  void SendPassword();
  void SendNextRecipient(const std::string& reply);
  void SendBody(const std::string& reply);
  void ProcessFinishReply(const std::string& reply);
  void ProcessConnectionError(int number);
  void m_objTimeOut_TimeOut();
  void m_objBytesTransferredUpdate_TimeOut();

  // Ends the upload after a reply or a file it cannot go on with.
  void EndUpload(const std::string& message);
  void ShowCritical(const std::string& message);
  // Forgets the attachment under way; closes its file.
  void ResetUpload();
  TcpSocket& Socket();
  bool Connected();
  // Sends whose failure the step ignores: the socket's own events tell.
  void SendIgnoringErrors(const std::string& line);
  void SendBytesIgnoringErrors(std::string bytes);
  // A send whose failure goes to the connection-error handling; false then.
  bool SendOrFail(const std::string& line);
  void Log(const std::string& message) { log_->AddDebugMessage(message); }
  // Where a TolerantRun's checkpoints write: the log.
  TolerantRun::LogSink LogFailure() const;
  ServerCommunicatorEvents& Events();
  // Runs a socket or timer entry in tolerant mode: a failure there is logged
  // at its checkpoint, never thrown into the loop.
  template <class Step>
  void Entry(const char* name, Step&& step);

  std::shared_ptr<ApplicationLog> log_;
  std::shared_ptr<AppSettings> settings_;
  std::int32_t state_ = kAwaitingGreeting;
  std::shared_ptr<Email> currentMessage_;
  std::int32_t attachmentIndex_ = 0;
  std::int32_t bodyLineIndex_ = 0;
  std::int32_t recipientIndex_ = 0;
  std::shared_ptr<EmailAttachment> currentAttachment_;
  // The bytes of the attachment under way, and the byte counts.
  AttachmentSender file_;
  bool cancelling_ = false;
  // QUIT went out on this connection; its answer came (only the close may follow).
  bool quitSent_ = false;
  bool quitAnswered_ = false;
  bool quitHandedOver_ = false;
  std::optional<Error> lastSocketError_;
  // The greeting offered PIPELINING.
  bool pipelining_ = false;
  // At most one command is ahead at a time; its reply may become owed, at
  // most once per e-mail the owner starts.
  std::optional<SentAhead> ahead_;
  std::deque<SentAhead> owed_;
  // In kReady: the answer to NEWM or RESM, or to a file's end, is due.
  bool replyDue_ = false;
  std::int32_t unexpectedReplies_ = 0;
  // Grows whenever a connection or an upload ends or a new connection starts:
  // a read stops handling its lines after a reply that changed it.
  std::uint64_t ends_ = 0;
  CTimeout m_objTimeOut;
  CTimeout m_objBytesTransferredUpdate;
  TcpSocket* objServerSocket = nullptr;
  ServerCommunicatorEvents* events_ = nullptr;
  LineFramer replies_;
};

}  // namespace dwl
