// The transfer client against the reference server, over loopback, on one loop.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <random>
#include <sstream>

#include "tests/apps/LoopbackServerFixture.h"
#include "tests/transfer/EventRecorder.h"
#include "transfer/ServerCommunicator.h"

namespace dwl {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

std::string RandomBytes(std::size_t size, unsigned stream) {
  std::mt19937 generator(stream);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(generator());
  return bytes;
}

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
    testing::EventRecorder owner;
    ServerCommunicator client;
  };

  bool RunUntil(const std::function<bool()>& done) { return platform.eventLoop.RunUntil(done, 60s); }

  void Connect(Client& c) {
    c.owner.connected = c.owner.lost = false;
    c.client.ConnectToServer();
    ASSERT_TRUE(RunUntil([&] { return c.owner.connected || c.owner.lost; }));
    ASSERT_TRUE(c.owner.connected) << ::testing::PrintToString(c.owner.seen);
  }

  // Sends the e-mail and runs until it is finished or the connection is lost.
  void Upload(Client& c, const std::shared_ptr<Email>& email) {
    c.owner.lost = c.owner.finished = false;
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

  // The values of the e-mail's record on the server under `tag`.
  Lines Recorded(const std::shared_ptr<Email>& email, const std::string& tag) {
    const Lines record = testing::ReadCrLfLines(server->Store().EmailPath(email->get_ID()));
    Lines values;
    for (std::size_t i = 0; i + 1 < record.size(); ++i) {
      if (record[i] == "<" + tag + ">") values.push_back(record[i + 1]);
    }
    return values;
  }

  int emails = 0;
};

TEST_F(TransferServerTest, AnEmailWithFourFilesArrivesWhole) {
  StartServer();
  const std::string big = RandomBytes(5 * 1048576 + 1, 1);
  const std::string exact = RandomBytes(1460, 2);
  auto files = std::vector{File("empty.bin", ""), File("one.bin", "1"), File("exact.bin", exact), File("big.bin", big)};
  auto email = Message(files);
  email->set_Password("download");
  email->AddRecipient("a@example.org");
  email->AddRecipient("b@example.org");
  email->set_Body("Hello,\r\nhere are the plans.\r\nBob");

  Client c;
  Connect(c);
  Upload(c, email);
  c.client.Disconnect();
  ASSERT_TRUE(RunUntil([&] { return c.owner.lost; }));
  ASSERT_GE(c.owner.seen.size(), 2u);
  EXPECT_EQ(Lines(c.owner.seen.end() - 2, c.owner.seen.end()), (Lines{"EmailFinished(5, 4)", "DisconnectedFromServer"}));
  EXPECT_EQ(server->Transcript(), (Lines{"HELO", "LOGN", "NEWM", "NEWA", "FINA", "NEWA", "FINA", "NEWA", "FINA", "NEWA",
                                         "FINA", "SUBJ", "PASS", "RECP", "RECP", "BODY", "FINB", "FINM", "QUIT"}));
  EXPECT_EQ(Stored(files[0]), "");
  EXPECT_EQ(Stored(files[1]), "1");
  EXPECT_EQ(Stored(files[2]), exact);
  EXPECT_TRUE(Stored(files[3]) == big) << "the 5 MiB file differs";
  EXPECT_EQ(Recorded(email, "Subject"), Lines{"Plans"});
  EXPECT_EQ(Recorded(email, "Password"), Lines{"download"});
  EXPECT_EQ(Recorded(email, "Recipient"), (Lines{"a@example.org", "b@example.org"}));
  EXPECT_EQ(Recorded(email, "BodyLine"), (Lines{"Hello,", "here are the plans.", "Bob"}));
}

TEST_F(TransferServerTest, AnUploadCutAfter1MiBResumesOnTheNextConnectionAlsoAfterTheServerRestarts) {
  for (const bool restart : {false, true}) {
    SCOPED_TRACE(restart);
    server.reset();
    options.cutOnceAfterFileBytes = 1048576;
    StartServer();
    const std::string big = RandomBytes(3 * 1048576 + 77, restart ? 4 : 3);
    auto file = File(restart ? "restart.bin" : "big.bin", big);
    auto email = Message({file});
    Client c;
    Connect(c);
    Upload(c, email);
    ASSERT_FALSE(c.owner.finished);
    ASSERT_FALSE(file->get_ID().empty()) << "the server gave the file its id";
    const std::uint64_t held = server->Store().AttachmentSize(file->get_ID());
    EXPECT_GE(held, 1048576u);
    EXPECT_LT(held, big.size());
    if (restart) {
      server.reset();  // a new server on the same store, without the cut
      options.cutOnceAfterFileBytes.reset();
      StartServer();
    }
    Connect(c);
    Upload(c, email);
    ASSERT_TRUE(c.owner.finished);
    const Lines transcript = server->Transcript();
    EXPECT_EQ(Lines(transcript.end() - 5, transcript.end()), (Lines{"NEWM", "RESA", "FINA", "SUBJ", "FINM"}));
    EXPECT_TRUE(Stored(file) == big) << "the resumed file differs";
  }
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
  server.reset();  // it reports as it stops: before the report goes
  const std::string lines = report.str();
  EXPECT_EQ(lines.find(" finished: "), lines.rfind(" finished: ")) << "one delivery: " << lines;
  EXPECT_NE(lines.find(" finished: "), std::string::npos) << lines;
}

TEST_F(TransferServerTest, FilesHoldingTheEndMarkerArriveWhole) {
  StartServer();
  std::string pieceEnd = RandomBytes(3000, 5);
  pieceEnd.replace(1460 - 6, 6, "FINA\r\n");  // the first piece ends like the marker
  auto files = std::vector{File("piece.bin", pieceEnd), File("ends.bin", "dataFINA\r\n"), File("only.bin", "FINA\r\n")};
  Client c;
  Connect(c);
  Upload(c, Message(files));
  ASSERT_TRUE(c.owner.finished) << ::testing::PrintToString(c.owner.seen);
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

TEST_F(TransferServerTest, BodyLinesThatLookLikeCommandsArriveAsBodyLines) {
  StartServer();
  auto email = Message({});
  email->AddRecipient("a@example.org");
  email->set_Body("FINB\r\nFINB \r\nRECP x@example.org\r\nFINM\r\nFINB  \r\nlast");
  Client c;
  Connect(c);
  Upload(c, email);
  ASSERT_TRUE(c.owner.finished) << ::testing::PrintToString(c.owner.seen);
  EXPECT_EQ(server->Transcript(), (Lines{"HELO", "LOGN", "NEWM", "SUBJ", "RECP", "BODY", "FINB", "FINM"}));
  EXPECT_EQ(Recorded(email, "Recipient"), Lines{"a@example.org"});
  EXPECT_EQ(Recorded(email, "BodyLine"), (Lines{"FINB", "FINB ", "RECP x@example.org", "FINM", "FINB  ", "last"}));
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
    Connect(c);
    c.owner.Take();
    Upload(c, email);  // the last 500 bytes fail as the server closes the file
    EXPECT_FALSE(c.owner.finished);
    const Lines seen = c.owner.Take();
    ASSERT_EQ(seen.size(), 4u) << ::testing::PrintToString(seen);
    EXPECT_EQ(seen[2], "AttachmentFinished(limited.bin)");
    EXPECT_NE(seen[3].find("limited.bin: 552 "), std::string::npos) << "refused when the file ended: " << seen[3];
    EXPECT_EQ(server->Store().AttachmentSize(file->get_ID()), 4096u);
  }
  c.client.CancelTransfer();
  Connect(c);
  Upload(c, email);
  ASSERT_TRUE(c.owner.finished) << ::testing::PrintToString(c.owner.seen);
  EXPECT_TRUE(Stored(file) == bytes);
}

}  // namespace
}  // namespace dwl
