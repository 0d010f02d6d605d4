// Times the host's connection of the add-in loaded from DWLOutlookAddin.dll
// through COM, as Outlook connects it (OnConnection, then
// OnStartupComplete), until its hub listens; Outlook disables an add-in
// whose start-up takes longer than a second. Each round is a new simulated
// Outlook and a new Connect object; the first round pays for the DLL's
// platform and every name lookup. Needs the DLL registered for the user.
// Asio's Winsock first: it must come before <windows.h>.
#include "platform/win32/Win32Platform.h"

#include <algorithm>
#include <chrono>
#include <iostream>
#include <sstream>
#include <vector>

#include "addin/Connect.h"
#include "apps/CommandLine.h"
#include "apps/sim/DllAddIn.h"
#include "platform/sim/SimOutlook.h"

int main(int argc, char** argv) {
  using Clock = std::chrono::steady_clock;
  CLI::App app("Times OnConnection-to-listening of the add-in DLL over COM.", "dwl_addin_connection");
  std::string path;
  int rounds = 50;
  app.add_option("DLL", path, "DWLOutlookAddin.dll, registered for this user")->required();
  app.add_option("--rounds", rounds, "connections to time (default 50)")->check(CLI::Range(2, 100000));
  CLI11_PARSE(app, argc, argv);

  dwl::win32::Win32Platform platform;
  std::ostringstream out;
  std::ostringstream err;
  std::vector<double> micros;
  try {
    dwl::cli::DllAddIn addIn(path, out, err);
    for (int round = 0; round < rounds; ++round) {
      const auto outlook = dwl::sim::SimOutlook::Create("11.0.8217", 1);
      auto connection = addIn.NewConnection();
      const auto start = Clock::now();
      outlook->ConnectAddIn(*connection, dwl::Connect::kProgId, 1);
      const auto stop = Clock::now();
      out.str("");
      addIn.Execute({"print", "hub"});
      if (out.str().rfind("listening", 0) != 0 || !outlook->TakeHostErrors().empty()) {
        std::cerr << "dwl_addin_connection: round " << round << ": the hub is not listening: " << out.str();
        return 1;
      }
      micros.push_back(std::chrono::duration<double, std::micro>(stop - start).count());
      outlook->DisconnectAddIn(*connection);
    }
    addIn.Shutdown();
  } catch (const dwl::Error& failure) {
    std::cerr << "dwl_addin_connection: " << failure.Description() << "\n";
    return 1;
  }
  const double first = micros.front();
  std::vector<double> later(micros.begin() + 1, micros.end());
  std::sort(later.begin(), later.end());
  std::cout << "first connection: " << first << " us\n"
            << "later connections (" << later.size() << "): median " << later[later.size() / 2] << " us, min "
            << later.front() << " us, max " << later.back() << " us\n";
  return err.str().empty() ? 0 : (std::cerr << err.str(), 1);
}
