// The reference server against clients that break its limits: raw sockets
// over loopback on the test's loop, small limits, test time for its timers.
#include <asio/ip/tcp.hpp>
#include <asio/write.hpp>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "tests/apps/LoopbackServerFixture.h"
#include "transfer/TransferProtocol.h"

namespace dwl {
namespace {

using namespace std::chrono_literals;
using asio::ip::tcp;

// Speaks the protocol by hand: what it sends goes out in order, what arrives
// collects in `received` until the server closes. Handlers hold it alive.
class RawClient : public std::enable_shared_from_this<RawClient> {
 public:
  RawClient(asio::io_context& context, std::uint16_t port, int receiveBuffer) : socket_(context) {
    socket_.open(tcp::v4());
    if (receiveBuffer > 0) socket_.set_option(asio::socket_base::receive_buffer_size(receiveBuffer));
    socket_.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
  }
  void Read() {
    socket_.async_read_some(asio::buffer(buffer_), [self = shared_from_this()](const std::error_code& error,
                                                                               std::size_t bytes) {
      self->received.append(self->buffer_.data(), bytes);
      self->lines += static_cast<std::size_t>(std::count(self->buffer_.data(), self->buffer_.data() + bytes, '\n'));
      if (error) {
        self->closed = true;
      } else {
        self->Read();
      }
    });
  }
  void Send(const std::string& bytes) {
    pending_ += bytes;
    if (writing_.empty()) WriteNext();
  }
  std::string Line(std::size_t index) const {
    std::istringstream in(received);
    std::string line;
    for (std::size_t i = 0; i <= index; ++i) std::getline(in, line);
    return line.substr(0, line.find('\r'));
  }
  void Close() { socket_.close(); }

  std::string received;
  std::size_t lines = 0;  // replies end in CR LF and hold no other LF
  bool closed = false;

 private:
  void WriteNext() {
    writing_ = std::move(pending_);
    pending_.clear();
    if (writing_.empty()) return;
    asio::async_write(socket_, asio::buffer(writing_), [self = shared_from_this()](const std::error_code& error,
                                                                                   std::size_t) {
      self->writing_.clear();
      if (!error) self->WriteNext();
    });
  }

  tcp::socket socket_;
  std::array<char, 65536> buffer_{};
  std::string pending_;
  std::string writing_;
};

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

const std::string kZeroBlock(protocol::kZeroBlockSize, '\0');

class ServerLimitsTest : public testing::LoopbackServerFixture {
 protected:
  ServerLimitsTest() {
    options.timers = &platform.eventLoop;
    options.quietTime = 20ms;
  }
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s) {
    return platform.eventLoop.RunUntil(done, limit);
  }
  // Runs what is ready now: the replies written, the closes seen.
  void Settle() {
    for (int i = 0; i < 100 && platform.eventLoop.Poll() > 0; ++i) {}
  }
  std::shared_ptr<RawClient> Connect(int receiveBuffer = 0, bool read = true) {
    auto client = std::make_shared<RawClient>(platform.eventLoop.Context(), server->Port(), receiveBuffer);
    if (read) {
      client->Read();
      EXPECT_TRUE(RunUntil([&] { return client->lines == 1 || client->closed; }));
    }
    return client;
  }
  // Sends the lines and waits for `replies` more reply lines; returns them.
  std::vector<std::string> Say(RawClient& client, const std::vector<std::string>& lines, std::size_t replies) {
    const std::size_t before = client.lines;
    client.Send(Lines(lines));
    EXPECT_TRUE(RunUntil([&] { return client.lines >= before + replies || client.closed; }));
    std::vector<std::string> said;
    for (std::size_t i = before; i < client.lines; ++i) said.push_back(client.Line(i));
    return said;
  }
  static std::vector<std::string> Codes(const std::vector<std::string>& replies) {
    std::vector<std::string> codes;
    for (const std::string& reply : replies) codes.push_back(reply.substr(0, 3));
    return codes;
  }
  // Logged in, with e-mail `id` under way.
  std::shared_ptr<RawClient> WithEmail(const std::string& id) {
    auto client = Connect();
    EXPECT_EQ(Codes(Say(*client, {"LOGN alice, secret", "NEWM " + id + ", 10, dwl"}, 2)),
              (std::vector<std::string>{"210", "310"}));
    return client;
  }
  // Sends a file's bytes after the reply to NEWA or RESA; the replies to that and to the file.
  std::vector<std::string> SendFile(RawClient& client, const std::string& command, const std::string& bytes) {
    std::vector<std::string> replies = Say(client, {command}, 1);
    client.Send(kZeroBlock + bytes + std::string(protocol::kEndOfFileMarker));
    const std::vector<std::string> more = Say(client, {}, 1);
    replies.insert(replies.end(), more.begin(), more.end());
    return replies;
  }
};

TEST_F(ServerLimitsTest, RepliesTheClientDoesNotReadStopTheReadingUntilTheyDrain) {
  options.maxUnsentReplies = 4096;
  StartServer();
  // 5.7 MB of replies that the client does not take fill the system's
  // buffers of both sockets; the server must then stop handling commands.
  const std::size_t commands = 300000;
  auto client = Connect(4096, false);
  client->Send(Lines(std::vector<std::string>(commands, "X")));
  EXPECT_FALSE(RunUntil([&] { return server->Transcript().size() == commands; }, 1s));
  EXPECT_LT(server->Transcript().size(), commands);

  client->Read();
  ASSERT_TRUE(RunUntil([&] { return client->lines == commands + 1; }, 60s));
  std::string expected = "220 Dropwell transfer server ready PIPELINING\r\n";
  for (std::size_t i = 0; i < commands; ++i) expected += "530 Please log in\r\n";
  EXPECT_TRUE(client->received == expected) << "a reply lost, doubled or out of order";
}

// A client that offers no time between commands: each reply in order, and
// a NEWA sent with a refused NEWM finds no e-mail, not even the one before.
TEST_F(ServerLimitsTest, CommandsSentAheadAreAnsweredInOrder) {
  options.maxSize = 1000;
  StartServer();
  auto client = Connect();
  EXPECT_EQ(client->Line(0), "220 Dropwell transfer server ready PIPELINING");
  const std::vector<std::string> replies =
      Say(*client, {"HELO 1", "LOGN alice, secret", "NEWM P-1, 3, 1", "NEWA a.bin, 0"}, 4);
  ASSERT_EQ(Codes(replies), (std::vector<std::string>{"250", "210", "310", "410"}));
  client->Send(kZeroBlock + "abc" + std::string(protocol::kEndOfFileMarker));
  EXPECT_EQ(Codes(Say(*client, {}, 1)), std::vector<std::string>{"250"});
  const std::optional<std::string> id = protocol::AttachmentId(replies[3]);
  ASSERT_TRUE(id);
  EXPECT_EQ(testing::ReadBytes(server->Store().AttachmentPath(*id)), "abc");
  EXPECT_EQ(Codes(Say(*client, {"NEWM P-2, lots, 1", "NEWA b.bin, 0", "NEWM P-3, 5000, 1", "NEWA c.bin, 0", "QUIT"}, 5)),
            (std::vector<std::string>{"501", "503", "320", "503", "221"}));
}

struct LimitCase {
  const char* name;
  std::vector<std::string> lines;
  std::vector<std::string> codes;
  const char* tag;  // in the record: the values kept
  std::vector<std::string> kept;
  friend void PrintTo(const LimitCase& limit, std::ostream* out) { *out << limit.name; }
};

class EmailLimitTest : public ServerLimitsTest, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(EmailLimitTest, NothingBeyondALimitIsKept) {
  options.emailLimits = {2, 8, 2, 6};  // recipients, their bytes, body lines, their bytes
  StartServer();
  auto client = WithEmail("E1");
  const LimitCase& limit = GetParam();
  EXPECT_EQ(Codes(Say(*client, limit.lines, limit.codes.size())), limit.codes);
  EXPECT_EQ(Recorded("E1", limit.tag), limit.kept);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, EmailLimitTest,
    ::testing::Values(
        LimitCase{"recipients", {"RECP a", "RECP b", "RECP c"}, {"350", "350", "552"}, "Recipient", {"a", "b"}},
        LimitCase{"recipientBytes", {"RECP abcd", "RECP efgh"}, {"350", "350"}, "Recipient", {"abcd", "efgh"}},
        LimitCase{"recipientBytesPassed", {"RECP abcd", "RECP efghi"}, {"350", "552"}, "Recipient", {"abcd"}},
        LimitCase{"bodyLines", {"BODY", "a", "b", "FINB"}, {"360", "361"}, "BodyLine", {"a", "b"}},
        LimitCase{"bodyLinesPassed", {"SUBJ s", "BODY", "a", "b", "c", "FINB"}, {"330", "360", "552"}, "BodyLine", {}},
        LimitCase{"bodyBytes", {"BODY", "abc", "def", "FINB"}, {"360", "361"}, "BodyLine", {"abc", "def"}},
        LimitCase{"bodyBytesPassed", {"SUBJ s", "BODY", "abc", "defg", "FINB"}, {"330", "360", "552"}, "BodyLine", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ServerLimitsTest, RecipientsAddedOneByOneReadAsAWholeRecordDoes) {
  StartServer();
  auto client = WithEmail("E1");
  Say(*client, {"SUBJ s", "RECP a", "RECP b"}, 3);
  EXPECT_EQ(Recorded("E1", "Recipient"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(Recorded("E1", "Finished"), std::vector<std::string>{"False"});
  Say(*client, {"PASS p"}, 1);  // written whole
  EXPECT_EQ(Recorded("E1", "Recipient"), (std::vector<std::string>{"a", "b"}));

  // The next attempt starts from nothing: its first recipient is not added
  // to the last attempt's record.
  auto again = WithEmail("E1");
  EXPECT_EQ(Codes(Say(*again, {"RECP c", "RECP d"}, 2)), (std::vector<std::string>{"350", "350"}));
  EXPECT_EQ(Recorded("E1", "Recipient"), (std::vector<std::string>{"c", "d"}));
}

TEST_F(ServerLimitsTest, AConnectionSilentForTheIdleTimeIsClosed) {
  options.idleTimeout = 10s;
  StartServer();
  auto client = Connect();
  platform.AdvanceTime(9s);
  EXPECT_EQ(Codes(Say(*client, {"HELO"}, 1)), std::vector<std::string>{"250"});
  platform.AdvanceTime(9s);
  Settle();
  EXPECT_FALSE(client->closed) << "a byte received starts the time again";
  platform.AdvanceTime(1s);
  EXPECT_TRUE(RunUntil([&] { return client->closed; }));
  EXPECT_EQ(server->Connections(), 0u);
}

TEST_F(ServerLimitsTest, ConnectionsBeyondTheMostAreTurnedAwayWithOneLine) {
  options.maxConnections = 2;
  StartServer();
  auto first = Connect();
  auto second = Connect();
  auto third = Connect();
  ASSERT_TRUE(RunUntil([&] { return third->closed; }));
  EXPECT_EQ(Codes({third->Line(0)}), std::vector<std::string>{"554"});
  EXPECT_EQ(third->lines, 1u);
  EXPECT_EQ(server->Connections(), 2u);
  first->Close();
  ASSERT_TRUE(RunUntil([&] { return server->Connections() == 1; }));
  EXPECT_EQ(Codes({Connect()->Line(0)}), std::vector<std::string>{"220"});
}

// Only `free` more descriptors may open while it lives.
class DescriptorLimit {
 public:
  explicit DescriptorLimit(int free) {
    ::getrlimit(RLIMIT_NOFILE, &before_);
    std::set<int> open;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
      open.insert(std::stoi(entry.path().filename().string()));
    }
    rlimit limit = before_;
    for (limit.rlim_cur = 0; free > 0; ++limit.rlim_cur) {
      const int fd = static_cast<int>(limit.rlim_cur);
      if (open.count(fd) == 0 || ::fcntl(fd, F_GETFD) == -1) --free;  // the listing's own is closed again
    }
    ::setrlimit(RLIMIT_NOFILE, &limit);
  }
  ~DescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &before_); }
  DescriptorLimit(const DescriptorLimit&) = delete;
  DescriptorLimit& operator=(const DescriptorLimit&) = delete;

 private:
  rlimit before_{};
};

TEST_F(ServerLimitsTest, AFailingAcceptWaitsLongerEachTimeInsteadOfSpinning) {
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizers test memory through a pipe: without free descriptors their
  // own checks misfire.
  GTEST_SKIP() << "needs the descriptors that the sanitizers' checks use";
#endif
  std::ostringstream report;
  options.report = &report;
  StartServer();
  asio::io_context& context = platform.eventLoop.Context();
  std::vector<std::shared_ptr<RawClient>> clients;
  {
    const DescriptorLimit limit(2);
    clients = {Connect(0, false), Connect(0, false)};  // waiting, with no descriptor left to accept them
    int handlers = 0;
    for (int i = 0; i < 200; ++i) handlers += static_cast<int>(context.poll_one());
    EXPECT_LT(handlers, 20) << "an accept that fails at once is tried again at once";
    EXPECT_NE(report.str().find("trying again in 100 ms"), std::string::npos) << report.str();
    platform.AdvanceTime(99ms);
    EXPECT_EQ(report.str().find("trying again in 200 ms"), std::string::npos);
    platform.AdvanceTime(1ms);
    EXPECT_NE(report.str().find("trying again in 200 ms"), std::string::npos) << report.str();
  }
  platform.AdvanceTime(200ms);
  EXPECT_TRUE(RunUntil([&] { return server->Connections() == 2; }));
  server.reset();  // it reports as it stops: before the report goes
}

TEST_F(ServerLimitsTest, RefusedLoginsAreAnsweredLateAndTheLastClosesTheConnection) {
  StartServer();
  auto guesser = Connect();
  guesser->Send(Lines({"LOGN alice, a", "LOGN alice, b", "LOGN alice, c", "HELO"}));
  Settle();
  EXPECT_EQ(guesser->lines, 1u);
  auto other = Connect();
  EXPECT_EQ(Codes(Say(*other, {"HELO"}, 1)), std::vector<std::string>{"250"}) << "others are not kept waiting";
  for (std::size_t refusals = 1; refusals <= 3; ++refusals) {
    platform.AdvanceTime(999ms);
    Settle();
    EXPECT_EQ(guesser->lines, refusals);
    platform.AdvanceTime(1ms);
    ASSERT_TRUE(RunUntil([&] { return guesser->lines == refusals + 1; }));
    EXPECT_EQ(guesser->Line(refusals), "530 Login refused");
  }
  EXPECT_TRUE(RunUntil([&] { return guesser->closed; }));
  EXPECT_EQ(guesser->lines, 4u) << "HELO after the third refusal is not answered";
}

struct ResumeCase {
  const char* name;
  const char* email;   // the e-mail that names the file
  const char* file;    // whose file: "E1" finished, "E2" under way
  const char* payload;  // sent after the zero block
  std::vector<std::string> replies;
  const char* kept;  // the file's bytes afterwards
  friend void PrintTo(const ResumeCase& resume, std::ostream* out) { *out << resume.name; }
};

class ResumeTest : public ServerLimitsTest, public ::testing::WithParamInterface<ResumeCase> {};

TEST_P(ResumeTest, AFileTakesBytesOnlyFromItsOwnEmailUntilItIsDelivered) {
  StartServer();
  std::map<std::string, std::string> ids;
  auto first = WithEmail("E1");
  ids["E1"] = *protocol::AttachmentId(SendFile(*first, "NEWA one.bin, 0", "abc")[0] + "\r\n");
  Say(*first, {"FINM"}, 1);
  auto second = WithEmail("E2");
  ids["E2"] = *protocol::AttachmentId(SendFile(*second, "NEWA two.bin, 0", "de")[0] + "\r\n");
  server.reset();  // what a file belongs to is on disk
  StartServer();

  const ResumeCase& resume = GetParam();
  auto client = WithEmail(resume.email);
  const std::string command = std::string("RESA ") + ids[resume.file] + ", 0";
  // A refusal answers the command alone; a resumed file gets its bytes.
  const std::vector<std::string> replies =
      resume.replies.size() == 1 ? Say(*client, {command}, 1) : SendFile(*client, command, resume.payload);
  EXPECT_EQ(replies, resume.replies);
  server.reset();  // closes the file
  EXPECT_EQ(testing::ReadBytes(platform.Path("store/files/" + ids[resume.file])), resume.kept);
}

INSTANTIATE_TEST_SUITE_P(
    Owners, ResumeTest,
    ::testing::Values(
        ResumeCase{"AnotherEmailsFile", "E2", "E1", "", {"553 The file belongs to another e-mail"}, "abc"},
        ResumeCase{"AnotherEmailsFileUnderWay", "E1", "E2", "", {"553 The file belongs to another e-mail"}, "de"},
        ResumeCase{"ItsOwnUnderWay", "E2", "E2", "f", {"430 Attachment resumed at 2", "250 File stored"}, "def"},
        ResumeCase{"ItsOwnDeliveredAndWhole", "E1", "E1", "", {"430 Attachment resumed at 3", "250 File stored"}, "abc"},
        ResumeCase{"ItsOwnDeliveredWithMore", "E1", "E1", "x",
                   {"430 Attachment resumed at 3", "552 The file was delivered whole before"}, "abc"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ServerLimitsTest, AFileFromBeforeOwnersWereKeptResumesForTheEmailWhoseRecordListsIt) {
  StartServer();
  auto client = WithEmail("E1");
  const auto id = *protocol::AttachmentId(SendFile(*client, "NEWA a.bin, 0", "abc")[0] + "\r\n");
  Say(*client, {"SUBJ s"}, 1);  // the record lists the file
  testing::WriteBytes(platform.Path("store/files/" + id + ".txt"), "<Filename>\r\na.bin\r\n</Filename>\r\n");
  server.reset();
  StartServer();
  EXPECT_EQ(Say(*WithEmail("E1"), {"RESA " + id + ", 0"}, 1), std::vector<std::string>{"430 Attachment resumed at 3"});
  EXPECT_EQ(Codes(Say(*WithEmail("E2"), {"RESA " + id + ", 0"}, 1)), std::vector<std::string>{"410"})
      << "not known as its file: a new one";
}

TEST_F(ServerLimitsTest, SizesThatAreNoSizesAreRefused) {
  StartServer();
  auto client = Connect();
  Say(*client, {"LOGN alice, secret"}, 1);
  for (const char* size : {"nan", "inf", "-1", "1e999", "-inf"}) {
    EXPECT_EQ(Say(*client, {std::string("NEWM E1, ") + size + ", dwl"}, 1),
              std::vector<std::string>{std::string("501 Not a size: ") + size});
  }
}

TEST_F(ServerLimitsTest, TheMaximumSizeHoldsForTheBytesThatArrive) {
  options.maxSize = 10;
  StartServer();
  struct {
    std::vector<std::size_t> sizes;  // of the e-mail's files, announced as 0 bytes
    const char* lastReply;
    std::size_t lastKept;
  } const cases[] = {{{10}, "250", 10}, {{100000}, "552", 10}, {{6, 6}, "552", 4}, {{6, 4}, "250", 4}};
  int email = 0;
  for (const auto& sizes : cases) {
    auto client = WithEmail("S" + std::to_string(++email));
    std::vector<std::string> replies;
    for (const std::size_t size : sizes.sizes) replies = SendFile(*client, "NEWA f.bin, 0", std::string(size, 'f'));
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[1].substr(0, 3), sizes.lastReply) << replies[1];
    RunUntil([&] { return client->closed || replies[1][0] == '2'; });
    const auto id = protocol::AttachmentId(replies[0] + "\r\n");
    EXPECT_EQ(server->Store().AttachmentSize(*id), sizes.lastKept);
  }
}

TEST_F(ServerLimitsTest, TheStoreIsTheOwnersOnly) {
  namespace fs = std::filesystem;
  fs::create_directories(platform.Path("store/files"));
  fs::permissions(platform.Path("store/files"), fs::perms(0755));  // as stores were made before
  StartServer();
  auto client = WithEmail("E1");
  const auto id = *protocol::AttachmentId(SendFile(*client, "NEWA a.bin, 0", "abc")[0] + "\r\n");
  Say(*client, {"FINM"}, 1);
  for (const char* folder : {"store/files", "store/emails"}) {
    EXPECT_EQ(fs::status(platform.Path(folder)).permissions(), fs::perms(0700)) << folder;
  }
  for (const std::string& file : {"files/" + id, "files/" + id + ".txt", std::string("emails/E1.txt")}) {
    EXPECT_EQ(fs::status(platform.Path("store/" + file)).permissions(), fs::perms(0600)) << file;
  }
}

}  // namespace
}  // namespace dwl
