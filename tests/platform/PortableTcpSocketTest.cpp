#include "platform/portable/PortableTcpSocket.h"

#include <asio/ip/tcp.hpp>
#include <asio/write.hpp>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "platform/portable/PortableEventLoop.h"
#include "platform/portable/Utf8CodePage.h"
#include "tests/TestPlatform.h"

namespace dwl::portable {
namespace {

using namespace std::chrono_literals;
using asio::ip::tcp;

// Records the socket's events.
struct Recorder : TcpSocketEvents {
  void OnDataArrival(std::size_t bytes) override { arrived += bytes; }
  void OnSendComplete() override { ++sendCompletions; onSendComplete(); }
  void OnClose() override { ++closes; }
  void OnError(int number, const std::string&) override { errors.push_back(number); }

  std::size_t arrived = 0;
  int sendCompletions = 0;
  int closes = 0;
  std::vector<int> errors;
  std::function<void()> onSendComplete = [] {};
};

// The other end of the connection: accepts one client on the loop and keeps
// what it reads.
struct Peer {
  explicit Peer(asio::io_context& context) : socket(context) {
    acceptor.async_accept(socket, [this](const std::error_code& error) {
      if (!error) Read();
    });
  }
  std::uint16_t Port() const { return acceptor.local_endpoint().port(); }
  void Read() {
    socket.async_read_some(asio::buffer(buffer), [this](const std::error_code& error, std::size_t n) {
      ended = error && error != asio::error::operation_aborted;
      if (error) return;
      received.append(buffer.data(), n);
      Read();
    });
  }

  tcp::socket socket;
  tcp::acceptor acceptor{socket.get_executor(), tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)};
  std::string received;
  bool ended = false;  // the client closed or reset the connection
  std::array<char, 65536> buffer{};
};

class PortableTcpSocketTest : public ::testing::Test {
 protected:
  void SetUp() override { socket->SetEvents(&events); }
  bool RunUntil(const std::function<bool()>& done) { return loop.RunUntil(done, 10s); }
  void ConnectTo(Peer& other, const std::string& host = "127.0.0.1") {
    socket->Connect(host, other.Port());
    ASSERT_EQ(socket->State(), host == "127.0.0.1" ? SocketState::Connecting : SocketState::ResolvingHost);
    ASSERT_TRUE(RunUntil([&] { return socket->State() == SocketState::Connected && other.socket.is_open(); }));
  }

  Utf8CodePage codePage;
  PortableEventLoop loop{codePage};
  Peer peer{loop.Context()};
  Recorder events;
  std::unique_ptr<TcpSocket> socket = loop.NewTcpSocket();
};

TEST_F(PortableTcpSocketTest, ARefusedConnectionIsError10061AndSendsCompleteTogetherInOrder) {
  EXPECT_TRUE(testing::ThrowsError(wsk::kNotConnected, [&] { socket->SendText("QUIT\r\n"); }));
  Peer closed(loop.Context());
  const std::uint16_t closedPort = closed.Port();
  closed.acceptor.close();
  socket->Connect("127.0.0.1", closedPort);
  ASSERT_TRUE(RunUntil([&] { return !events.errors.empty(); }));
  EXPECT_EQ(events.errors, std::vector<int>{wsk::kConnectionRefused});
  EXPECT_EQ(socket->State(), SocketState::Error);

  socket->ResetLocalPort();
  ConnectTo(peer);
  EXPECT_TRUE(testing::ThrowsError(wsk::kAlreadyConnected, [&] { socket->Connect("127.0.0.1", peer.Port()); }));
  socket->SendText("HELO 3002002\r\n");
  socket->SendBytes(std::string("\0\0\x01", 3));
  socket->SendText("FINA\r\n");
  EXPECT_EQ(events.sendCompletions, 0) << "never from inside the call";
  ASSERT_TRUE(RunUntil([&] { return events.sendCompletions > 0 && peer.received.size() == 23; }));
  EXPECT_EQ(peer.received, std::string("HELO 3002002\r\n\0\0\x01" "FINA\r\n", 23));
  loop.Poll();
  EXPECT_EQ(events.sendCompletions, 1) << "one completion for sends made in one go";

  asio::write(peer.socket, asio::buffer(std::string("210 Welcome\r\n")));
  ASSERT_TRUE(RunUntil([&] { return events.arrived == 13; }));
  EXPECT_EQ(socket->GetData(), "210 Welcome\r\n");
  EXPECT_EQ(socket->GetData(), "") << "taken once";
}

TEST_F(PortableTcpSocketTest, ALongChainOfSendsKeepsTheStackFlatAndTheSocketMayGoWithWorkPending) {
  ConnectTo(peer);
  constexpr int kPieces = 20000;
  int sent = 1;
  std::uintptr_t firstFrame = 0;
  std::uintptr_t deepestFrame = UINTPTR_MAX;
  events.onSendComplete = [&] {
    char marker = 0;
    const auto frame = reinterpret_cast<std::uintptr_t>(&marker);
    if (firstFrame == 0) firstFrame = frame;
    deepestFrame = std::min(deepestFrame, frame);
    if (sent++ < kPieces) socket->SendBytes(std::string(1460, 'x'));
  };
  socket->SendBytes(std::string(1460, 'x'));
  ASSERT_TRUE(RunUntil([&] { return peer.received.size() == 1460u * kPieces; }));
  EXPECT_LT(firstFrame - deepestFrame, 4096u) << "completions must not nest";

  socket->SendBytes(std::string(1 << 20, 'x'));
  socket.reset();  // with work pending
  EXPECT_TRUE(RunUntil([&] { return peer.ended; }));
}

TEST_F(PortableTcpSocketTest, ThePeerClosingRaisesCloseOnceCloseStopsEventsAndAResetIs10054) {
  ConnectTo(peer);
  peer.socket.close();
  ASSERT_TRUE(RunUntil([&] { return events.closes == 1; }));
  EXPECT_EQ(socket->State(), SocketState::Closing);

  Peer second(loop.Context());
  socket->ResetLocalPort();
  ConnectTo(second, "localhost");
  socket->SendText("QUIT\r\n");
  socket->Close();
  socket->Close();
  EXPECT_EQ(socket->State(), SocketState::Closed);
  asio::write(second.socket, asio::buffer(std::string("221 Bye\r\n")));
  second.socket.close();
  loop.RunUntil([] { return false; }, 100ms);
  EXPECT_EQ(events.sendCompletions + events.closes, 1) << "only the first close, nothing after Close";
  EXPECT_EQ(events.arrived, 0u);

  Peer third(loop.Context());
  socket->ResetLocalPort();
  ConnectTo(third);
  third.socket.set_option(asio::socket_base::linger(true, 0));
  third.socket.close();  // a reset, not an orderly close
  events.onSendComplete = [&] {
    if (socket->State() == SocketState::Connected) socket->SendBytes(std::string(1460, 'x'));
  };
  socket->SendBytes(std::string(1460, 'x'));
  ASSERT_TRUE(RunUntil([&] { return !events.errors.empty(); }));
  EXPECT_EQ(events.errors, std::vector<int>{wsk::kConnectionReset});
}

}  // namespace
}  // namespace dwl::portable
