// The transfer client against the reference server, over loopback, on one loop.
#include <asio/ip/tcp.hpp>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <random>
#include <sstream>

#include "tests/apps/LoopbackServerFixture.h"
#include "transfer/ServerCommunicator.h"

namespace dwl {
namespace {

using namespace std::chrono_literals;

std::string RandomBytes(std::size_t size, unsigned stream) {
  std::mt19937 generator(stream);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(generator());
  return bytes;
}

// The owner, as a test plays it: records the events; the test decides when to reconnect.
class Owner : public ServerCommunicatorEvents {
 public:
  void ConnectedToServer(const std::string& word) override {
    Add("ConnectedToServer");
    connected = true;
    loginWord = word;
  }
  void DisconnectedFromServer() override {
    Add("DisconnectedFromServer");
    lost = true;
  }
  void EmailReady(const std::string&) override { Add("EmailReady"); }
  void EmailIsTooLarge() override { Add("EmailIsTooLarge"); }
  void EmailFinished(double megabytes, std::int32_t files) override {
    std::ostringstream text;
    text << "EmailFinished(" << megabytes << ", " << files << ")";
    Add(text.str());
    finished = true;
  }
  void StartAttachment(EmailAttachment& attachment) override {
    Add("StartAttachment(" + attachment.get_Filename() + ")");
  }
  void AttachmentFinished(EmailAttachment& attachment) override {
    Add("AttachmentFinished(" + attachment.get_Filename() + ")");
  }
  void ErrorOccured(const std::string& message) override {
    Add("ErrorOccured");
    errors.push_back(message);
    lost = true;
  }

  std::vector<std::string> seen;
  std::vector<std::string> errors;
  std::string loginWord;
  bool connected = false;
  bool lost = false;
  bool finished = false;

 private:
  void Add(const std::string& event) { seen.push_back(event); }
};

class TransferServerTest : public testing::LoopbackServerFixture {
 protected:
  TransferServerTest() { options.quietTime = 300ms; }

  void StartServer() { LoopbackServerFixture::StartServer(platform.eventLoop.Context()); }

  // A client with its socket and owner.
  struct Client {
    Client() {
      client.SetSocket(socket.get());
      client.SetEvents(&owner);
    }
    std::unique_ptr<TcpSocket> socket = ThePlatform().eventLoop->NewTcpSocket();
    Owner owner;
    ServerCommunicator client;
  };

  bool RunUntil(const std::function<bool()>& done) { return platform.eventLoop.RunUntil(done, 60s); }

  void Connect(Client& c) {
    c.owner.connected = false;
    c.owner.lost = false;
    c.client.ConnectToServer();
    ASSERT_TRUE(RunUntil([&] { return c.owner.connected || c.owner.lost; }));
    ASSERT_TRUE(c.owner.connected) << ::testing::PrintToString(c.owner.errors);
  }

  // Sends the e-mail and runs until it is finished or the connection is lost.
  void Upload(Client& c, const std::shared_ptr<Email>& email) {
    c.owner.lost = false;
    c.client.SendEmail(email);
    ASSERT_TRUE(RunUntil([&] { return c.owner.lost || c.owner.finished; }));
  }

  std::shared_ptr<EmailAttachment> File(const std::string& name, const std::string& bytes) {
    return testing::AttachedFile(platform.Path(name), bytes);
  }

  std::shared_ptr<Email> Message(const std::vector<std::shared_ptr<EmailAttachment>>& files) {
    auto email = std::make_shared<Email>();
    email->set_ID("4711-" + std::to_string(++emails));
    email->set_Subject("Plans");
    for (const auto& file : files) email->AddAttachment(file);
    return email;
  }

  std::string Stored(const std::shared_ptr<EmailAttachment>& attachment) {
    return testing::ReadBytes(server->Store().AttachmentPath(attachment->get_ID()));
  }

  int emails = 0;
};

TEST_F(TransferServerTest, AnEmailWithFourFilesArrivesWhole) {
  StartServer();
  const std::string big = RandomBytes(5 * 1048576 + 1, 1);
  const std::string exact = RandomBytes(1460, 2);
  auto files = std::vector{File("empty.bin", ""), File("one.bin", "1"), File("exact.bin", exact),
                           File("big.bin", big)};
  auto email = Message(files);
  email->set_Password("download");
  email->AddRecipient("a@example.org");
  email->AddRecipient("b@example.org");
  email->set_Body("Hello,\r\nhere are the plans.\r\nBob");

  Client c;
  Connect(c);
  EXPECT_EQ(c.owner.loginWord, "1\r\n");
  Upload(c, email);
  c.client.Disconnect();
  ASSERT_TRUE(RunUntil([&] { return c.owner.lost; }));

  EXPECT_EQ(c.owner.seen,
            (std::vector<std::string>{"ConnectedToServer", "EmailReady", "StartAttachment(empty.bin)",
                                      "AttachmentFinished(empty.bin)", "StartAttachment(one.bin)",
                                      "AttachmentFinished(one.bin)", "StartAttachment(exact.bin)",
                                      "AttachmentFinished(exact.bin)", "StartAttachment(big.bin)",
                                      "AttachmentFinished(big.bin)", "EmailFinished(5, 4)",
                                      "DisconnectedFromServer"}));
  EXPECT_EQ(server->Transcript(),
            (std::vector<std::string>{"HELO", "LOGN", "NEWM", "NEWA", "FINA", "NEWA", "FINA", "NEWA",
                                      "FINA", "NEWA", "FINA", "SUBJ", "PASS", "RECP", "RECP", "BODY",
                                      "FINB", "FINM", "QUIT"}));
  EXPECT_EQ(Stored(files[0]), "");
  EXPECT_EQ(Stored(files[1]), "1");
  EXPECT_EQ(Stored(files[2]), exact);
  EXPECT_TRUE(Stored(files[3]) == big) << "the 5 MiB file differs";
  const std::vector<std::string> record = testing::ReadCrLfLines(server->Store().EmailPath(email->get_ID()));
  const std::vector<std::string> expected = {
      "<Subject>", "Plans", "</Subject>", "<Password>", "download", "</Password>",
      "<Recipient>", "a@example.org", "</Recipient>", "<Recipient>", "b@example.org", "</Recipient>",
      "<BodyLine>", "Hello,", "</BodyLine>", "<BodyLine>", "here are the plans.", "</BodyLine>",
      "<BodyLine>", "Bob", "</BodyLine>"};
  ASSERT_GE(record.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(record.begin(), record.begin() + expected.size()), expected);
}

TEST_F(TransferServerTest, AnUploadCutAfter1MiBResumesOnTheNextConnection) {
  options.cutOnceAfterFileBytes = 1048576;
  StartServer();
  const std::string big = RandomBytes(5 * 1048576, 3);
  auto file = File("big.bin", big);
  auto email = Message({file});

  Client c;
  Connect(c);
  Upload(c, email);
  ASSERT_FALSE(c.owner.finished);
  ASSERT_FALSE(file->get_ID().empty()) << "the server gave the file its id";
  const std::uint64_t held = server->Store().AttachmentSize(file->get_ID());
  EXPECT_GE(held, 1048576u);
  EXPECT_LT(held, big.size());

  Connect(c);  // the owner reconnects and sends the e-mail again
  c.owner.seen.clear();
  Upload(c, email);
  EXPECT_EQ(c.owner.seen, (std::vector<std::string>{"EmailReady", "StartAttachment(big.bin)",
                                                    "AttachmentFinished(big.bin)", "EmailFinished(5, 1)"}));
  EXPECT_EQ(server->Transcript(),
            (std::vector<std::string>{"HELO", "LOGN", "NEWM", "NEWA", "HELO", "LOGN", "NEWM", "RESA",
                                      "FINA", "SUBJ", "FINM"}));
  EXPECT_EQ(c.client.getBytesTransferred(), static_cast<double>(big.size() + 1))
      << "the resume point (plus one) and the rest";
  EXPECT_TRUE(Stored(file) == big) << "the resumed file differs";
}

TEST_F(TransferServerTest, AnInterruptedUploadResumesAfterTheServerRestarts) {
  options.cutOnceAfterFileBytes = 1048576;
  StartServer();
  const std::string big = RandomBytes(3 * 1048576 + 77, 4);
  auto file = File("big.bin", big);
  auto email = Message({file});
  Client c;
  Connect(c);
  Upload(c, email);
  ASSERT_FALSE(c.owner.finished);

  server.reset();  // a new server on the same store, without the cut
  options.cutOnceAfterFileBytes.reset();
  StartServer();
  Connect(c);
  Upload(c, email);
  ASSERT_TRUE(c.owner.finished);
  EXPECT_EQ(server->Transcript(),
            (std::vector<std::string>{"HELO", "LOGN", "NEWM", "RESA", "FINA", "SUBJ", "FINM"}));
  EXPECT_TRUE(Stored(file) == big);
}

TEST_F(TransferServerTest, AnEmailFinishedBeforeIsAnsweredAgainButNotDeliveredTwice) {
  std::ostringstream report;
  options.report = &report;
  StartServer();
  auto email = Message({File("a.bin", "abc")});
  email->AddRecipient("r@example.org");
  Client first;
  Connect(first);
  Upload(first, email);
  ASSERT_TRUE(first.owner.finished);
  const std::string record = testing::ReadBytes(server->Store().EmailPath(email->get_ID()));

  // The client never saw the last reply: it resumes the e-mail.
  email->set_CreatedOnServer(true);
  Client second;
  Connect(second);
  Upload(second, email);
  EXPECT_TRUE(second.owner.finished) << "the client gets its answer";
  EXPECT_EQ(testing::ReadBytes(server->Store().EmailPath(email->get_ID())), record)
      << "the finished record stays as it was (no second recipient)";
  const std::string lines = report.str();
  std::size_t finishes = 0;
  for (auto at = lines.find(" finished: "); at != std::string::npos; at = lines.find(" finished: ", at + 1)) {
    ++finishes;
  }
  EXPECT_EQ(finishes, 1u) << lines;
  EXPECT_NE(lines.find("was finished before: answered again, not delivered twice"), std::string::npos);
  server.reset();  // it reports as it stops: before the report goes
}

TEST_F(TransferServerTest, FilesHoldingTheEndMarkerArriveWhole) {
  StartServer();
  std::string pieceEnd = RandomBytes(3000, 5);
  pieceEnd.replace(1460 - 6, 6, "FINA\r\n");  // the first piece ends like the marker
  auto files = std::vector{File("piece.bin", pieceEnd), File("ends.bin", "dataFINA\r\n"),
                           File("only.bin", "FINA\r\n")};
  Client c;
  Connect(c);
  Upload(c, Message(files));
  ASSERT_TRUE(c.owner.finished) << ::testing::PrintToString(c.owner.errors);
  EXPECT_EQ(Stored(files[0]), pieceEnd);
  EXPECT_EQ(Stored(files[1]), "dataFINA\r\n");
  EXPECT_EQ(Stored(files[2]), "FINA\r\n");
}

TEST_F(TransferServerTest, ServesSeveralConnectionsAtOnce) {
  StartServer();
  const std::string first = RandomBytes(2 * 1048576, 6);
  const std::string second = RandomBytes(3 * 1048576, 7);
  auto one = File("first.bin", first);
  auto two = File("second.bin", second);
  Client a;
  Client b;
  Connect(a);
  Connect(b);
  EXPECT_EQ(server->Connections(), 2u);
  a.client.SendEmail(Message({one}));
  b.client.SendEmail(Message({two}));
  ASSERT_TRUE(RunUntil([&] { return (a.owner.finished && b.owner.finished) || a.owner.lost || b.owner.lost; }));
  EXPECT_TRUE(a.owner.finished && b.owner.finished);
  EXPECT_TRUE(Stored(one) == first);
  EXPECT_TRUE(Stored(two) == second);
}

TEST_F(TransferServerTest, AWrongPasswordIsRefusedAndTheConnectionStays) {
  StartServer();
  settings->setPassword("wrong");
  Client c;
  c.client.ConnectToServer();
  ASSERT_TRUE(RunUntil([&] { return c.owner.lost; }));
  EXPECT_EQ(c.owner.errors,
            std::vector<std::string>{"Login information not correct. We are disconnected from server."});
  EXPECT_EQ(c.socket->State(), SocketState::Connected);
}

TEST_F(TransferServerTest, AScriptAnswersInTheServersPlace) {
  options.script = [](const std::string& word, int connection) -> std::optional<std::string> {
    if (word == "LOGN" && connection == 1) return "530 Go away";
    if (word == "HELO" && connection == 2) return "";  // silent
    return std::nullopt;
  };
  StartServer();
  Client c;
  c.client.ConnectToServer();
  ASSERT_TRUE(RunUntil([&] { return c.owner.lost; }));
  EXPECT_EQ(c.owner.seen, std::vector<std::string>{"ErrorOccured"});
  c.owner.lost = false;
  c.client.ConnectToServer();
  ASSERT_TRUE(RunUntil([&] { return server->Transcript().size() == 3; }));
  platform.AdvanceTime(20s);
  EXPECT_TRUE(c.owner.lost) << "no answer to HELO";
  Connect(c);
  EXPECT_EQ(server->Transcript(), (std::vector<std::string>{"HELO", "LOGN", "HELO", "HELO", "LOGN"}));
}

TEST_F(TransferServerTest, AnEmailAboveTheLimitIsTooLarge) {
  options.maxSize = 1000;
  StartServer();
  Client c;
  Connect(c);
  c.client.SendEmail(Message({File("big.bin", std::string(1001, 'b'))}));
  ASSERT_TRUE(RunUntil([&] { return c.owner.lost; }));
  EXPECT_EQ(c.owner.seen, (std::vector<std::string>{"ConnectedToServer", "EmailIsTooLarge", "DisconnectedFromServer"}));
}

TEST_F(TransferServerTest, ASilentServerTimesOutAfter20SecondsOfTestTime) {
  asio::ip::tcp::acceptor silent(platform.eventLoop.Context(),
                                 asio::ip::tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
  asio::ip::tcp::socket accepted(platform.eventLoop.Context());
  silent.async_accept(accepted, [](const std::error_code&) {});
  settings->setRemoteServer("127.0.0.1", silent.local_endpoint().port());
  Client c;
  c.client.ConnectToServer();
  ASSERT_TRUE(RunUntil([&] { return c.socket->State() == SocketState::Connected && accepted.is_open(); }));
  platform.AdvanceTime(19s);
  EXPECT_FALSE(c.owner.lost);
  platform.AdvanceTime(1s);
  EXPECT_EQ(c.owner.seen, std::vector<std::string>{"DisconnectedFromServer"});
  EXPECT_EQ(c.socket->State(), SocketState::Closed);
}

TEST_F(TransferServerTest, BodyLinesThatLookLikeCommandsArriveAsBodyLines) {
  StartServer();
  auto email = Message({});
  email->AddRecipient("a@example.org");
  email->set_Body("FINB\r\nFINB \r\nRECP x@example.org\r\nFINM\r\nFINB  \r\nlast");
  Client c;
  Connect(c);
  Upload(c, email);
  ASSERT_TRUE(c.owner.finished) << ::testing::PrintToString(c.owner.errors);
  EXPECT_EQ(server->Transcript(),
            (std::vector<std::string>{"HELO", "LOGN", "NEWM", "SUBJ", "RECP", "BODY", "FINB", "FINM"}));
  std::vector<std::string> recipients;
  std::vector<std::string> bodyLines;
  const std::vector<std::string> record = testing::ReadCrLfLines(server->Store().EmailPath(email->get_ID()));
  for (std::size_t i = 0; i + 1 < record.size(); ++i) {
    if (record[i] == "<Recipient>") recipients.push_back(record[i + 1]);
    if (record[i] == "<BodyLine>") bodyLines.push_back(record[i + 1]);
  }
  EXPECT_EQ(recipients, std::vector<std::string>{"a@example.org"});
  EXPECT_EQ(bodyLines,
            (std::vector<std::string>{"FINB", "FINB ", "RECP x@example.org", "FINM", "FINB  ", "last"}));
}

// Files the process writes cannot grow past `bytes` while it lives; a write
// beyond fails (EFBIG) instead of raising SIGXFSZ.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &before_);
    signal_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = before_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &before_);
    std::signal(SIGXFSZ, signal_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit before_{};
  void (*signal_)(int) = nullptr;
};

TEST_F(TransferServerTest, AFileTheServerCannotWriteIsAFailedUploadThatResumesLater) {
  StartServer();
  const std::string bytes = RandomBytes(4096 + 500, 8);
  auto file = File("limited.bin", bytes);
  auto email = Message({file});
  Client c;
  {
    const FileSizeLimit limit(4096);
    Connect(c);
    Upload(c, email);  // the file stops at the limit: the server cuts
    ASSERT_FALSE(c.owner.finished);
    ASSERT_FALSE(file->get_ID().empty());
    EXPECT_EQ(server->Store().AttachmentSize(file->get_ID()), 4096u);
    c.owner.seen.clear();
    c.owner.errors.clear();
    Connect(c);
    Upload(c, email);  // the last 500 bytes fail as the server closes the file
    EXPECT_FALSE(c.owner.finished);
    EXPECT_EQ(c.owner.errors,
              std::vector<std::string>{"The server refused the file limited.bin: 552 Cannot write the file"});
    EXPECT_EQ(c.owner.seen, (std::vector<std::string>{"ConnectedToServer", "EmailReady", "StartAttachment(limited.bin)",
                                                      "AttachmentFinished(limited.bin)", "ErrorOccured"}));
    EXPECT_EQ(server->Store().AttachmentSize(file->get_ID()), 4096u);
  }
  c.client.CancelTransfer();
  Connect(c);
  Upload(c, email);
  ASSERT_TRUE(c.owner.finished) << ::testing::PrintToString(c.owner.errors);
  EXPECT_TRUE(Stored(file) == bytes);
}

}  // namespace
}  // namespace dwl
