#include "platform/portable/PortableTcpSocket.h"

#include <asio/ip/tcp.hpp>
#include <asio/write.hpp>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "platform/Error.h"
#include "platform/portable/PortableEventLoop.h"
#include "platform/portable/Utf8CodePage.h"

namespace dwl::portable {
namespace {

using namespace std::chrono_literals;
using asio::ip::tcp;

// Records the socket's events.
struct Recorder : TcpSocketEvents {
  void OnDataArrival(std::size_t bytes) override { arrived += bytes; }
  void OnSendComplete() override {
    ++sendCompletions;
    if (inSend) completedInsideSend = true;
    if (onSendComplete) onSendComplete();
  }
  void OnClose() override { ++closes; }
  void OnError(int number, const std::string&) override { errors.push_back(number); }

  std::size_t arrived = 0;
  int sendCompletions = 0;
  int closes = 0;
  std::vector<int> errors;
  bool inSend = false;
  bool completedInsideSend = false;
  std::function<void()> onSendComplete;
};

// The other end of the connection: accepts one client on the loop and keeps
// what it reads.
class Peer {
 public:
  explicit Peer(asio::io_context& context)
      : acceptor_(context, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)),
        socket_(context) {
    acceptor_.async_accept(socket_, [this](const std::error_code& error) {
      if (!error) Read();
    });
  }
  std::uint16_t Port() const { return acceptor_.local_endpoint().port(); }
  bool Accepted() const { return socket_.is_open(); }
  tcp::socket& Socket() { return socket_; }
  std::string received;
  bool ended = false;  // the client closed or reset the connection

 private:
  void Read() {
    socket_.async_read_some(asio::buffer(buffer_), [this](const std::error_code& error, std::size_t n) {
      if (error) {
        ended = error != asio::error::operation_aborted;
        return;
      }
      received.append(buffer_.data(), n);
      Read();
    });
  }
  tcp::acceptor acceptor_;
  tcp::socket socket_;
  std::array<char, 65536> buffer_{};
};

class PortableTcpSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    socket = loop.NewTcpSocket();
    socket->SetEvents(&events);
  }
  bool RunUntil(const std::function<bool()>& done) { return loop.RunUntil(done, 10s); }
  void ConnectToPeer() {
    socket->Connect("127.0.0.1", peer.Port());
    ASSERT_EQ(socket->State(), SocketState::Connecting);
    ASSERT_TRUE(RunUntil([&] { return socket->State() == SocketState::Connected && peer.Accepted(); }));
  }

  Utf8CodePage codePage;
  PortableEventLoop loop{codePage};
  Peer peer{loop.Context()};
  Recorder events;
  std::unique_ptr<TcpSocket> socket;
};

TEST_F(PortableTcpSocketTest, ARefusedConnectionIsError10061) {
  std::uint16_t closedPort = 0;
  {
    tcp::acceptor probe(loop.Context(), tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
    closedPort = probe.local_endpoint().port();
  }
  socket->Connect("127.0.0.1", closedPort);
  ASSERT_TRUE(RunUntil([&] { return !events.errors.empty(); }));
  EXPECT_EQ(events.errors, std::vector<int>{wsk::kConnectionRefused});
  EXPECT_EQ(socket->State(), SocketState::Error);
}

TEST_F(PortableTcpSocketTest, AHostNameIsResolved) {
  socket->Connect("localhost", peer.Port());
  ASSERT_TRUE(RunUntil([&] { return socket->State() == SocketState::Connected; }))
      << "errors: " << events.errors.size();
}

TEST_F(PortableTcpSocketTest, SendsCompleteThroughTheLoopTogetherAndInOrder) {
  ConnectToPeer();
  events.inSend = true;
  socket->SendText("HELO 3002002\r\n");
  socket->SendBytes(std::string("\0\0\x01", 3));
  socket->SendText("FINA\r\n");
  events.inSend = false;
  EXPECT_EQ(events.sendCompletions, 0);
  ASSERT_TRUE(RunUntil([&] { return events.sendCompletions > 0 && peer.received.size() == 23; }));
  EXPECT_FALSE(events.completedInsideSend);
  EXPECT_EQ(peer.received, std::string("HELO 3002002\r\n\0\0\x01" "FINA\r\n", 23));
  loop.Poll();
  EXPECT_EQ(events.sendCompletions, 1) << "one completion for sends made in one go";
}

TEST_F(PortableTcpSocketTest, ReceivedDataIsTakenOnceAsText) {
  ConnectToPeer();
  asio::write(peer.Socket(), asio::buffer(std::string("210 Welcome\r\n")));
  ASSERT_TRUE(RunUntil([&] { return events.arrived == 13; }));
  EXPECT_EQ(socket->GetData(), "210 Welcome\r\n");
  EXPECT_EQ(socket->GetData(), "");
}

TEST_F(PortableTcpSocketTest, ALongChainOfSendsFromCompletionsKeepsTheStackFlat) {
  ConnectToPeer();
  constexpr int kPieces = 20000;
  int sent = 0;
  std::uintptr_t firstFrame = 0;
  std::uintptr_t deepestFrame = 0;
  events.onSendComplete = [&] {
    char marker = 0;
    const auto frame = reinterpret_cast<std::uintptr_t>(&marker);
    if (firstFrame == 0) firstFrame = frame;
    deepestFrame = std::min(deepestFrame == 0 ? frame : deepestFrame, frame);
    if (sent < kPieces) {
      socket->SendBytes(std::string(1460, 'x'));
      ++sent;
    }
  };
  socket->SendBytes(std::string(1460, 'x'));
  ++sent;
  ASSERT_TRUE(RunUntil([&] { return peer.received.size() == 1460u * kPieces; }));
  EXPECT_LT(firstFrame - deepestFrame, 4096u) << "completions must not nest";
}

TEST_F(PortableTcpSocketTest, SendingWithoutAConnectionIsError10057) {
  try {
    socket->SendText("QUIT\r\n");
    FAIL() << "no error";
  } catch (const Error& failure) {
    EXPECT_EQ(failure.Number(), wsk::kNotConnected);
  }
}

TEST_F(PortableTcpSocketTest, ThePeerClosingRaisesCloseOnce) {
  ConnectToPeer();
  peer.Socket().close();
  ASSERT_TRUE(RunUntil([&] { return events.closes == 1; }));
  EXPECT_EQ(socket->State(), SocketState::Closing);
  loop.Poll();
  EXPECT_EQ(events.closes, 1);
  EXPECT_TRUE(events.errors.empty());
}

TEST_F(PortableTcpSocketTest, APeerResetWhileSendingIsError10054) {
  ConnectToPeer();
  peer.Socket().set_option(asio::socket_base::linger(true, 0));
  peer.Socket().close();  // a reset, not an orderly close
  events.onSendComplete = [&] {
    if (socket->State() == SocketState::Connected) socket->SendBytes(std::string(1460, 'x'));
  };
  socket->SendBytes(std::string(1460, 'x'));
  ASSERT_TRUE(RunUntil([&] { return !events.errors.empty(); }));
  EXPECT_EQ(events.errors, std::vector<int>{wsk::kConnectionReset});
}

TEST_F(PortableTcpSocketTest, CloseStopsEventsAndAllowsAFreshConnection) {
  ConnectToPeer();
  socket->SendText("QUIT\r\n");
  socket->Close();
  socket->Close();
  EXPECT_EQ(socket->State(), SocketState::Closed);
  asio::write(peer.Socket(), asio::buffer(std::string("221 Bye\r\n")));
  peer.Socket().close();
  loop.RunUntil([] { return false; }, 100ms);
  EXPECT_EQ(events.sendCompletions, 0);
  EXPECT_EQ(events.arrived, 0u);
  EXPECT_EQ(events.closes, 0);

  Peer second(loop.Context());
  socket->ResetLocalPort();
  socket->Connect("127.0.0.1", second.Port());
  ASSERT_TRUE(RunUntil([&] { return socket->State() == SocketState::Connected && second.Accepted(); }));
  socket->SendText("HELO 1\r\n");
  ASSERT_TRUE(RunUntil([&] { return second.received == "HELO 1\r\n"; }));
}

TEST_F(PortableTcpSocketTest, ConnectingTwiceIsRefused) {
  ConnectToPeer();
  try {
    socket->Connect("127.0.0.1", peer.Port());
    FAIL() << "no error";
  } catch (const Error& failure) {
    EXPECT_EQ(failure.Number(), wsk::kAlreadyConnected);
  }
}

TEST_F(PortableTcpSocketTest, DestroyingTheSocketWithWorkPendingIsSafe) {
  ConnectToPeer();
  socket->SendBytes(std::string(1 << 20, 'x'));
  socket.reset();
  EXPECT_TRUE(RunUntil([&] { return peer.ended; }));
}

}  // namespace
}  // namespace dwl::portable
