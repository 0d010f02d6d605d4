// The add-in in the simulated Outlook, on the real file system in the scratch
// folder, against the host's limits: start-up (Outlook 2013 and later disable
// an add-in whose median start passes 1000 ms), opening a compose window (the
// item-open limit is 500 ms), and the Send handler, which holds up the
// user's Send. Only the host's call into the add-in is timed; making and
// clearing windows, files and queue files around it is not.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "addin/AddInToolbar.h"
#include "addin/Connect.h"
#include "addin/frmAddIn.h"
#include "bench/BenchPlatform.h"
#include "compose/MailProcessor.h"
#include "dialogs/frmFiles.h"
#include "mail/EmailQueue.h"
#include "platform/sim/SimOutlook.h"
#include "platform/sim/SimHostServices.h"
#include "support/AppSettings.h"
#include "support/ApplicationLog.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The portable platform of BenchPlatform.h plus the host services of the
// simulated Outlook, with the toolbar icons beside the module.
class SimPlatform {
 public:
  SimPlatform() {
    const auto temp = dwl::bench::ScratchFolder() / "module" / "temp";
    for (const char* icon : {"add_file_icon.bmp", "add_file_icon_XP.bmp"}) {
      std::filesystem::copy_file(std::filesystem::path(DWL_RESOURCES_DIR) / icon, temp / icon,
                                 std::filesystem::copy_options::overwrite_existing);
    }
    scope_.emplace(host_.Over(dwl::ThePlatform()));
    ReleaseAddIn();
  }
  ~SimPlatform() { ReleaseAddIn(); }

  // As in a new process: no hub, settings, queue or log object alive.
  static void ReleaseAddIn() {
    dwl::frmAddIn::ReleaseInstance();
    dwl::frmFiles::ReleaseInstance();
    dwl::EmailQueue::ReleaseInstance();
    dwl::AppSettings::ReleaseInstance();
    dwl::ApplicationLog::ReleaseInstance();
  }

 private:
  dwl::bench::Installed base_;
  dwl::sim::SimHostServices host_;
  std::optional<dwl::ScopedPlatform> scope_;
};

// A simulated Outlook with the add-in connected, as the host does at start.
struct ConnectedOutlook {
  ConnectedOutlook()
      : outlook(dwl::sim::SimOutlook::Create("11.0.8217", 1)), connect(std::make_shared<dwl::Connect>()) {
    outlook->ConnectAddIn(*connect, dwl::Connect::kProgId, 1);
  }
  ~ConnectedOutlook() { outlook->DisconnectAddIn(*connect); }
  std::shared_ptr<dwl::sim::SimOutlook> outlook;
  std::shared_ptr<dwl::Connect> connect;
};

// From OnConnection to listening for new windows, the settings read and the
// application folder tested; each start in a fresh process state.
void BM_AddInStartUp(benchmark::State& state) {
  SimPlatform platform;
  {
    ConnectedOutlook first;  // settings and folders exist after the first start
  }
  for (auto _ : state) {
    SimPlatform::ReleaseAddIn();
    auto outlook = dwl::sim::SimOutlook::Create("11.0.8217", 1);
    auto connect = std::make_shared<dwl::Connect>();
    const auto start = Clock::now();
    outlook->ConnectAddIn(*connect, dwl::Connect::kProgId, 1);
    state.SetIterationTime(Seconds(start));
    if (!dwl::frmAddIn::Instance()->Listening()) state.SkipWithError("the add-in is not listening");
    outlook->DisconnectAddIn(*connect);
  }
}
BENCHMARK(BM_AddInStartUp)->UseManualTime()->Unit(benchmark::kMicrosecond);

bool HasAddInToolbar(dwl::sim::SimInspector& window) {
  for (const auto& bar : window.Bars().Bars()) {
    if (bar->Temporary() && bar->Name() == dwl::kAddInToolbarName) return true;
  }
  return false;
}

// A connected host for each new window, started afresh every 200 windows so
// that the hub's slots and the host's closed windows stay few.
class HostForEachWindow {
 public:
  // The host for the next window, and that window's name in `name`.
  dwl::sim::SimOutlook& Next(std::string& name) {
    if (windows_++ % 200 == 0) {
      host_.reset();
      host_ = std::make_unique<ConnectedOutlook>();
    }
    name = "m" + std::to_string(windows_);
    return *host_->outlook;
  }
  bool HostGotErrors() { return host_ && !host_->outlook->TakeHostErrors().empty(); }

 private:
  std::unique_ptr<ConnectedOutlook> host_;
  int windows_ = 0;
};

// NewInspector and the first Activate, which builds the add-in's toolbar.
void BM_OpenComposeWindow(benchmark::State& state) {
  SimPlatform platform;
  HostForEachWindow hosts;
  std::string name;
  for (auto _ : state) {
    dwl::sim::SimOutlook& outlook = hosts.Next(name);
    const auto start = Clock::now();
    outlook.Open(name, dwl::sim::SimOutlook::ItemKind::Mail, false, true);
    outlook.Activate(name);
    state.SetIterationTime(Seconds(start));
    if (!HasAddInToolbar(*outlook.Window(name))) state.SkipWithError("no add-in toolbar");
    outlook.Close(name);
  }
  if (hosts.HostGotErrors()) state.SkipWithError("the host got errors");
}
BENCHMARK(BM_OpenComposeWindow)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The Send handler with state.range(0) files: the notice into the message
// and the queue file.
void BM_Send(benchmark::State& state) {
  SimPlatform platform;
  const int files = static_cast<int>(state.range(0));
  const auto folder = dwl::bench::ScratchFolder() / "attachments";
  std::filesystem::create_directories(folder);
  for (int i = 0; i < files; ++i) {
    std::ofstream(folder / ("file" + std::to_string(i) + ".bin")) << std::string(4096, 'x');
  }
  HostForEachWindow hosts;
  std::string name;
  for (auto _ : state) {
    dwl::sim::SimOutlook& outlook = hosts.Next(name);
    const auto window = outlook.Open(name, dwl::sim::SimOutlook::ItemKind::Mail, false, true);
    outlook.Activate(name);
    const auto mail = window->Mail();
    mail->subject = "Quarterly figures";
    mail->to = {"to@example.org", "cc@example.org"};
    mail->htmlBody = "<html><body><p>Hello,</p><p>the files are on their way.</p></body></html>";
    const auto processor = dwl::frmAddIn::Instance()->Slot(std::stoi(mail->Mileage()));
    for (int i = 0; i < files; ++i) {
      processor->AddAttachment((folder / ("file" + std::to_string(i) + ".bin")).string());
    }
    const auto start = Clock::now();
    outlook.Send(name);
    state.SetIterationTime(Seconds(start));
    if (!mail->sent || dwl::EmailQueue::Instance()->Size() == 0) state.SkipWithError("nothing queued");
    dwl::EmailQueue::Instance()->RemoveAllEmails();
    outlook.Close(name);
  }
  if (hosts.HostGotErrors()) state.SkipWithError("the host got errors");
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_Send)->Arg(1)->Arg(10)->Arg(100)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
