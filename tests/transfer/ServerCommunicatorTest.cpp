#include "transfer/ServerCommunicator.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <sstream>

#include "tests/TestPlatform.h"
#include "tests/transfer/ScriptedSocket.h"
#include "transfer/TransferProtocol.h"

namespace dwl {
namespace {

using namespace std::chrono_literals;

const std::string kZeroBlock(1024, '\0');
const std::string kFina = "FINA\r\n";

using testing::ScriptedSocket;

// Writes down the events as text.
class EventLog : public ServerCommunicatorEvents {
 public:
  void ConnectedToServer(const std::string& word) override { Add("ConnectedToServer(" + word + ")"); }
  void DisconnectedFromServer() override {
    Add("DisconnectedFromServer");
    if (onDisconnected) onDisconnected();
  }
  void EmailReady(const std::string& word) override { Add("EmailReady(" + word + ")"); }
  void EmailIsTooLarge() override { Add("EmailIsTooLarge"); }
  void EmailFinished(double megabytes, std::int32_t files) override {
    std::ostringstream text;
    text << "EmailFinished(" << megabytes << ", " << files << ")";
    Add(text.str());
  }
  void StartAttachment(EmailAttachment& attachment) override {
    Add("StartAttachment(" + attachment.get_Filename() + ")");
  }
  void AttachmentFinished(EmailAttachment& attachment) override {
    Add("AttachmentFinished(" + attachment.get_Filename() + ")");
  }
  void ErrorOccured(const std::string& message) override {
    Add("ErrorOccured(" + message + ")");
    if (onError) onError();
  }
  void BytesTransferred(double bytes) override {
    Add("BytesTransferred(" + std::to_string(static_cast<long long>(bytes)) + ")");
  }
  std::vector<std::string> Take() { return std::exchange(seen, {}); }

  std::vector<std::string> seen;
  std::function<void()> onDisconnected;
  std::function<void()> onError;

 private:
  void Add(const std::string& event) { seen.push_back(event); }
};

class ServerCommunicatorTest : public ::testing::Test {
 protected:
  ServerCommunicatorTest() {
    settings->RefreshSettings();
    settings->setUsername("alice");
    settings->setPassword("secret");
    client.SetSocket(&socket);
    client.SetEvents(&events);
  }

  // Connects and logs in; the sends and events so far are taken.
  void LogIn() {
    client.ConnectToServer();
    socket.Accept();
    socket.Receive("220 Dropwell transfer server\r\n");
    socket.Receive("250 Hello\r\n");
    socket.Receive("210 Welcome 17\r\n");
    ASSERT_EQ(client.ProtocolState(), ServerCommunicator::kReady);
    socket.TakeSent();
    events.Take();
  }

  std::shared_ptr<EmailAttachment> File(const std::string& name, const std::string& bytes) {
    return testing::AttachedFile(platform.Path(name), bytes);
  }

  std::shared_ptr<Email> Message(std::vector<std::shared_ptr<EmailAttachment>> files) {
    auto email = std::make_shared<Email>();
    email->set_ID("4711");
    email->set_EmailSource(1);
    email->set_Subject("Plans");
    for (auto& file : files) email->AddAttachment(file);
    return email;
  }

  // Sends the e-mail and answers NEWM; returns the line NEWA or RESA.
  std::string StartUpload(const std::shared_ptr<Email>& email) {
    client.SendEmail(email);
    socket.TakeSent();
    socket.Receive("310 E-mail accepted 4711\r\n");
    events.Take();
    const std::vector<std::string> sent = socket.TakeSent();
    return sent.size() == 1 ? sent[0] : "(" + std::to_string(sent.size()) + " sends)";
  }

  // The upload ended cleanly: an error for the user, QUIT, no file bytes, nothing counted.
  void ExpectEndedCleanly(const std::string& messageStart) {
    const std::vector<std::string> seen = events.Take();
    ASSERT_EQ(seen.size(), 1u) << ::testing::PrintToString(seen);
    EXPECT_EQ(seen[0].rfind("ErrorOccured(" + messageStart, 0), 0u) << seen[0];
    EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"QUIT\r\n"});
    EXPECT_EQ(client.getBytesTransferred(), 0);
    EXPECT_EQ(client.ProtocolState(), ServerCommunicator::kDisconnecting);
  }

  // Completes sends until the file's end marker went out; all sends since.
  std::vector<std::string> RunFile() {
    std::vector<std::string> all = socket.TakeSent();
    for (int guard = 0; guard < 100000 && (all.empty() || all.back() != kFina); ++guard) {
      socket.CompleteSends();
      for (std::string& bytes : socket.TakeSent()) all.push_back(std::move(bytes));
    }
    return all;
  }

  testing::TestPlatform platform;
  std::shared_ptr<AppSettings> settings = AppSettings::Instance();
  ScriptedSocket socket;
  EventLog events;
  ServerCommunicator client;
};

// --- Connection ---

TEST_F(ServerCommunicatorTest, GreetsLogsInAndReportsTheWordOfTheLoginReply) {
  client.ConnectToServer();
  EXPECT_EQ(socket.connects,
            std::vector<std::string>{settings->getRemoteServerAddress() + ":" +
                                     std::to_string(settings->getRemoteServerPort())});
  EXPECT_EQ(socket.resets, 1);
  socket.Accept();
  socket.Receive("220 Dropwell\r\n");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"HELO 3002002\r\n"});
  socket.Receive("250 Hello\r\n");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"LOGN alice, secret\r\n"});
  socket.Receive("210 Welcome  abc \r\n");
  EXPECT_EQ(events.Take(), std::vector<std::string>{"ConnectedToServer(\r\n)"});
  EXPECT_EQ(client.ProtocolState(), ServerCommunicator::kReady);
}

TEST_F(ServerCommunicatorTest, ALoginReplyWithoutABlankIsTheWholeWord) {
  client.ConnectToServer();
  socket.Accept();
  socket.Receive("220\r\n");
  socket.Receive("250\r\n");
  socket.Receive("210\r\n");
  EXPECT_EQ(events.Take(), std::vector<std::string>{"ConnectedToServer(210\r\n)"});
}

TEST_F(ServerCommunicatorTest, RepliesSplitOrJoinedByTcpAreHandledOneByOne) {
  client.ConnectToServer();
  socket.Accept();
  socket.Receive("220 Dropwell\r\n250 Hello\r\n210 Wel");
  EXPECT_EQ(socket.TakeSent(), (std::vector<std::string>{"HELO 3002002\r\n", "LOGN alice, secret\r\n"}))
      << "two replies in one read are two replies";
  socket.Receive("come 1");
  EXPECT_TRUE(events.Take().empty());
  socket.Receive("7\r\n");
  EXPECT_EQ(events.Take(), std::vector<std::string>{"ConnectedToServer(17\r\n)"});
}

TEST_F(ServerCommunicatorTest, AGreetingBeginningWithZeroIsIgnoredUntilTheTimeOut) {
  client.ConnectToServer();
  socket.Accept();
  socket.Receive("0 busy\r\n");
  EXPECT_TRUE(socket.TakeSent().empty());
  platform.AdvanceTime(19s);
  EXPECT_TRUE(events.Take().empty());
  platform.AdvanceTime(1s);
  EXPECT_EQ(events.Take(), std::vector<std::string>{"DisconnectedFromServer"});
  EXPECT_EQ(socket.state, SocketState::Closed);
  EXPECT_EQ(client.ProtocolState(), ServerCommunicator::kAwaitingGreeting);
}

TEST_F(ServerCommunicatorTest, DataHolding411IsProcessedEvenBeginningWithZero) {
  client.ConnectToServer();
  socket.Accept();
  socket.Receive("0411 hello\r\n");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"HELO 3002002\r\n"});
}

TEST_F(ServerCommunicatorTest, ARefusedLoginKeepsTheConnectionAndGreetsAgain) {
  client.ConnectToServer();
  socket.Accept();
  socket.Receive("220 Dropwell\r\n");
  socket.Receive("250 Hello\r\n");
  socket.TakeSent();
  const int closes = socket.closes;
  socket.Receive("530 Unknown user\r\n");
  EXPECT_EQ(events.Take(), std::vector<std::string>{
                               "ErrorOccured(Login information not correct. We are disconnected from server.)"});
  EXPECT_EQ(socket.closes, closes);
  EXPECT_EQ(client.ProtocolState(), ServerCommunicator::kAwaitingGreeting);
  platform.AdvanceTime(30s);
  EXPECT_TRUE(events.Take().empty()) << "the reply timer stopped";
  socket.Receive("220 Try again\r\n");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"HELO 3002002\r\n"});
}

TEST_F(ServerCommunicatorTest, ASocketErrorOtherThan10053RaisesOnlyErrorOccured) {
  LogIn();
  const int closes = socket.closes;
  socket.Fail(wsk::kConnectionReset);
  const std::vector<std::string> seen = events.Take();
  ASSERT_EQ(seen.size(), 1u);
  const auto port = static_cast<std::uint16_t>(AppSettings::Instance()->getRemoteServerPort());
  EXPECT_EQ(seen[0],
            "ErrorOccured(Connection to server lost. Please check your internet connection and "
            "firewall settings.\r\nPort " + std::to_string(port) + " should be open for Dropwell. "
            "Transfer will be automatically resumed when a connection is established.\r\n(wsk: 10054))");
  EXPECT_EQ(socket.closes, closes);
  EXPECT_EQ(client.ProtocolState(), ServerCommunicator::kAwaitingGreeting);
}

TEST_F(ServerCommunicatorTest, Error10053ClosesAndDisconnects) {
  LogIn();
  socket.Fail(wsk::kConnectionAborted);
  EXPECT_EQ(events.Take(), std::vector<std::string>{"DisconnectedFromServer"});
  EXPECT_EQ(socket.state, SocketState::Closed);
}

TEST_F(ServerCommunicatorTest, CancelTransferDisconnectsOnceAndOnlyWhenConnected) {
  client.CancelTransfer();
  EXPECT_TRUE(events.Take().empty());
  LogIn();
  client.CancelTransfer();
  EXPECT_EQ(events.Take(), std::vector<std::string>{"DisconnectedFromServer"});
  EXPECT_EQ(socket.state, SocketState::Closed);
  EXPECT_EQ(client.ProtocolState(), ServerCommunicator::kDisconnecting);
  client.CancelTransfer();
  EXPECT_TRUE(events.Take().empty());
}

TEST_F(ServerCommunicatorTest, AnUploadStartedWhileCancellingDoesNothing) {
  LogIn();
  auto email = Message({});
  events.onDisconnected = [&] { client.SendEmail(email); };
  client.CancelTransfer();
  EXPECT_TRUE(socket.TakeSent().empty());
  events.onDisconnected = nullptr;
}

TEST_F(ServerCommunicatorTest, AServerCloseStopsTheReplyTimer) {
  client.ConnectToServer();
  socket.Accept();
  socket.PeerCloses();
  EXPECT_EQ(events.Take(), std::vector<std::string>{"DisconnectedFromServer"});
  const int closes = socket.closes;
  platform.AdvanceTime(60s);
  EXPECT_TRUE(events.Take().empty()) << "the connection ended once";
  EXPECT_EQ(socket.closes, closes);
}

TEST_F(ServerCommunicatorTest, DisconnectSendsQuitOnlyWhenConnected) {
  client.Disconnect();
  EXPECT_EQ(client.ProtocolState(), ServerCommunicator::kDisconnecting);
  EXPECT_TRUE(socket.TakeSent().empty());
  LogIn();
  client.Disconnect();
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"QUIT\r\n"});
  socket.Receive("221 Bye\r\n");
  EXPECT_EQ(client.ProtocolState(), ServerCommunicator::kAwaitingGreeting);
}

TEST_F(ServerCommunicatorTest, EachReplyRestartsTheReplyTimer) {
  client.ConnectToServer();
  socket.Accept();
  platform.AdvanceTime(15s);
  socket.Receive("220 Dropwell\r\n");
  platform.AdvanceTime(15s);
  socket.Receive("250 Hello\r\n");
  platform.AdvanceTime(19s);
  EXPECT_TRUE(events.Take().empty());
  platform.AdvanceTime(1s);
  EXPECT_EQ(events.Take(), std::vector<std::string>{"DisconnectedFromServer"});
}

TEST_F(ServerCommunicatorTest, AFailingCommandSendGoesOnceToTheConnectionErrorHandling) {
  client.ConnectToServer();
  socket.Accept();
  socket.failSendsWith = wsk::kConnectionReset;
  socket.Receive("220 Dropwell\r\n");
  const std::vector<std::string> seen = events.Take();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_NE(seen[0].find("(wsk: 10054)"), std::string::npos);
  EXPECT_EQ(client.ProtocolState(), ServerCommunicator::kAwaitingGreeting);
}

// --- Upload ---

TEST_F(ServerCommunicatorTest, UploadsAWholeEMailInTheProtocolsOrder) {
  LogIn();
  auto email = Message({File("one.bin", "x")});
  email->set_Password("pw");
  email->AddRecipient("a@example.org");
  email->AddRecipient("b@example.org");
  email->set_Body("Hello\r\nthe files\r\nare here");

  client.SendEmail(email);
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"NEWM 4711, 1, 1\r\n"});
  socket.Receive("310 E-mail accepted 4711\r\n");
  EXPECT_EQ(events.Take(), std::vector<std::string>{"EmailReady(4711\r\n)"});
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"NEWA one.bin, 0\r\n"});
  socket.Receive("410 Attachment created: A1\r\n");
  EXPECT_EQ(socket.TakeSent(), (std::vector<std::string>{kZeroBlock, "x", kFina}))
      << "a one-byte file goes out in one step";
  EXPECT_EQ(events.Take(),
            (std::vector<std::string>{"StartAttachment(one.bin)", "AttachmentFinished(one.bin)"}));
  EXPECT_EQ(email->get_attachments()[0]->get_ID(), "A1");
  socket.CompleteSends();
  EXPECT_TRUE(socket.TakeSent().empty());
  socket.Receive("250 File stored\r\n");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"SUBJ Plans\r\n"});
  socket.Receive("330 Subject stored\r\n");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"PASS pw\r\n"});
  socket.Receive("350 Password stored\r\n");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"RECP a@example.org\r\n"});
  socket.Receive("350 Recipient added\r\n");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"RECP b@example.org\r\n"});
  socket.Receive("350 Recipient added\r\n");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"BODY\r\n"});
  socket.Receive("360 Send the body\r\n");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"Hello\r\n"});
  socket.CompleteSends();
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"the files\r\n"});
  socket.CompleteSends();
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"are here\r\n"});
  socket.CompleteSends();
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"FINB\r\n"});
  socket.CompleteSends();
  EXPECT_TRUE(socket.TakeSent().empty());
  socket.Receive("361 Body stored\r\n");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"FINM\r\n"});
  socket.Receive("250 12.5, 3\r\n");
  EXPECT_EQ(events.Take(), std::vector<std::string>{"EmailFinished(12.5, 3)"});
  EXPECT_EQ(client.ProtocolState(), ServerCommunicator::kReady);
  platform.AdvanceTime(60s);
  EXPECT_TRUE(events.Take().empty()) << "no time-out while idle";
}

TEST_F(ServerCommunicatorTest, FilesGoOutInPiecesOf1460BytesEachAfterACompletedSend) {
  LogIn();
  const std::string exact(1460, 'a');
  std::string longer(1461, 'b');
  longer.back() = 'c';
  std::string twice(2920, 'd');
  twice[1460] = 'e';
  auto email = Message({File("exact.bin", exact), File("longer.bin", longer), File("twice.bin", twice)});
  EXPECT_EQ(StartUpload(email), "NEWA exact.bin, 0\r\n");

  socket.Receive("410 Attachment created: A1\r\n");
  EXPECT_EQ(socket.TakeSent(), (std::vector<std::string>{kZeroBlock, exact, kFina}));
  socket.Receive("250 File stored\r\n");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"NEWA longer.bin, 0\r\n"});

  socket.Receive("410 Attachment created: A2\r\n");
  EXPECT_EQ(socket.TakeSent(), (std::vector<std::string>{kZeroBlock, longer.substr(0, 1460)}))
      << "nothing is read ahead of the socket";
  socket.CompleteSends();
  EXPECT_EQ(socket.TakeSent(), (std::vector<std::string>{"c", kFina}));
  socket.Receive("250 File stored\r\n");
  socket.TakeSent();

  socket.Receive("410 Attachment created: A3\r\n");
  EXPECT_EQ(RunFile(), (std::vector<std::string>{kZeroBlock, twice.substr(0, 1460), twice.substr(1460), kFina}));
  EXPECT_EQ(client.getBytesTransferred(), 1460 + 1461 + 2920);
}

TEST_F(ServerCommunicatorTest, AnEmptyFileSendsTheZeroBlockAndTheMarker) {
  LogIn();
  StartUpload(Message({File("empty.bin", "")}));
  socket.Receive("410 Attachment created: A1\r\n");
  EXPECT_EQ(socket.TakeSent(), (std::vector<std::string>{kZeroBlock, kFina}));
}

TEST_F(ServerCommunicatorTest, AResumedFileGoesOnAfterTheBytesTheServerHolds) {
  LogIn();
  std::string bytes(3000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  auto file = File("part.bin", bytes);
  file->set_ID("A1");
  auto email = Message({file});
  EXPECT_EQ(StartUpload(email), "RESA A1, 0\r\n") << "an attachment with an id resumes, even under NEWM";
  socket.Receive("430 Attachment resumed at 1000\r\n");
  EXPECT_EQ(RunFile(), (std::vector<std::string>{kZeroBlock, bytes.substr(1000, 1460), bytes.substr(2460), kFina}));
  EXPECT_EQ(client.getBytesTransferred(), 1001 + 2000) << "the resume point counts, plus one";
}

TEST_F(ServerCommunicatorTest, AFileTheServerHoldsWholeSendsNoBytes) {
  LogIn();
  auto file = File("whole.bin", std::string(5000, 'w'));
  file->set_ID("A1");
  StartUpload(Message({file}));
  socket.Receive("430 Attachment resumed at 5000\r\n");
  EXPECT_EQ(socket.TakeSent(), (std::vector<std::string>{kZeroBlock, kFina}));
  EXPECT_EQ(client.getBytesTransferred(), 5001);
}

TEST_F(ServerCommunicatorTest, AResumeFromZeroSendsTheZeroBlockOnce) {
  LogIn();
  auto file = File("zero.bin", "abc");
  file->set_ID("A1");
  StartUpload(Message({file}));
  socket.Receive("430 Attachment resumed at 0\r\n");
  EXPECT_EQ(socket.TakeSent(), (std::vector<std::string>{kZeroBlock, "abc", kFina}));
}

TEST_F(ServerCommunicatorTest, TheProgressTickReportsTheBytesOnceASecondWhileFileBytesFlow) {
  LogIn();
  StartUpload(Message({File("big.bin", std::string(10 * 1460, 'b'))}));
  socket.Receive("410 Attachment created: A1\r\n");
  socket.CompleteSends();
  socket.CompleteSends();
  events.Take();
  platform.AdvanceTime(1s);
  EXPECT_EQ(events.Take(), std::vector<std::string>{"BytesTransferred(4380)"});
  socket.CompleteSends();
  platform.AdvanceTime(1s);
  EXPECT_EQ(events.Take(), std::vector<std::string>{"BytesTransferred(5840)"});
  RunFile();
  events.Take();
  platform.AdvanceTime(5s);
  EXPECT_TRUE(events.Take().empty()) << "the tick ends with the file";
}

TEST_F(ServerCommunicatorTest, AStalledFileTimesOutAfter20Seconds) {
  LogIn();
  StartUpload(Message({File("big.bin", std::string(10 * 1460, 'b'))}));
  socket.Receive("410 Attachment created: A1\r\n");
  for (int second = 0; second < 19; ++second) platform.AdvanceTime(1s);
  EXPECT_EQ(events.Take().back(), "BytesTransferred(1460)");
  platform.AdvanceTime(1s);
  EXPECT_EQ(events.Take(), std::vector<std::string>{"DisconnectedFromServer"});
  EXPECT_EQ(client.getBytesTransferred(), 0);
  platform.AdvanceTime(5s);
  EXPECT_TRUE(events.Take().empty()) << "both timers stopped";
}

TEST_F(ServerCommunicatorTest, AMessageWithoutFilesGoesStraightToTheSubject) {
  LogIn();
  auto email = Message({});
  EXPECT_EQ(StartUpload(email), "SUBJ Plans\r\n");
}

TEST_F(ServerCommunicatorTest, WithoutPasswordAndRecipientsTheSubjectLeadsToTheBody) {
  LogIn();
  auto email = Message({});
  email->set_Body("Hi");
  StartUpload(email);
  socket.Receive("399 anything\r\n");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"BODY\r\n"});
}

TEST_F(ServerCommunicatorTest, ABodyOfBlanksAndLineEndsIsNotSent) {
  LogIn();
  auto email = Message({});
  email->AddRecipient("a@example.org");
  email->set_Body("  \r\n \r\n");
  StartUpload(email);
  socket.Receive("330 ok\r\n");
  socket.Receive("350 ok\r\n");
  EXPECT_EQ(socket.TakeSent(), (std::vector<std::string>{"RECP a@example.org\r\n", "FINM\r\n"}));
}

TEST_F(ServerCommunicatorTest, ATrailingLineEndAddsAFourthEmptyBodyLine) {
  LogIn();
  auto email = Message({});
  email->set_Body("one\r\ntwo\r\nthree\r\n");
  StartUpload(email);
  socket.Receive("330 ok\r\n");
  socket.Receive("360 go\r\n");
  for (int line = 0; line < 4; ++line) socket.CompleteSends();
  EXPECT_EQ(socket.TakeSent(),
            (std::vector<std::string>{"BODY\r\n", "one\r\n", "two\r\n", "three\r\n", "\r\n", "FINB\r\n"}));
}

TEST_F(ServerCommunicatorTest, RefusedRecipientsAndBodiesEndTheUpload) {
  LogIn();
  auto email = Message({});
  email->AddRecipient("a@example.org");
  email->set_Body("Hi");
  StartUpload(email);
  socket.Receive("330 ok\r\n");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"RECP a@example.org\r\n"});
  socket.Receive("250 Not the reply to RECP\r\n");
  ExpectEndedCleanly("The server refused the recipient a@example.org: 250 Not the reply to RECP");

  LogIn();
  email = Message({});
  email->set_Body("Hi");
  StartUpload(email);
  socket.Receive("330 ok\r\n");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"BODY\r\n"});
  socket.Receive("250 Not the reply to BODY\r\n");
  ExpectEndedCleanly("The server refused the body: 250 Not the reply to BODY");
  EXPECT_TRUE(platform.alerts.shown.empty()) << "the owner tells the user";
}

// --- Refusals: a 5xx reply ends the upload as a failure ---

// Where a refusal comes: the client's state and the step before it.
enum class Step { Newm, FileEnd, Subject, Password, Recipient, Body, BodyEnd, Finish };

class RefusalTest : public ServerCommunicatorTest,
                    public ::testing::WithParamInterface<std::tuple<Step, std::string>> {
 protected:
  // Runs an upload up to the reply of `step`; returns the command it answers.
  std::string UpTo(Step step) {
    auto email = Message(step == Step::FileEnd ? std::vector{File("a.bin", "abc")}
                                               : std::vector<std::shared_ptr<EmailAttachment>>{});
    if (step == Step::Password) email->set_Password("pw");
    if (step == Step::Recipient) email->AddRecipient("a@example.org");
    if (step == Step::Body || step == Step::BodyEnd) email->set_Body("Hi");
    client.SendEmail(email);
    if (step == Step::Newm) return Last();
    socket.Receive("310 E-mail accepted 4711\r\n");
    if (step == Step::FileEnd) {
      socket.Receive("410 Attachment created: A1\r\n");
      return Last();
    }
    if (step == Step::Subject) return Last();
    socket.Receive("330 Subject stored\r\n");
    if (step != Step::BodyEnd) return Last();
    socket.Receive("360 Send the body\r\n");
    socket.CompleteSends();
    return Last();
  }
  std::string Last() {
    const std::vector<std::string> sent = socket.TakeSent();
    events.Take();
    return sent.empty() ? "(nothing)" : sent.back();
  }
};

TEST_P(RefusalTest, EndsTheUploadAsAFailure) {
  const auto& [step, reply] = GetParam();
  LogIn();
  const std::string answered = UpTo(step);
  const std::map<Step, std::string> commands = {
      {Step::Newm, "NEWM 4711, 0, 1\r\n"}, {Step::FileEnd, "FINA\r\n"},   {Step::Subject, "SUBJ Plans\r\n"},
      {Step::Password, "PASS pw\r\n"},     {Step::Recipient, "RECP a@example.org\r\n"},
      {Step::Body, "BODY\r\n"},            {Step::BodyEnd, "FINB\r\n"}, {Step::Finish, "FINM\r\n"}};
  ASSERT_EQ(answered, commands.at(step));
  socket.Receive(reply + "\r\n");
  const std::vector<std::string> seen = events.Take();
  ASSERT_EQ(seen.size(), 1u) << ::testing::PrintToString(seen);
  EXPECT_EQ(seen[0].rfind("ErrorOccured(The server refused ", 0), 0u) << seen[0];
  EXPECT_NE(seen[0].find(": " + reply + ")"), std::string::npos) << seen[0];
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"QUIT\r\n"}) << "nothing more of the e-mail";
  EXPECT_EQ(client.ProtocolState(), ServerCommunicator::kDisconnecting);
  EXPECT_TRUE(platform.alerts.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(
    FiveHundreds, RefusalTest,
    ::testing::Values(std::make_tuple(Step::Newm, "500 Syntax error"), std::make_tuple(Step::Newm, "552 Too much"),
                      std::make_tuple(Step::Newm, "554 0, 0"),
                      std::make_tuple(Step::FileEnd, "552 Cannot write the file"),
                      std::make_tuple(Step::FileEnd, "5"), std::make_tuple(Step::Subject, "554 0, 0"),
                      std::make_tuple(Step::Password, "550 No"), std::make_tuple(Step::Recipient, "550 No such user"),
                      std::make_tuple(Step::Body, "552 Too long"), std::make_tuple(Step::BodyEnd, "552 Cannot save"),
                      std::make_tuple(Step::Finish, "554 0, 0"), std::make_tuple(Step::Finish, "500 12.5, 3")));

TEST_F(ServerCommunicatorTest, AFinishReplyWithOneValueEndsTheUploadCleanly) {
  LogIn();
  StartUpload(Message({}));
  socket.Receive("330 ok\r\n");
  socket.TakeSent();
  socket.Receive("250 12.5\r\n");
  ExpectEndedCleanly("Unexpected reply from server when finishing the e-mail: 250 12.5");
}

TEST_F(ServerCommunicatorTest, OtherRepliesAfterAFileStillLeadOn) {
  LogIn();
  StartUpload(Message({File("a.bin", "abc")}));
  socket.Receive("410 Attachment created: A1\r\n");
  socket.TakeSent();
  socket.Receive("451 Try later\r\n");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"SUBJ Plans\r\n"})
      << "only a 5xx code refuses: the protocol's positive codes are 2xx, 3xx and the 4xx of files";
}

TEST_F(ServerCommunicatorTest, ATooLargeEmailIsReportedAndDisconnected) {
  LogIn();
  client.SendEmail(Message({File("a.bin", "a")}));
  socket.TakeSent();
  socket.Receive("320 E-mail too large\r\n");
  EXPECT_EQ(events.Take(), std::vector<std::string>{"EmailIsTooLarge"});
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"QUIT\r\n"});
}

TEST_F(ServerCommunicatorTest, After420NothingIsReadCountedOrSent) {
  LogIn();
  StartUpload(Message({File("a.bin", "abc")}));
  socket.Receive("420 Illegal size\r\n");
  ASSERT_EQ(platform.alerts.shown.size(), 1u);
  EXPECT_EQ(platform.alerts.shown[0].text, "Illegal e-mail size. Dropwell will now exit.");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"QUIT\r\n"});
  EXPECT_EQ(client.getBytesTransferred(), 0);
  EXPECT_EQ(client.ProtocolState(), ServerCommunicator::kDisconnecting);
}

TEST_F(ServerCommunicatorTest, AFileThatChangedSizeStopsBeforeItIsAnnounced) {
  LogIn();
  auto file = File("grows.bin", "abc");
  auto email = Message({file});
  client.SendEmail(email);
  testing::WriteBytes(file->get_FilePath(), "abcd");
  socket.TakeSent();
  socket.Receive("310 E-mail accepted 4711\r\n");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"QUIT\r\n"});
  EXPECT_EQ(events.Take(), std::vector<std::string>{"EmailReady(4711\r\n)"});
}

// A file system whose files cannot be read past their opening.
class UnreadableFiles : public portable::PortableFileSystem {
 public:
  std::unique_ptr<BinaryReader> OpenBinaryForReading(const std::string& path) override {
    struct Failing : BinaryReader {
      explicit Failing(std::unique_ptr<BinaryReader> real) : real(std::move(real)) {}
      std::uint64_t Length() override { return real->Length(); }
      void ReadAt(std::uint64_t, char*, std::size_t) override {
        throw Error(errc::kPathFileAccess, "Failing", "I/O error");
      }
      std::unique_ptr<BinaryReader> real;
    };
    return std::make_unique<Failing>(PortableFileSystem::OpenBinaryForReading(path));
  }
};

TEST_F(ServerCommunicatorTest, AFailedReadShowsAMessageAndSendsNothingMore) {
  UnreadableFiles files;
  const ScopedPlatform unreadable = testing::TestPlatform::WithFiles(files);
  LogIn();
  StartUpload(Message({File("a.bin", "abc")}));
  socket.Receive("410 Attachment created: A1\r\n");
  ASSERT_EQ(platform.alerts.shown.size(), 1u);
  EXPECT_EQ(platform.alerts.shown[0].text,
            "Please restart Dropwell because an unrecoverable error has occured.");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"QUIT\r\n"});
  EXPECT_EQ(client.getBytesTransferred(), 0);
}

class MalformedReplyTest : public ServerCommunicatorTest,
                           public ::testing::WithParamInterface<std::pair<std::string, std::string>> {};

TEST_P(MalformedReplyTest, EndsTheUploadCleanly) {
  LogIn();
  auto file = File("a.bin", "abc");
  if (GetParam().first.rfind("430", 0) == 0) file->set_ID("A1");
  StartUpload(Message({file}));
  socket.Receive(GetParam().first);
  ExpectEndedCleanly(GetParam().second);
  EXPECT_TRUE(platform.alerts.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(
    AttachmentReplies, MalformedReplyTest,
    ::testing::Values(
        std::make_pair("410 short\r\n", "Unexpected reply from server when adding the file a.bin"),
        std::make_pair("430 short\r\n", "Unexpected reply from server when resuming the file a.bin"),
        std::make_pair("430 Attachment resumed at lots\r\n",
                       "Unexpected reply from server when resuming the file a.bin"),
        std::make_pair("430 Attachment resumed at 4\r\n", "The server holds 4 bytes of the file a.bin"),
        std::make_pair("200 OK\r\n", "Unexpected reply from server when adding a file"),
        std::make_pair("0 wait\r\n", "Unexpected reply from server when adding a file")));

TEST_F(ServerCommunicatorTest, AFileThatCannotBeOpenedEndsTheUploadCleanly) {
  LogIn();
  auto file = File("gone.bin", "");
  StartUpload(Message({file}));
  std::filesystem::remove(file->get_FilePath());
  socket.Receive("410 Attachment created: A1\r\n");
  ExpectEndedCleanly("Cannot read the file");
  EXPECT_EQ(file->get_ID(), "") << "the id is kept only for a file that goes out";
}

TEST_F(ServerCommunicatorTest, AFinishReplyWithoutTwoNumbersEndsTheUploadCleanly) {
  LogIn();
  StartUpload(Message({}));
  socket.Receive("330 ok\r\n");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"FINM\r\n"});
  socket.Receive("250 Done\r\n");
  ExpectEndedCleanly("Unexpected reply from server when finishing the e-mail: 250 Done");
}

TEST_F(ServerCommunicatorTest, FieldsCannotSmuggleInCommands) {
  LogIn();
  auto file = File("a.bin", "");
  file->set_Filename("a\r\nQUIT.bin");
  auto email = Message({file});
  email->set_ID("47\n11");
  email->set_Subject("Hi\r\nFINM");
  email->set_Password("p\rw");
  email->AddRecipient("a@example.org\r\nRECP b@example.org");
  client.SendEmail(email);
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"NEWM 47 11, 0, 1\r\n"});
  socket.Receive("310 ok\r\n");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"NEWA a QUIT.bin, 0\r\n"});
  socket.Receive("410 Attachment created: A1\r\n");
  socket.TakeSent();
  socket.Receive("250 ok\r\n");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"SUBJ Hi FINM\r\n"});
  socket.Receive("330 ok\r\n");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"PASS p w\r\n"});
  socket.Receive("350 ok\r\n");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"RECP a@example.org RECP b@example.org\r\n"});
}

TEST_F(ServerCommunicatorTest, AReconnectForgetsTheInterruptedFile) {
  LogIn();
  std::string bytes(3000, 'x');
  bytes[0] = 'F';
  auto file = File("a.bin", bytes);
  auto email = Message({file});
  StartUpload(email);
  socket.Receive("410 Attachment created: A1\r\n");
  socket.Fail(wsk::kConnectionReset);
  events.Take();

  LogIn();
  EXPECT_EQ(StartUpload(email), "RESA A1, 0\r\n");
  socket.Receive("410 Attachment created: A2\r\n");  // the server lost it: a new file
  const std::vector<std::string> sent = socket.TakeSent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1], bytes.substr(0, 1460)) << "reading starts at the first byte again";
  EXPECT_EQ(file->get_ID(), "A2");
}

TEST_F(ServerCommunicatorTest, FilesOfMoreThan4GiBResumeBeyond32BitOffsets) {
  const std::string path = platform.Path("sparse.bin");
  constexpr std::uint64_t kLength = (5ULL << 30) + 3;  // 5 GiB and 3 bytes
  testing::WriteBytes(path, "");
  std::filesystem::resize_file(path, kLength);
  {
    std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
    out.seekp(static_cast<std::streamoff>(4294967301ULL));
    out << "marker";
  }
  auto file = std::make_shared<EmailAttachment>();
  file->set_FilePath(path);
  file->set_ID("BIG");
  auto email = Message({file});
  LogIn();
  client.SendEmail(email);
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"NEWM 4711, 5368709123, 1\r\n"});
  socket.Receive("310 ok\r\n");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"RESA BIG, 0\r\n"})
      << "the size comparison holds beyond 32 bits";

  socket.Receive("430 Attachment resumed at 4294967301\r\n");  // beyond 2^32
  std::vector<std::string> sent = socket.TakeSent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1].substr(0, 6), "marker");
  EXPECT_EQ(client.getBytesTransferred(), 4294967302.0 + 1460);

  LogIn();
  StartUpload(email);
  socket.Receive("430 Attachment resumed at 2147483649\r\n");  // beyond 2^31
  EXPECT_EQ(client.getBytesTransferred(), 2147483650.0 + 1460);
  socket.TakeSent();

  LogIn();
  StartUpload(email);
  socket.Receive("430 Attachment resumed at 5368709122\r\n");  // one byte left
  EXPECT_EQ(socket.TakeSent(), (std::vector<std::string>{kZeroBlock, std::string(1, '\0'), kFina}));
}

// --- The end of a connection ---

TEST_F(ServerCommunicatorTest, AServerSilentAfterQuitIsClosedAfterTheReplyTimeOut) {
  LogIn();
  client.Disconnect();
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"QUIT\r\n"});
  platform.AdvanceTime(19s);
  EXPECT_TRUE(events.Take().empty());
  EXPECT_EQ(socket.state, SocketState::Connected);
  platform.AdvanceTime(1s);
  EXPECT_EQ(events.Take(), std::vector<std::string>{"DisconnectedFromServer"});
  EXPECT_EQ(socket.state, SocketState::Closed);
  platform.AdvanceTime(60s);
  EXPECT_TRUE(events.Take().empty()) << "once";
}

TEST_F(ServerCommunicatorTest, AServerThatAnswersQuitButStaysIsClosedWithinTheReplyTimeOut) {
  LogIn();
  client.Disconnect();
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"QUIT\r\n"});
  platform.AdvanceTime(5s);
  socket.Receive("221 Bye\r\n");
  platform.AdvanceTime(14s);
  EXPECT_TRUE(events.Take().empty());
  socket.Receive("221 Still here\r\n");
  EXPECT_TRUE(socket.TakeSent().empty()) << "nothing after the answer to QUIT is a greeting";
  platform.AdvanceTime(1s);
  EXPECT_EQ(events.Take(), std::vector<std::string>{"DisconnectedFromServer"});
  EXPECT_EQ(socket.state, SocketState::Closed);
  platform.AdvanceTime(60s);
  EXPECT_TRUE(events.Take().empty()) << "once";
}

TEST_F(ServerCommunicatorTest, After320ASilentServerIsClosedAfterTheReplyTimeOut) {
  LogIn();
  client.SendEmail(Message({File("a.bin", "a")}));
  socket.TakeSent();
  platform.AdvanceTime(10s);
  socket.Receive("320 E-mail too large\r\n");
  EXPECT_EQ(events.Take(), std::vector<std::string>{"EmailIsTooLarge"});
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"QUIT\r\n"});
  platform.AdvanceTime(19s);
  EXPECT_TRUE(events.Take().empty());
  platform.AdvanceTime(1s);
  EXPECT_EQ(events.Take(), std::vector<std::string>{"DisconnectedFromServer"});
  EXPECT_EQ(socket.state, SocketState::Closed);
}

TEST_F(ServerCommunicatorTest, ACloseAfterQuitStopsTheTimerBeforeTheNextConnection) {
  LogIn();
  client.Disconnect();
  platform.AdvanceTime(1s);
  socket.Receive("221 Bye\r\n");
  socket.PeerCloses();
  EXPECT_EQ(events.Take(), std::vector<std::string>{"DisconnectedFromServer"});
  const int closes = socket.closes;
  platform.AdvanceTime(25s);
  EXPECT_TRUE(events.Take().empty()) << "the connection ended once";
  EXPECT_EQ(socket.closes, closes) << "nobody closes what is closed";

  // The owner connects again on the same socket; the old wait is over.
  client.ConnectToServer();
  socket.Accept();
  socket.Receive("220 Dropwell\r\n");
  socket.Receive("250 Hello\r\n");
  socket.Receive("210 Welcome 18\r\n");
  events.Take();
  platform.AdvanceTime(60s);
  EXPECT_TRUE(events.Take().empty());
  EXPECT_EQ(socket.state, SocketState::Connected) << "the new connection stays";
  EXPECT_EQ(client.ProtocolState(), ServerCommunicator::kReady);
}

TEST_F(ServerCommunicatorTest, LinesAfterAReplyThatEndedTheUploadAreNotHandled) {
  LogIn();
  StartUpload(Message({File("a.bin", "abc")}));
  socket.Receive("410 short\r\n220 Dropwell\r\n250 Hello\r\n");
  ExpectEndedCleanly("Unexpected reply from server when adding the file a.bin");
}

TEST_F(ServerCommunicatorTest, LinesAfterAReplyOnWhichTheOwnerCancelledAreNotHandled) {
  client.ConnectToServer();
  socket.Accept();
  socket.Receive("220 Dropwell\r\n");
  socket.Receive("250 Hello\r\n");
  socket.TakeSent();
  events.onError = [&] { client.CancelTransfer(); };
  socket.Receive("530 Go away\r\n220 Dropwell\r\n");
  events.onError = nullptr;
  EXPECT_EQ(client.ProtocolState(), ServerCommunicator::kDisconnecting);
  EXPECT_TRUE(socket.TakeSent().empty());
}

// --- Body lines ---

TEST_F(ServerCommunicatorTest, BodyLinesThatEndTheBodyGoOutWithOneBlankMore) {
  LogIn();
  auto email = Message({});
  email->set_Body("FINB\r\nFINB \r\nFINB  \r\nRECP x@example.org\r\nFINM\r\nFINBx\r\n FINB");
  StartUpload(email);
  socket.Receive("330 ok\r\n");
  socket.Receive("360 go\r\n");
  for (int line = 0; line < 10; ++line) socket.CompleteSends();
  EXPECT_EQ(socket.TakeSent(),
            (std::vector<std::string>{"BODY\r\n", "FINB \r\n", "FINB  \r\n", "FINB   \r\n", "RECP x@example.org\r\n",
                                      "FINM\r\n", "FINBx\r\n", " FINB\r\n", "FINB\r\n"}));
}

// --- What the server sends reaches the log and the user cleaned ---

std::string LogSoFar() { return testing::ReadBytes(ApplicationLog::Instance()->getLogFilePath()); }

// Whether every line of `text` ends in CR LF and no other control character
// than the tab of the log's own reply lines is in it.
::testing::AssertionResult CleanLines(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\t' && text.compare(i, 15, "\t receiveddata:") == 0) continue;
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++i;
    } else if (c < 0x20 || c == 0x7f) {
      return ::testing::AssertionFailure() << "control character " << static_cast<int>(c) << " at " << i;
    }
  }
  return ::testing::AssertionSuccess();
}

TEST_F(ServerCommunicatorTest, RepliesAreLoggedCutAndWithoutControlCharacters) {
  client.ConnectToServer();
  socket.Accept();
  const std::size_t before = LogSoFar().size();
  socket.Receive("220 " + std::string(1000, 'x') + "\r\n");
  socket.Receive("250 forged\n12/4/2026 11:38:56 AM - TransferAgent: uploaded\x1b[2J\x07\x7f\r\n");
  const std::string text = LogSoFar().substr(before);
  EXPECT_TRUE(CleanLines(text)) << text;
  EXPECT_NE(text.find("receiveddata: 220 " + std::string(196, 'x') + "... (1004 bytes)\r\n"), std::string::npos)
      << text;
  EXPECT_EQ(text.find(std::string(197, 'x')), std::string::npos) << "at most 200 characters of a reply";
  EXPECT_NE(text.find("receiveddata: 250 forged?12/4/2026 11:38:56 AM - TransferAgent: uploaded?[2J??\r\n"),
            std::string::npos)
      << text;
}

TEST_F(ServerCommunicatorTest, AMessageQuotingAReplyHoldsNoControlCharacters) {
  LogIn();
  StartUpload(Message({File("a.bin", "abc")}));
  socket.Receive("299 \x1b]0;owned\x07" + std::string(500, 'y') + "\r\n");
  const std::vector<std::string> seen = events.Take();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(CleanLines(seen[0])) << seen[0];
  EXPECT_NE(seen[0].find("299 ?]0;owned?yyy"), std::string::npos) << seen[0];
  EXPECT_LT(seen[0].size(), 400u) << "a reply is quoted cut";
}

TEST_F(ServerCommunicatorTest, TheHundredthUnexpectedReplyEndsTheUpload) {
  LogIn();
  StartUpload(Message({File("big.bin", std::string(10 * 1460, 'b'))}));
  socket.Receive("410 Attachment created: A1\r\n");
  socket.TakeSent();
  events.Take();
  std::string flood;
  for (int i = 0; i < 99; ++i) flood += i % 2 == 0 ? "0 keep going\r\n" : "250 File stored\r\n";
  socket.Receive(flood);
  EXPECT_TRUE(events.Take().empty()) << "replies while file bytes flow are not looked at";
  EXPECT_TRUE(socket.TakeSent().empty());
  EXPECT_EQ(client.ProtocolState(), ServerCommunicator::kSendingAttachmentData);
  socket.Receive("250 File stored\r\n");
  const std::vector<std::string> seen = events.Take();
  ASSERT_EQ(seen.size(), 1u) << ::testing::PrintToString(seen);
  EXPECT_EQ(seen[0], "ErrorOccured(The server sent 100 replies that the client did not expect.)");
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"QUIT\r\n"});
}

TEST_F(ServerCommunicatorTest, AFloodOfRepliesLeavesAFewLogLines) {
  client.ConnectToServer();
  socket.Accept();
  const std::size_t before = LogSoFar().size();
  std::string flood;
  for (int i = 0; i < 20000; ++i) flood += "0\r\n";
  socket.Receive(flood);
  const std::string text = LogSoFar().substr(before);
  const auto lines = std::count(text.begin(), text.end(), '\n');
  EXPECT_LT(lines, 120) << "the client stops listening after 100 unexpected replies";
  EXPECT_EQ(socket.TakeSent(), std::vector<std::string>{"QUIT\r\n"});
}

// --- Attachments that are not plain files ---

TEST_F(ServerCommunicatorTest, AFifoAsAttachmentEndsTheUploadWithoutBlocking) {
  LogIn();
  const std::string path = platform.Path("pipe.bin");
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  auto file = std::make_shared<EmailAttachment>();
  file->set_FilePath(path);
  StartUpload(Message({file}));
  auto reply = std::async(std::launch::async, [&] { socket.Receive("410 Attachment created: A1\r\n"); });
  if (reply.wait_for(10s) != std::future_status::ready) {
    // Blocked in the opening: a writer lets it go on, and the test fails.
    const int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
    reply.wait();
    if (writer >= 0) ::close(writer);
    FAIL() << "opening the FIFO blocked";
  }
  ExpectEndedCleanly("Cannot read the file " + path);
}

}  // namespace
}  // namespace dwl
