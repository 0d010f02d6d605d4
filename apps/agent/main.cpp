// TransferAgent: uploads the e-mails that the add-in queued, then leaves (-o)
// or keeps watching the queue.
#include <atomic>
#include <charconv>
#include <chrono>
#include <csignal>
#include <iostream>

#include "apps/agent/TransferAgent.h"
#include "mail/EmailQueue.h"
#include "platform/portable/PortablePlatform.h"
#include "support/AppSettings.h"
#include "support/ApplicationLog.h"

namespace {

constexpr const char* kHelp =
    "usage: TransferAgent [-o] [--server HOST:PORT]\n"
    "\n"
    "Uploads the e-mails that the Dropwell add-in queued, one at a time, oldest\n"
    "first, with the account of 'dwl config set-account'. A lost connection, a\n"
    "time-out or a refused login is tried again after 1, 2, 4, ... up to 60\n"
    "seconds, and an interrupted e-mail resumes where the server stopped. An\n"
    "e-mail the server refuses, or that fails again and again, moves to the\n"
    "Failed folder beside the queue. Only one TransferAgent runs at a time.\n"
    "\n"
    "  -o                  leave once the queue is empty (else keep watching it)\n"
    "  --server HOST:PORT  another transfer server than the built-in one\n"
    "\n"
    "Exit status: 0 when the queue was drained (or another agent runs), 1 with a\n"
    "line on standard error otherwise, 2 for wrong usage.\n";

std::atomic<bool> g_stop{false};

extern "C" void OnSignal(int) { g_stop = true; }

int Usage(const std::string& problem) {
  std::cerr << "TransferAgent: " << problem << " (see TransferAgent --help)\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  dwl::agent::AgentOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kHelp;
      return 0;
    }
    if (arg == "-o") {
      options.once = true;
    } else if (arg == "--server") {
      if (++i == argc) return Usage("--server needs HOST:PORT");
      const std::string value = argv[i];
      const auto colon = value.rfind(':');
      unsigned port = 0;
      const char* end = value.data() + value.size();
      if (colon == std::string::npos || colon == 0 ||
          std::from_chars(value.data() + colon + 1, end, port).ptr != end || port == 0 ||
          port > 65535) {
        return Usage("--server takes HOST:PORT, not '" + value + "'");
      }
      options.host = value.substr(0, colon);
      options.port = static_cast<std::uint16_t>(port);
    } else {
      return Usage("unknown argument '" + arg + "'");
    }
  }

  int code = 0;
  {
    dwl::portable::PortablePlatform platform;
    try {
      // First the settings: the mark may lie in their application folder.
      const auto settings = dwl::AppSettings::Instance();
      settings->RefreshSettings();
      std::unique_ptr<dwl::AgentMark> mark = dwl::ThePlatform().transferAgent->TryAcquireMark();
      if (!mark) {
        std::cerr << "TransferAgent: another TransferAgent runs already\n";
      } else if (settings->getUsername().empty()) {
        std::cerr << "TransferAgent: no account: set one with 'dwl config set-account USER'\n";
        code = 1;
      } else {
        std::signal(SIGINT, OnSignal);
        std::signal(SIGTERM, OnSignal);
        dwl::agent::ProgressDisplay display(std::cerr, dwl::ThePlatform().console->ErrorIsTerminal());
        dwl::agent::TransferAgent agent(options, display, std::move(mark));
        agent.Start();
        while (!agent.Done()) {
          if (g_stop) agent.Stop();
          dwl::ThePlatform().eventLoop->RunUntil([&] { return agent.Done() || g_stop.load(); },
                                                 std::chrono::milliseconds(500));
        }
      }
    } catch (const dwl::Error& failure) {
      std::cerr << "TransferAgent: " << failure.Description() << "\n";
      code = 1;
    }
    dwl::EmailQueue::ReleaseInstance();
    dwl::AppSettings::ReleaseInstance();
    dwl::ApplicationLog::ReleaseInstance();
  }
  return code;
}
