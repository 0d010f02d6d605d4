// Costs that add up at the add-in's start and on every logged message:
// the settings refresh with its folder test, the cipher, a log line.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/portable/PortablePlatform.h"
#include "support/AppSettings.h"
#include "support/modCryptText.h"

namespace {

// The portable platform with its module folder in a scratch folder, so that
// the benchmark's log lines do not pile up beside the programs.
class ScratchShell : public dwl::portable::PortableShell {
 public:
  explicit ScratchShell(std::string folder) : folder_(std::move(folder)) {}
  std::string ModuleFolder() override { return folder_; }

 private:
  std::string folder_;
};

struct Scratch {
  Scratch() {
    root = std::filesystem::temp_directory_path() / ("dwl-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root / "config");
    std::filesystem::create_directories(root / "module" / "temp" / "logs");
    ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
  }
  ~Scratch() { std::filesystem::remove_all(root); }
  std::filesystem::path root;
};

Scratch g_scratch;

struct Installed {
  Installed() : shell((g_scratch.root / "module").string()) {
    dwl::Platform services = portable.Services();
    services.shell = &shell;
    scope.emplace(services);
  }
  dwl::portable::PortablePlatform portable;
  ScratchShell shell;
  std::optional<dwl::ScopedPlatform> scope;
};

void BM_RefreshSettings(benchmark::State& state) {
  Installed platform;
  auto settings = dwl::AppSettings::Instance();
  settings->setUsername("alice");
  settings->setPassword("a password of some length");
  settings->RefreshSettings();
  settings->SaveSettings();
  for (auto _ : state) settings->RefreshSettings();
  dwl::AppSettings::ReleaseInstance();
  dwl::ApplicationLog::ReleaseInstance();
}
BENCHMARK(BM_RefreshSettings)->Unit(benchmark::kMicrosecond);

void BM_EncryptString(benchmark::State& state) {
  Installed platform;
  const std::string text(static_cast<std::size_t>(state.range(0)), 'p');
  for (auto _ : state) {
    benchmark::DoNotOptimize(modCryptText::EncryptString(text, dwl::AppSettings::kSettingsKey));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_EncryptString)->Arg(16)->Arg(1024);

void BM_DecryptString(benchmark::State& state) {
  Installed platform;
  const std::string cipher = modCryptText::EncryptString(
      std::string(static_cast<std::size_t>(state.range(0)), 'p'), dwl::AppSettings::kSettingsKey);
  for (auto _ : state) {
    benchmark::DoNotOptimize(modCryptText::DecryptString(cipher, dwl::AppSettings::kSettingsKey));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DecryptString)->Arg(16)->Arg(1024);

void BM_LogMessage(benchmark::State& state) {
  Installed platform;
  dwl::ApplicationLog log;
  for (auto _ : state) log.AddMessage("Start ServerCommunicator.SendEmail()");
}
BENCHMARK(BM_LogMessage);

}  // namespace

BENCHMARK_MAIN();
