// TransferAgent: uploads the e-mails that the add-in queued, then leaves (-o)
// or keeps watching the queue.
#include <iostream>

#include "apps/CommandLine.h"
#include "apps/agent/TransferAgent.h"
#include "apps/terminal/InterruptibleRun.h"
#include "mail/EmailQueue.h"
#include "platform/FileSystem.h"
#include "platform/Platform.h"
#include "platform/SystemPlatform.h"
#include "support/AppSettings.h"
#include "support/ApplicationLog.h"

namespace {

constexpr const char* kDescription =
    "Uploads the e-mails that the Dropwell add-in queued, one at a time, oldest\n"
    "first, with the account of 'dwl config set-account'. A lost connection, a\n"
    "time-out or a refused login is tried again after 1, 2, 4, ... up to 60\n"
    "seconds, and an interrupted e-mail resumes where the server stopped. An\n"
    "e-mail the server refuses, or that fails again and again, moves to the\n"
    "Failed folder beside the queue. Only one TransferAgent runs at a time.";

// --server HOST:PORT, the port from 1 to 65535: an empty answer, else what is wrong.
std::string ReadServer(const std::string& value, dwl::agent::AgentOptions& options) {
  const std::size_t colon = value.rfind(':');
  if (colon == 0 || colon == std::string::npos) return "takes HOST:PORT, not '" + value + "'";
  std::string port = value.substr(colon + 1);
  const std::string problem = dwl::cli::WholeNumber(1, 65535)(port);
  if (!problem.empty()) return "the port " + problem;
  options.host = value.substr(0, colon);
  options.port = static_cast<std::uint16_t>(std::stoi(port));
  return {};
}

// Reads the arguments into `options`: the exit code when the agent is done already.
std::optional<int> ReadArguments(int argc, char** argv, dwl::agent::AgentOptions& options) {
  CLI::App app(kDescription, "TransferAgent");
  app.add_flag("-o", options.once, "leave once the queue is empty (else keep watching it)");
  app.add_option_function<std::string>(
         "--server",
         [&options](const std::string& value) {
           const std::string problem = ReadServer(value, options);
           if (!problem.empty()) throw CLI::ValidationError("--server", problem);
         },
         "another transfer server than the built-in one")
      ->type_name("HOST:PORT");
  app.footer(
      "Exit status: 0 when the queue was drained (or another agent runs), 1 with a\n"
      "line on standard error otherwise, 2 for wrong usage.");
  return dwl::cli::Parse(app, dwl::cli::ProgramArguments(argc, argv), std::cout, std::cerr);
}

bool QueueIsEmpty(const std::string& folder) {
  dwl::FileSystem& files = *dwl::ThePlatform().files;
  return !files.FolderExists(folder) || files.ListFiles(folder).empty();
}

}  // namespace

int main(int argc, char** argv) {
  dwl::agent::AgentOptions options;
  if (const std::optional<int> done = ReadArguments(argc, argv, options)) return *done;

  int code = 0;
  {
    dwl::SystemPlatform platform;
    try {
      // First the settings: the mark may lie in their application folder.
      const auto settings = dwl::AppSettings::Instance();
      settings->RefreshSettings();
      std::unique_ptr<dwl::AgentMark> mark = dwl::ThePlatform().transferAgent->TryAcquireMark();
      if (!mark) {
        std::cerr << "TransferAgent: another TransferAgent runs already\n";
      } else if (settings->getUsername().empty()) {
        if (QueueIsEmpty(settings->getMailQueueDirectory())) {
          std::cerr << "TransferAgent: the queue is empty and no account is set: nothing to do\n";
        } else {
          std::cerr << "TransferAgent: no account: set one with 'dwl config set-account USER'\n";
          code = 1;
        }
      } else {
        dwl::Console& console = *dwl::ThePlatform().console;
        dwl::terminal::ProgressDisplay display(std::cerr, console.ErrorIsTerminal(),
                                               [&console] { return console.ErrorWidth(); });
        dwl::agent::TransferAgent agent(options, display, std::move(mark));
        agent.Start();
        if (const int signal = dwl::terminal::RunUntilDoneOrInterrupted([&] { return agent.Done(); }, display)) {
          // A watcher with nothing to do just stops; an upload is interrupted, and says where it stood.
          const bool busy = agent.Busy();
          agent.Stop();  // brings the file's figure up to date
          if (busy) {
            const std::optional<std::string> file = display.FileState();
            display.Message("interrupted: " + (file ? *file + " on the server" : std::string("the e-mail stays queued")) +
                            "; run again to resume");
            code = 128 + signal;
          }
        }
        if (agent.Failed()) code = 1;
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
