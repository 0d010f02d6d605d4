#include "transfer/ServerCommunicator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>

#include "tests/TestPlatform.h"
#include "tests/transfer/EventRecorder.h"
#include "tests/transfer/ScriptedSocket.h"

namespace dwl {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

const std::string kZeroBlock(1024, '\0');
const std::string kFina = "FINA\r\n";

std::string LogSoFar() { return testing::ReadBytes(ApplicationLog::Instance()->getLogFilePath()); }

// Bytes that show where in a file they are from.
std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  return bytes;
}

class ServerCommunicatorTest : public ::testing::Test {
 protected:
  ServerCommunicatorTest() {
    settings->RefreshSettings();
    client.SetSocket(&socket);
    client.SetEvents(&events);
  }

  void Greet() {
    client.ConnectToServer();
    socket.Accept();
  }

  // Connects and logs in; the sends and events so far are taken.
  void LogIn() {
    Greet();
    socket.Receive("220 Dropwell\r\n250 Hello\r\n210 Welcome 17\r\n");
    ASSERT_EQ(client.ProtocolState(), ServerCommunicator::kReady);
    socket.TakeSent();
    events.Take();
  }

  // What the client sends on `reply`, or once its sends completed.
  Lines Reply(const std::string& reply) {
    socket.Receive(reply);
    return socket.TakeSent();
  }
  Lines Complete() {
    socket.CompleteSends();
    return socket.TakeSent();
  }

  std::shared_ptr<EmailAttachment> File(const std::string& name, const std::string& bytes) {
    return testing::AttachedFile(platform.Path(name), bytes);
  }

  std::shared_ptr<Email> Message(const std::vector<std::shared_ptr<EmailAttachment>>& files) {
    auto email = std::make_shared<Email>();
    email->set_ID("4711");
    email->set_Subject("Plans");
    for (const auto& file : files) email->AddAttachment(file);
    return email;
  }

  // Sends the e-mail and answers as a server does until a command of `word`
  // goes out; all that went out, and no event, since.
  Lines Drive(const std::shared_ptr<Email>& email, const std::string& word) {
    const std::map<std::string, std::string> answers = {
        {"NEWM", "310 E-mail accepted 4711"}, {"NEWA", "410 Attachment created: A1"}, {"FINA", "250 File stored"},
        {"SUBJ", "330 Subject stored"},       {"PASS", "350 Password stored"},        {"RECP", "350 Recipient added"},
        {"BODY", "360 Send the body"},        {"FINB", "361 Body stored"}};
    client.SendEmail(email);
    Lines all = socket.TakeSent();
    while (all.size() < 100 && !all.empty() && all.back().rfind(word, 0) != 0) {
      const auto answer = answers.find(all.back().substr(0, 4));
      const Lines sent = answer == answers.end() ? Complete() : Reply(answer->second + "\r\n");  // else bytes or body lines
      if (sent.empty()) break;
      all.insert(all.end(), sent.begin(), sent.end());
    }
    events.Take();
    return all;
  }

  // The upload ended cleanly: one message quoting `fragment`, QUIT and nothing else, no alert.
  void ExpectEndedCleanly(const std::string& fragment) {
    const Lines seen = events.Take();
    ASSERT_EQ(seen.size(), 1u) << ::testing::PrintToString(seen);
    EXPECT_TRUE(seen[0].rfind("ErrorOccured(", 0) == 0 && seen[0].find(fragment) != std::string::npos) << seen[0];
    EXPECT_EQ(socket.TakeSent(), Lines{"QUIT\r\n"});
    EXPECT_EQ(client.ProtocolState(), ServerCommunicator::kDisconnecting);
    EXPECT_TRUE(platform.alerts.shown.empty());
  }

  testing::TestPlatform platform;
  std::shared_ptr<AppSettings> settings = AppSettings::Instance();
  testing::ScriptedSocket socket;
  testing::EventRecorder events;
  ServerCommunicator client;
};

// --- Connection ---

TEST_F(ServerCommunicatorTest, RepliesRestartTheReplyTimeOutButThoseBeginningWithZeroDoNot) {
  Greet();
  platform.AdvanceTime(15s);
  EXPECT_EQ(Reply("220 Dropwell\r\n").size(), 1u);
  platform.AdvanceTime(15s);
  EXPECT_EQ(Reply("0411 hello\r\n").size(), 1u) << "a reply beginning with 0 counts when it holds 411";
  platform.AdvanceTime(4s);
  EXPECT_TRUE(Reply("0 busy\r\n").empty()) << "else it is ignored";
  platform.AdvanceTime(15s);
  EXPECT_TRUE(events.Take().empty());
  platform.AdvanceTime(1s);
  EXPECT_EQ(events.Take(), Lines{"DisconnectedFromServer"});
  EXPECT_EQ(client.ProtocolState(), ServerCommunicator::kAwaitingGreeting);
}

TEST_F(ServerCommunicatorTest, ARefusedLoginKeepsTheConnectionAndGreetsAgainUnlessTheOwnerCancels) {
  Greet();
  socket.Receive("220 Dropwell\r\n250 Hello\r\n");
  const int closes = socket.closes;
  socket.Receive("530 Unknown user\r\n");
  const Lines seen = events.Take();
  EXPECT_TRUE(seen.size() == 1 && seen[0].rfind("ErrorOccured(", 0) == 0) << ::testing::PrintToString(seen);
  EXPECT_EQ(socket.closes, closes);
  platform.AdvanceTime(30s);
  EXPECT_TRUE(events.Take().empty()) << "the reply timer stopped";
  socket.TakeSent();
  EXPECT_EQ(Reply("220 Try again\r\n250 Hello\r\n").size(), 2u) << "HELO and LOGN again";
  events.onError = [&] { client.CancelTransfer(); };
  EXPECT_TRUE(Reply("530 Go away\r\n220 Dropwell\r\n").empty()) << "no line after the cancel is handled";
  EXPECT_EQ(client.ProtocolState(), ServerCommunicator::kDisconnecting);
}

TEST_F(ServerCommunicatorTest, SocketErrorsEndTheConnectionAndAreLoggedAtTheirCheckpoint) {
  for (const int number : {wsk::kConnectionReset, wsk::kConnectionAborted}) {
    SCOPED_TRACE(number);
    LogIn();
    const int closes = socket.closes;
    const std::size_t before = LogSoFar().size();
    // 10053: the connection was aborted, which the client closes; else the owner hears why.
    const bool aborted = number == wsk::kConnectionAborted;
    socket.Fail(number);
    const Lines seen = events.Take();
    EXPECT_TRUE(seen.size() == 1 && seen[0].rfind(aborted ? "DisconnectedFromServer" : "ErrorOccured(", 0) == 0)
        << ::testing::PrintToString(seen);
    EXPECT_EQ(socket.closes, closes + (aborted ? 1 : 0));
    EXPECT_EQ(client.ProtocolState(), ServerCommunicator::kAwaitingGreeting);
    EXPECT_NE(LogSoFar().find("ServerCommunicator.Socket_Error:01:scripted failure, " + std::to_string(number), before),
              std::string::npos);
  }
}

TEST_F(ServerCommunicatorTest, AFailingCommandSendGoesOnceToTheConnectionErrorHandling) {
  Greet();
  socket.failSendsWith = wsk::kConnectionReset;
  events.onError = [] { throw std::runtime_error("no memory left"); };  // and the owner fails there
  EXPECT_NO_THROW(socket.Receive("220 Dropwell\r\n"));
  const Lines seen = events.Take();
  EXPECT_TRUE(seen.size() == 1 && seen[0].find("10054") != std::string::npos) << ::testing::PrintToString(seen);
  EXPECT_NE(LogSoFar().find("ServerCommunicator.DataArrival:01:no memory left, "), std::string::npos);
}

TEST_F(ServerCommunicatorTest, CancelTransferClosesOnlyAConnectionAndOnce) {
  client.CancelTransfer();
  EXPECT_TRUE(events.Take().empty());
  LogIn();
  events.onDisconnected = [&] { client.SendEmail(Message({})); };
  client.CancelTransfer();
  EXPECT_EQ(events.Take(), Lines{"DisconnectedFromServer"});
  EXPECT_TRUE(socket.TakeSent().empty()) << "an upload started while cancelling does nothing";
  client.CancelTransfer();
  EXPECT_TRUE(events.Take().empty()) << "once";
}

// --- Upload ---

TEST_F(ServerCommunicatorTest, UploadsAWholeEMailInTheProtocolsOrder) {
  LogIn();
  auto email = Message({File("one.bin", "x")});
  email->set_EmailSource(1);
  email->set_Password("pw");
  email->AddRecipient("a@example.org");
  email->AddRecipient("b@example.org");
  email->set_Body("Hello\r\nthe files\r\nare here");

  client.SendEmail(email);
  EXPECT_EQ(socket.TakeSent(), Lines{"NEWM 4711, 1, 1\r\n"});
  EXPECT_EQ(Reply("310 E-mail accepted 4711\r\n"), Lines{"NEWA one.bin, 0\r\n"});
  EXPECT_EQ(events.Take(), Lines{"EmailReady(4711\r\n)"});
  EXPECT_EQ(Reply("410 Attachment created: A1\r\n"), (Lines{kZeroBlock, "x", kFina}));
  EXPECT_EQ(events.Take(), (Lines{"StartAttachment(one.bin)", "AttachmentFinished(one.bin)"}));
  EXPECT_TRUE(Complete().empty());
  EXPECT_EQ(Reply("250 File stored\r\n"), Lines{"SUBJ Plans\r\n"});
  EXPECT_EQ(Reply("330 Subject stored\r\n"), Lines{"PASS pw\r\n"});
  EXPECT_EQ(Reply("350 Password stored\r\n"), Lines{"RECP a@example.org\r\n"});
  EXPECT_EQ(Reply("350 Recipient added\r\n"), Lines{"RECP b@example.org\r\n"});
  EXPECT_EQ(Reply("350 Recipient added\r\n"), Lines{"BODY\r\n"});
  EXPECT_EQ(Reply("360 Send the body\r\n"), Lines{"Hello\r\n"});
  EXPECT_EQ(Complete(), Lines{"the files\r\n"});
  EXPECT_EQ(Complete(), Lines{"are here\r\n"});
  EXPECT_EQ(Complete(), Lines{"FINB\r\n"});
  EXPECT_TRUE(Complete().empty());
  EXPECT_EQ(Reply("361 Body stored\r\n"), Lines{"FINM\r\n"});
  socket.Receive("250 12.5, 3\r\n");
  EXPECT_EQ(events.Take(), Lines{"EmailFinished(12.5, 3)"});
  EXPECT_EQ(client.ProtocolState(), ServerCommunicator::kReady);
  platform.AdvanceTime(60s);
  EXPECT_TRUE(events.Take().empty()) << "no time-out and no progress tick while idle";
}

// A file of `size` bytes, new or resumed after `held` bytes.
struct FileCase {
  std::size_t size;
  std::optional<std::size_t> held;
};

class ByteStreamTest : public ServerCommunicatorTest, public ::testing::WithParamInterface<FileCase> {};

// The upload's bytes as the server reads them, whatever the pieces: the
// commands, the zero block, the file from where the server stands, the end
// marker. A block goes out only once the socket took the one before.
TEST_P(ByteStreamTest, AnUploadSendsTheProtocolsStreamOneBlockPerCompletedSend) {
  const FileCase& c = GetParam();
  SCOPED_TRACE(::testing::Message() << c.size << " bytes, held " << c.held.value_or(0));
  const std::string bytes = Pattern(c.size);
  auto file = File("f.bin", bytes);
  if (c.held) file->set_ID("A1");
  LogIn();
  client.SendEmail(Message({file}));
  std::string stream = socket.TakeSent().at(0);
  stream += Reply("310 E-mail accepted 4711\r\n").at(0);
  std::vector<Lines> steps{Reply(c.held ? "430 Attachment resumed at " + std::to_string(*c.held) + "\r\n"
                                        : "410 Attachment created: A1\r\n")};
  while (steps.size() < 100 && !steps.back().empty() && steps.back().back() != kFina) steps.push_back(Complete());
  for (const Lines& step : steps) {
    std::size_t fileBytes = 0;
    for (const std::string& sent : step) {
      stream += sent;
      if (sent != kZeroBlock && sent != kFina) fileBytes += sent.size();
    }
    EXPECT_LE(fileBytes, AttachmentSender::kBlockSize) << "nothing is read ahead of the socket";
  }
  EXPECT_EQ(steps.size(), std::max<std::size_t>(1, (c.size - c.held.value_or(0) + AttachmentSender::kBlockSize - 1) /
                                                       AttachmentSender::kBlockSize));
  stream += Reply("250 File stored\r\n").at(0);
  stream += Reply("330 Subject stored\r\n").at(0);

  const std::string expected = "NEWM 4711, " + std::to_string(c.size) + ", 0\r\n" +
                               (c.held ? "RESA A1, 0\r\n" : "NEWA f.bin, 0\r\n") + kZeroBlock +
                               bytes.substr(c.held.value_or(0)) + kFina + "SUBJ Plans\r\nFINM\r\n";
  ASSERT_EQ(stream.size(), expected.size());
  EXPECT_TRUE(stream == expected) << "the stream differs from byte "
                                  << std::mismatch(stream.begin(), stream.end(), expected.begin()).first - stream.begin();
  // The progress figure has always counted a resumed file's first byte twice.
  EXPECT_EQ(client.getBytesTransferred(), static_cast<double>(c.size + (c.held ? 1 : 0)));
  EXPECT_EQ(client.getFileBytesSent(), static_cast<std::int64_t>(c.size - c.held.value_or(0)));
}

constexpr std::size_t kAFewMegabytes = 3 * 1024 * 1024 + 17;
INSTANTIATE_TEST_SUITE_P(NewAndResumed, ByteStreamTest,
                         ::testing::Values(FileCase{0, {}}, FileCase{1, {}}, FileCase{1459, {}}, FileCase{1460, {}},
                                           FileCase{1461, {}}, FileCase{kAFewMegabytes, {}}, FileCase{3, 0},
                                           FileCase{3000, 1000}, FileCase{5000, 5000},
                                           FileCase{kAFewMegabytes, 1024 * 1024 + 5}));

TEST_F(ServerCommunicatorTest, OnlyA5xxReplyRefusesAFile) {
  LogIn();
  Drive(Message({File("f.bin", "abc")}), "FINA");
  EXPECT_EQ(Reply("451 Try later\r\n"), Lines{"SUBJ Plans\r\n"});
}

TEST_F(ServerCommunicatorTest, AStalledFileTimesOutAfter20Seconds) {
  LogIn();
  Drive(Message({File("big.bin", std::string(10 * AttachmentSender::kBlockSize, 'b'))}), "NEWA");
  socket.Receive("410 Attachment created: A1\r\n");
  for (int second = 0; second < 19; ++second) platform.AdvanceTime(1s);
  EXPECT_EQ(events.Take().back(), "BytesTransferred(" + std::to_string(AttachmentSender::kBlockSize) + ")");
  platform.AdvanceTime(1s);
  EXPECT_EQ(events.Take(), Lines{"DisconnectedFromServer"});
  EXPECT_EQ(client.getBytesTransferred(), 0);
  platform.AdvanceTime(5s);
  EXPECT_TRUE(events.Take().empty()) << "both timers stopped";
}

// An e-mail without files: what follows NEWM, each step answered as a server does.
struct Shape {
  std::string password;
  Lines recipients;
  std::string body;
  Lines sent;
};

class ShapeTest : public ServerCommunicatorTest, public ::testing::WithParamInterface<Shape> {};

TEST_P(ShapeTest, OnlyWhatTheEmailHoldsGoesOut) {
  LogIn();
  auto email = Message({});
  email->set_Password(GetParam().password);
  for (const std::string& address : GetParam().recipients) email->AddRecipient(address);
  email->set_Body(GetParam().body);
  const Lines sent = Drive(email, "FINM");
  EXPECT_EQ(Lines(sent.begin() + 1, sent.end()), GetParam().sent) << "after NEWM";
}

INSTANTIATE_TEST_SUITE_P(
    SubjectsAndBodies, ShapeTest,
    ::testing::Values(Shape{"", {}, "", {"SUBJ Plans\r\n", "FINM\r\n"}},
                      Shape{"pw", {"a@example.org"}, "  \r\n \r\n",
                            {"SUBJ Plans\r\n", "PASS pw\r\n", "RECP a@example.org\r\n", "FINM\r\n"}},
                      Shape{"", {}, "one\r\ntwo\r\n",
                            {"SUBJ Plans\r\n", "BODY\r\n", "one\r\n", "two\r\n", "\r\n", "FINB\r\n", "FINM\r\n"}}));

// --- Replies that end the upload: refusals (5xx) and replies the client cannot go on with ---

struct Ending {
  std::string word;  // of the command the reply answers
  std::string reply;
  std::string quoted = "";  // what the message shows of it, when not the whole reply
};

class EndingTest : public ServerCommunicatorTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(EndingTest, EndsTheUploadCleanly) {
  const Ending& c = GetParam();
  SCOPED_TRACE(c.reply + " to " + c.word);
  const bool file = c.word == "NEWA" || c.word == "RESA" || c.word == "FINA";
  auto email = Message(file ? std::vector{File("a.bin", "abc")} : std::vector<std::shared_ptr<EmailAttachment>>{});
  if (c.word == "RESA") email->get_attachments()[0]->set_ID("A1");
  if (c.word == "PASS") email->set_Password("pw");
  if (c.word == "RECP") email->AddRecipient("a@example.org");
  if (c.word == "BODY" || c.word == "FINB") email->set_Body("Hi");
  LogIn();
  ASSERT_EQ(Drive(email, c.word).back().substr(0, 4), c.word);
  socket.Receive(c.reply + "\r\n");
  ExpectEndedCleanly(c.quoted.empty() ? c.reply : c.quoted);
  EXPECT_EQ(client.getBytesTransferred(), c.word == "FINA" ? 3 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, EndingTest,
    ::testing::Values(Ending{"NEWM", "552 Too much"}, Ending{"FINA", "552 Cannot write the file"},
                      Ending{"FINA", "5", ": 5)"}, Ending{"SUBJ", "554 0, 0"},
                      Ending{"PASS", "550 No"}, Ending{"RECP", "550 No such user"},
                      Ending{"RECP", "250 Not the reply to RECP"}, Ending{"BODY", "552 Too long"},
                      Ending{"BODY", "250 Not the reply to BODY"}, Ending{"FINB", "552 Cannot save"},
                      Ending{"FINM", "500 12.5, 3"}));

// The last but one: the lines after a reply that ended the upload are not handled.
INSTANTIATE_TEST_SUITE_P(
    MalformedReplies, EndingTest,
    ::testing::Values(Ending{"NEWA", "410 short"}, Ending{"NEWA", "200 OK"},
                      Ending{"NEWA", "0 wait"}, Ending{"RESA", "430 short"},
                      Ending{"RESA", "430 Attachment resumed at lots"},
                      Ending{"RESA", "430 Attachment resumed at 4", "a.bin"},
                      Ending{"NEWA", "410 short\r\n220 Dropwell\r\n250 Hello", "410 short"},
                      Ending{"FINM", "250 12.5"}));

TEST_F(ServerCommunicatorTest, AFileThatChangedSizeStopsBeforeItIsAnnounced) {
  LogIn();
  auto file = File("grows.bin", "abc");
  client.SendEmail(Message({file}));
  testing::WriteBytes(file->get_FilePath(), "abcd");
  EXPECT_EQ(Reply("310 E-mail accepted 4711\r\n"), (Lines{"NEWM 4711, 3, 0\r\n", "QUIT\r\n"}));
}

// A file system whose files cannot be read past their opening.
class UnreadableFiles : public portable::PortableFileSystem {
 public:
  std::unique_ptr<BinaryReader> OpenBinaryForReading(const std::string&) override {
    struct Failing : BinaryReader {
      std::uint64_t Length() override { return 3; }
      void ReadAt(std::uint64_t, char*, std::size_t) override { throw Error(errc::kPathFileAccess, "disk", "I/O error"); }
    };
    return std::make_unique<Failing>();
  }
};

TEST_F(ServerCommunicatorTest, After420OrAFailedReadTheUserIsToldAndNothingMoreGoesOut) {
  UnreadableFiles files;
  const ScopedPlatform unreadable = testing::TestPlatform::WithFiles(files);
  for (const std::string reply : {"420 Illegal size", "410 Attachment created: A1"}) {
    LogIn();
    Drive(Message({File("a.bin", "abc")}), "NEWA");
    EXPECT_EQ(Reply(reply + "\r\n"), Lines{"QUIT\r\n"}) << reply;
    EXPECT_EQ(client.getBytesTransferred(), 0);
  }
  EXPECT_EQ(platform.alerts.shown.size(), 2u) << "after 420 nothing is read";
  EXPECT_NE(LogSoFar().find("SendAttachmentData:01:I/O error, " + std::to_string(errc::kPathFileAccess)),
            std::string::npos);
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
  const Lines sent = Drive(email, "FINM");
  ASSERT_EQ(sent.back(), "FINM\r\n");
  for (const std::string& line : sent) {
    EXPECT_TRUE(line == kZeroBlock || line.find_first_of("\r\n") == line.size() - 2) << ::testing::PrintToString(line);
  }
}

TEST_F(ServerCommunicatorTest, AReconnectForgetsTheInterruptedFile) {
  LogIn();
  const std::string bytes = Pattern(3000);
  auto file = File("a.bin", bytes);
  auto email = Message({file});
  Drive(email, "NEWA");
  socket.Receive("410 Attachment created: A1\r\n");
  socket.Fail(wsk::kConnectionReset);
  LogIn();
  EXPECT_EQ(Drive(email, "RESA").back(), "RESA A1, 0\r\n");
  // The server lost it: a new file, read from the first byte again.
  EXPECT_EQ(Reply("410 Attachment created: A2\r\n"), (Lines{kZeroBlock, bytes, kFina}));
  EXPECT_EQ(file->get_ID(), "A2");
}

TEST_F(ServerCommunicatorTest, FilesOfMoreThan4GiBResumeBeyond32BitOffsets) {
  const std::string path = platform.Path("sparse.bin");
  testing::WriteBytes(path, "");
  std::filesystem::resize_file(path, (5ULL << 30) + 3);  // 5 GiB and 3 bytes
  std::fstream(path, std::ios::in | std::ios::out | std::ios::binary).seekp(4294967301LL) << "marker";
  auto file = std::make_shared<EmailAttachment>();
  file->set_FilePath(path);
  file->set_ID("BIG");
  LogIn();
  EXPECT_EQ(Drive(Message({file}), "RESA"), (Lines{"NEWM 4711, 5368709123, 0\r\n", "RESA BIG, 0\r\n"}))
      << "the size comparison holds beyond 32 bits";
  const Lines sent = Reply("430 Attachment resumed at 4294967301\r\n");  // beyond 2^32
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1].substr(0, 6), "marker");
  EXPECT_EQ(client.getBytesTransferred(), 4294967302.0 + AttachmentSender::kBlockSize);
}

// --- The end of a connection ---

// After QUIT the server may stay silent, answer, or answer and close: the
// connection ends once, at the latest when the reply time-out runs out.
TEST_F(ServerCommunicatorTest, AfterQuitTheConnectionEndsOnceWithinTheReplyTimeOut) {
  for (const std::string server : {"silent", "answers", "closes"}) {
    SCOPED_TRACE(server);
    LogIn();
    client.Disconnect();
    EXPECT_EQ(socket.TakeSent(), Lines{"QUIT\r\n"});
    platform.AdvanceTime(5s);
    if (server != "silent") {
      socket.Receive("221 Bye\r\n");
      EXPECT_TRUE(Reply("220 Still here\r\n").empty()) << "nothing after the answer to QUIT is a greeting";
    }
    const int closes = socket.closes;
    if (server == "closes") {
      events.onDisconnected = [] { throw Error(61, "owner", "Disk full"); };  // an owner that fails
      EXPECT_NO_THROW(socket.PeerCloses());
      EXPECT_NE(LogSoFar().find("ServerCommunicator.Socket_Close:01:Disk full, 61\r\n"), std::string::npos);
    } else {
      platform.AdvanceTime(14s);
      EXPECT_TRUE(events.Take().empty());
      platform.AdvanceTime(1s);
    }
    EXPECT_EQ(events.Take(), Lines{"DisconnectedFromServer"});
    EXPECT_EQ(socket.closes, closes + (server == "closes" ? 0 : 1)) << "the client closes what the server did not";
    platform.AdvanceTime(60s);
    EXPECT_TRUE(events.Take().empty()) << "once";
    EXPECT_EQ(socket.closes, closes + (server == "closes" ? 0 : 1)) << "nor the owner's next connection";
  }
}

// --- Commands sent ahead of the answer to the one before, where the server offers it ---

class PipeliningTest : public ServerCommunicatorTest {
 protected:
  PipeliningTest() {
    settings->setUsername("alice");
    settings->setPassword("secret");
  }

  static std::string Helo() { return "HELO " + std::to_string(AppSettings::Instance()->getNumericVersion()) + "\r\n"; }
  static std::string Logn() { return "LOGN alice, secret\r\n"; }

  // Connected, logged in on a greeting that offers it, sends and events taken.
  void LogInAhead() {
    Greet();
    ASSERT_EQ(Reply(kOffer), Lines{Helo() + Logn()});
    socket.Receive("250 Hello\r\n210 Welcome 17\r\n");
    ASSERT_EQ(client.ProtocolState(), ServerCommunicator::kReady);
    events.Take();
  }

  const std::string kOffer = "220 Dropwell transfer server ready PIPELINING\r\n";
};

// One upload of an e-mail with one file, step by step: what goes out on the
// greeting, each reply, SendEmail and the completed sends.
TEST_F(PipeliningTest, OnlyLognAndTheFirstFileGoAheadAndOnlyWhereOffered) {
  const std::vector<Lines> strict{{Helo()}, {Logn()}, {}, {"NEWM 4711, 1, 0\r\n"}, {"NEWA one.bin, 0\r\n"},
                                  {kZeroBlock, "x", kFina}, {}, {"SUBJ Plans\r\n"}, {"FINM\r\n"}, {}};
  const std::vector<Lines> ahead{{Helo() + Logn()}, {}, {}, {"NEWM 4711, 1, 0\r\nNEWA one.bin, 0\r\n"}, {},
                                 {kZeroBlock, "x", kFina}, {}, {"SUBJ Plans\r\n"}, {"FINM\r\n"}, {}};
  for (const auto& [greeting, expected] : std::vector<std::pair<std::string, std::vector<Lines>>>{
           {"220 Dropwell transfer server ready\r\n", strict}, {kOffer, ahead}}) {
    SCOPED_TRACE(greeting);
    Greet();
    std::vector<Lines> steps{Reply(greeting), Reply("250 Hello\r\n"), Reply("210 Welcome 17\r\n")};
    client.SendEmail(Message({File("one.bin", "x")}));
    steps.push_back(socket.TakeSent());
    for (const std::string reply : {"310 E-mail accepted 4711", "410 Attachment created: A1", "", "250 File stored",
                                    "330 Subject stored", "250 1, 1"}) {
      steps.push_back(reply.empty() ? Complete() : Reply(reply + "\r\n"));
    }
    EXPECT_EQ(steps, expected);
    EXPECT_EQ(events.Take(), (Lines{"ConnectedToServer(17\r\n)", "EmailReady(4711\r\n)", "StartAttachment(one.bin)",
                                    "AttachmentFinished(one.bin)", "EmailFinished(1, 1)"}));
  }
}

TEST_F(PipeliningTest, OnlyAnUnchangedFirstFileGoesAheadOfItsEmail) {
  LogInAhead();
  client.SendEmail(Message({}));
  EXPECT_EQ(socket.TakeSent(), Lines{"NEWM 4711, 0, 0\r\n"});
  EXPECT_EQ(Reply("310 E-mail accepted 4711\r\n"), Lines{"SUBJ Plans\r\n"});

  LogInAhead();
  auto file = File("grows.bin", "abc");
  auto email = Message({file});
  email->Size();  // the size the record holds
  testing::WriteBytes(file->get_FilePath(), "abcd");
  client.SendEmail(email);
  EXPECT_EQ(socket.TakeSent(), Lines{"NEWM 4711, 3, 0\r\n"});
  EXPECT_EQ(Reply("310 E-mail accepted 4711\r\n"), Lines{"QUIT\r\n"}) << "stopped before it is announced";
}

// The server answers NEWM with an end, and then the NEWA that went with it:
// alone, or in the same read.
TEST_F(PipeliningTest, AReplyOwedToAFileAnnouncedAheadIsSkippedNotTakenForTheAnswerToQuit) {
  for (const std::string answer : {"552 Too much", "320 Too large"}) {
    for (const bool together : {false, true}) {
      SCOPED_TRACE(answer + (together ? ", together" : ", alone"));
      LogInAhead();
      client.SendEmail(Message({File("a.bin", "abc")}));
      socket.TakeSent();
      const std::size_t before = LogSoFar().size();
      const std::string owed = "503 No e-mail under way\r\n";
      EXPECT_EQ(Reply(answer + "\r\n" + (together ? owed : "")), Lines{"QUIT\r\n"});
      if (!together) {
        EXPECT_TRUE(Reply(owed).empty());
      }
      EXPECT_EQ(client.ProtocolState(), ServerCommunicator::kDisconnecting) << "QUIT is still unanswered";
      EXPECT_NE(LogSoFar().find("skipped the late reply to NEWA: 503 No e-mail under way", before), std::string::npos);
      EXPECT_TRUE(Reply("221 Bye\r\n").empty());
      EXPECT_EQ(client.ProtocolState(), ServerCommunicator::kAwaitingGreeting) << "the answer to QUIT";
      const Lines seen = events.Take();
      ASSERT_EQ(seen.size(), 1u) << ::testing::PrintToString(seen);
      EXPECT_EQ(seen[0].substr(0, 5), answer[0] == '3' ? "Email" : "Error");
    }
  }
}

TEST_F(PipeliningTest, ALoginRefusedWithLognAheadIsOneErrorAndNothingMore) {
  for (const bool together : {false, true}) {
    SCOPED_TRACE(together ? "together" : "alone");
    Greet();
    ASSERT_EQ(Reply(kOffer), Lines{Helo() + Logn()});
    if (together) {
      EXPECT_TRUE(Reply("250 Hello\r\n530 Login refused\r\n").empty());
    } else {
      EXPECT_TRUE(Reply("250 Hello\r\n").empty());
      EXPECT_TRUE(Reply("530 Login refused\r\n").empty());
    }
    EXPECT_EQ(events.Take(), Lines{"ErrorOccured(Login information not correct. We are disconnected from server.)"});
    EXPECT_EQ(client.ProtocolState(), ServerCommunicator::kAwaitingGreeting);
    platform.AdvanceTime(30s);
    EXPECT_TRUE(events.Take().empty());
    EXPECT_TRUE(socket.TakeSent().empty());
  }
}

// --- What the server sends reaches the log and the user cleaned and cut ---

TEST_F(ServerCommunicatorTest, RepliesReachTheLogAndMessagesCleanedAndCut) {
  LogIn();
  Drive(Message({File("a.bin", "abc")}), "NEWA");
  const std::size_t before = LogSoFar().size();
  socket.Receive("299 forged\n12/4/2026 11:38:56 AM - TransferAgent: uploaded\x1b]0;owned\x07\x7f" +
                 std::string(1000, 'y') + "\r\n");
  for (const std::string& text : {LogSoFar().substr(before), events.Take().at(0)}) {
    EXPECT_NE(text.find("299 forged?12/4/2026 11:38:56 AM - TransferAgent: uploaded?]0;owned??yyy"),
              std::string::npos) << text;
    EXPECT_EQ(text.find(std::string(1000, 'y')), std::string::npos) << "a long reply is cut";
  }
}

TEST_F(ServerCommunicatorTest, TheHundredthUnexpectedReplyEndsTheUpload) {
  LogIn();
  Drive(Message({File("big.bin", std::string(10 * AttachmentSender::kBlockSize, 'b'))}), "NEWA");
  Reply("410 Attachment created: A1\r\n");
  events.Take();
  std::string flood;
  for (int i = 0; i < 99; ++i) flood += i % 2 == 0 ? "0 keep going\r\n" : "250 File stored\r\n";
  EXPECT_TRUE(Reply(flood).empty()) << "replies while file bytes flow are not looked at";
  EXPECT_TRUE(events.Take().empty());
  socket.Receive("250 File stored\r\n");
  ExpectEndedCleanly("100");
}

// That no opening blocks (a FIFO) is PortableFileSystemTest's; here, what
// the client makes of a file it cannot open.
TEST_F(ServerCommunicatorTest, AFileThatCannotBeOpenedEndsTheUploadAndKeepsNoId) {
  LogIn();
  auto file = std::make_shared<EmailAttachment>();
  file->set_FilePath("/dev/null");
  Drive(Message({file}), "NEWA");
  socket.Receive("410 Attachment created: A1\r\n");
  ExpectEndedCleanly("/dev/null");
  EXPECT_EQ(file->get_ID(), "") << "the id is kept only for a file that goes out";
}

}  // namespace
}  // namespace dwl
