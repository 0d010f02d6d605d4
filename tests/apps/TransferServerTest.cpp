// The transfer client against the reference server, over loopback, on one loop.
// A server that cannot write a file: tests/agent/server_write_fault_test.sh.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/apps/LoopbackServerFixture.h"
#include "tests/transfer/EventRecorder.h"
#include "transfer/ServerCommunicator.h"

namespace dwl {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

class TransferServerTest : public testing::LoopbackServerFixture {
 protected:
  TransferServerTest() { options.quietTime = 300ms; }

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

};

TEST_F(TransferServerTest, AnEmailWithFourFilesArrivesWhole) {
  StartServer();
  const std::string big = RandomBytes(5 * 1048576 + 1, 1);
  const std::string exact = RandomBytes(1460, 2);
  const Lines sent = {"", "1", exact, big};
  auto email = EmailWith("FOUR", sent);
  email->set_Subject("Plans");
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
  for (std::size_t i = 0; i < sent.size(); ++i) {
    EXPECT_TRUE(Stored(email->get_attachments()[i]) == sent[i]) << "file " << i << " differs";
  }
  EXPECT_EQ(Recorded("FOUR", "Subject"), Lines{"Plans"});
  EXPECT_EQ(Recorded("FOUR", "Password"), Lines{"download"});
  EXPECT_EQ(Recorded("FOUR", "Recipient"), (Lines{"a@example.org", "b@example.org"}));
  EXPECT_EQ(Recorded("FOUR", "BodyLine"), (Lines{"Hello,", "here are the plans.", "Bob"}));
}

// (On the same server: EmailUploaderTest.)
TEST_F(TransferServerTest, AnUploadCutAfter1MiBResumesAfterTheServerRestarts) {
  options.cutOnceAfterFileBytes = 1048576;
  StartServer();
  const std::string big = RandomBytes(3 * 1048576 + 77, 4);
  auto email = EmailWith("CUT", {big});
  const auto file = email->get_attachments()[0];
  Client c;
  Connect(c);
  Upload(c, email);
  ASSERT_FALSE(c.owner.finished);
  ASSERT_FALSE(file->get_ID().empty()) << "the server gave the file its id";
  const std::uint64_t held = server->Store().AttachmentSize(file->get_ID());
  EXPECT_GE(held, 1048576u);
  EXPECT_LT(held, big.size());
  server.reset();  // a new server on the same store, without the cut
  options.cutOnceAfterFileBytes.reset();
  StartServer();
  Connect(c);
  Upload(c, email);
  ASSERT_TRUE(c.owner.finished);
  const Lines transcript = server->Transcript();
  EXPECT_EQ(Lines(transcript.end() - 5, transcript.end()), (Lines{"NEWM", "RESA", "FINA", "SUBJ", "FINM"}));
  EXPECT_TRUE(Stored(file) == big) << "the resumed file differs";
}

TEST_F(TransferServerTest, AnEmailFinishedBeforeIsAnsweredAgainButNotDeliveredTwice) {
  std::ostringstream report;
  options.report = &report;
  StartServer();
  auto email = EmailWith("AGAIN", {"abc"});
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
  const Lines sent = {pieceEnd, "dataFINA\r\n", "FINA\r\n"};
  auto email = EmailWith("MARKER", sent);
  Client c;
  Connect(c);
  Upload(c, email);
  ASSERT_TRUE(c.owner.finished) << ::testing::PrintToString(c.owner.seen);
  for (std::size_t i = 0; i < sent.size(); ++i) EXPECT_EQ(Stored(email->get_attachments()[i]), sent[i]);
}

// The e-mail's last file ends as soon as the bytes NEWM announced are there;
// only the files before it wait for the client's silence.
TEST_F(TransferServerTest, TheLastFileEndsWithoutWaitingWhenTheAnnouncedBytesAreThere) {
  options.quietTime = 1h;
  StartServer();
  const Lines sent = {RandomBytes(300000, 7), RandomBytes(1, 8) + "FINA\r\n"};
  auto one = EmailWith("ONE", {sent[0]});
  Client c;
  Connect(c);
  Upload(c, one);
  ASSERT_TRUE(c.owner.finished) << ::testing::PrintToString(c.owner.seen);
  EXPECT_EQ(Stored(one->get_attachments()[0]), sent[0]);

  // A file that grew after NEWM: its bytes never match what was announced,
  // so it ends on the client's silence only (here: never).
  auto two = EmailWith("TWO", {sent[1]});
  two->Size();
  testing::WriteBytes(two->get_attachments()[0]->get_FilePath(), sent[1] + "x");
  c.owner.finished = false;
  c.client.SendEmail(two);
  ASSERT_FALSE(platform.eventLoop.RunUntil([&] { return c.owner.finished; }, 500ms));
}

TEST_F(TransferServerTest, ServesSeveralConnectionsAtOnce) {
  StartServer();
  auto one = EmailWith("ONE", {RandomBytes(2 * 1048576, 6)});
  auto two = EmailWith("TWO", {RandomBytes(3 * 1048576, 7)});
  Client a;
  Client b;
  Connect(a);
  Connect(b);
  EXPECT_EQ(server->Connections(), 2u);
  a.client.SendEmail(one);
  b.client.SendEmail(two);
  ASSERT_TRUE(RunUntil([&] { return (a.owner.finished && b.owner.finished) || a.owner.lost || b.owner.lost; }));
  EXPECT_TRUE(a.owner.finished && b.owner.finished);
  EXPECT_TRUE(Stored(one->get_attachments()[0]) == RandomBytes(2 * 1048576, 6));
  EXPECT_TRUE(Stored(two->get_attachments()[0]) == RandomBytes(3 * 1048576, 7));
}

// The server offers it: LOGN and the first NEWA reach it before the client
// has the answers to HELO and NEWM; every other command waits for its turn.
TEST_F(TransferServerTest, LognAndTheFirstNewaGoAheadAndAreServedInOrder) {
  Client c;
  std::vector<std::pair<std::string, std::int32_t>> taken;  // each command, and the client's state then
  options.script = [&](const std::string& word, int) -> std::optional<std::string> {
    taken.emplace_back(word, c.client.ProtocolState());
    return std::nullopt;
  };
  StartServer();
  const std::string big = RandomBytes(300000, 8);
  auto email = EmailWith("AHEAD", {big, "second"});
  Connect(c);
  Upload(c, email);
  ASSERT_TRUE(c.owner.finished) << ::testing::PrintToString(c.owner.seen);
  using S = ServerCommunicator;
  EXPECT_EQ(taken, (std::vector<std::pair<std::string, std::int32_t>>{
                       {"HELO", S::kAwaitingHeloReply}, {"LOGN", S::kAwaitingHeloReply},
                       {"NEWM", S::kReady}, {"NEWA", S::kReady},
                       {"NEWA", S::kAwaitingAttachmentReply}, {"SUBJ", S::kAwaitingSubjectReply},
                       {"FINM", S::kAwaitingFinishReply}}));
  EXPECT_TRUE(Stored(email->get_attachments()[0]) == big);
  EXPECT_EQ(Stored(email->get_attachments()[1]), "second");
  server.reset();  // before what its script holds
}

TEST_F(TransferServerTest, BodyLinesThatLookLikeCommandsArriveAsBodyLines) {
  StartServer();
  auto email = EmailWith("BODY", {});
  email->AddRecipient("a@example.org");
  email->set_Body("FINB\r\nFINB \r\nRECP x@example.org\r\nFINM\r\nFINB  \r\nlast");
  Client c;
  Connect(c);
  Upload(c, email);
  ASSERT_TRUE(c.owner.finished) << ::testing::PrintToString(c.owner.seen);
  EXPECT_EQ(server->Transcript(), (Lines{"HELO", "LOGN", "NEWM", "SUBJ", "RECP", "BODY", "FINB", "FINM"}));
  EXPECT_EQ(Recorded("BODY", "Recipient"), Lines{"a@example.org"});
  EXPECT_EQ(Recorded("BODY", "BodyLine"),
            (Lines{"FINB", "FINB ", "RECP x@example.org", "FINM", "FINB  ", "last"}));
}

}  // namespace
}  // namespace dwl
