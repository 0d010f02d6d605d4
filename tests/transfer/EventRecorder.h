// A ServerCommunicator's owner as a test plays it: writes each event down as
// text ("Name(argument)"), keeps whether the client logged in, lost the
// connection (a disconnect or an error) or finished the e-mail, and runs the
// test's hook on a disconnect or an error, to call back into the client there.
#pragma once

#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "transfer/ServerCommunicator.h"

namespace dwl::testing {

class EventRecorder : public ServerCommunicatorEvents {
 public:
  void ConnectedToServer(const std::string& word) override {
    connected = true;
    Add("ConnectedToServer(" + word + ")");
  }
  void DisconnectedFromServer() override {
    lost = true;
    Add("DisconnectedFromServer");
    if (onDisconnected) onDisconnected();
  }
  void EmailReady(const std::string& word) override { Add("EmailReady(" + word + ")"); }
  void EmailIsTooLarge() override { Add("EmailIsTooLarge"); }
  void EmailFinished(double megabytes, std::int32_t files) override {
    finished = true;
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
    lost = true;
    Add("ErrorOccured(" + message + ")");
    if (onError) onError();
  }
  void BytesTransferred(double bytes) override {
    Add("BytesTransferred(" + std::to_string(static_cast<long long>(bytes)) + ")");
  }

  // The events since the last call.
  std::vector<std::string> Take() { return std::exchange(seen, {}); }

  std::vector<std::string> seen;
  bool connected = false;
  bool lost = false;
  bool finished = false;
  std::function<void()> onDisconnected;
  std::function<void()> onError;

 private:
  void Add(std::string event) { seen.push_back(std::move(event)); }
};

}  // namespace dwl::testing
