// Costs that add up at the add-in's start and on every logged message:
// the settings refresh with its folder test, the cipher, a log line.
#include <benchmark/benchmark.h>

#include "bench/BenchPlatform.h"
#include "support/AppSettings.h"
#include "support/modCryptText.h"

namespace {

using dwl::bench::Installed;

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
