// A socket that a test or fuzz target plays: it records every send (and
// whether it went as text) and lets the player deliver data, send
// completions, a close or an error.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/Error.h"
#include "platform/TcpSocket.h"

namespace dwl::testing {

class ScriptedSocket : public TcpSocket {
 public:
  void SetEvents(TcpSocketEvents* receiver) override { events = receiver; }
  void ResetLocalPort() override {}
  void Connect(const std::string&, std::uint16_t) override { state = SocketState::Connecting; }
  void SendText(const std::string& text) override { Send(text, true); }
  void SendBytes(std::string bytes) override { Send(bytes, false); }
  std::string GetData() override { return std::exchange(incoming, ""); }
  void Close() override {
    ++closes;
    state = SocketState::Closed;
  }
  SocketState State() const override { return state; }

  // The player's side.
  void Accept() { state = SocketState::Connected; }
  void Receive(const std::string& data) {
    incoming += data;
    events->OnDataArrival(data.size());
  }
  void CompleteSends() { events->OnSendComplete(); }
  void PeerCloses() {
    state = SocketState::Closing;
    events->OnClose();
  }
  void Fail(int number) {
    state = SocketState::Error;
    events->OnError(number, "scripted failure");
  }
  // Everything sent since the last call; asText starts afresh with it.
  std::vector<std::string> TakeSent() {
    asText.clear();
    return std::exchange(sent, {});
  }

  TcpSocketEvents* events = nullptr;
  SocketState state = SocketState::Closed;
  std::vector<std::string> sent;
  std::vector<bool> asText;  // for each of `sent`
  std::string incoming;
  int closes = 0;
  int failSendsWith = 0;  // a send throws this number while it is not 0
  int failedSends = 0;

 private:
  void Send(const std::string& bytes, bool text) {
    if (failSendsWith != 0 || state != SocketState::Connected) {
      ++failedSends;
      if (failSendsWith != 0) throw Error(failSendsWith, "ScriptedSocket", "send failed");
      throw Error(wsk::kNotConnected, "ScriptedSocket", "not connected");
    }
    sent.push_back(bytes);
    asText.push_back(text);
  }
};

}  // namespace dwl::testing
