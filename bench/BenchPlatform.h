// What the benchmarks share: the portable platform with the module folder and
// the user's configuration folder in a scratch folder that goes at exit, so
// that runs leave no files behind, and an agent control that reports a
// running TransferAgent, so that queuing e-mails starts no program.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/portable/PortablePlatform.h"

namespace dwl::bench {

class ScratchShell : public portable::PortableShell {
 public:
  explicit ScratchShell(std::string folder) : folder_(std::move(folder)) {}
  std::string ModuleFolder() override { return folder_; }

 private:
  std::string folder_;
};

class RunningAgent : public TransferAgentControl {
 public:
  bool IsRunning() override { return true; }
  void Start(const std::string&) override {}
  std::unique_ptr<AgentMark> TryAcquireMark() override { return nullptr; }
};

// The scratch folder of this run, made at the first request.
inline const std::filesystem::path& ScratchFolder() {
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
  static const Scratch scratch;
  return scratch.root;
}

// Installs the platform for its lifetime.
struct Installed {
  Installed() : shell((ScratchFolder() / "module").string()) {
    Platform services = portable.Services();
    services.shell = &shell;
    services.transferAgent = &agent;
    scope.emplace(services);
  }
  portable::PortablePlatform portable;
  ScratchShell shell;
  RunningAgent agent;
  std::optional<ScopedPlatform> scope;
};

}  // namespace dwl::bench
