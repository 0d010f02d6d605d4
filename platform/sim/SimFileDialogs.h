// The open dialog answers with the files the script chose.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/FileDialogs.h"

namespace dwl::sim {

class SimFileDialogs : public FileDialogs {
 public:
  // Full paths, all in one folder; nullopt cancels.
  std::optional<std::vector<std::string>> nextChoice;
  OpenFileRequest lastRequest;
  std::optional<std::string> ShowOpen(const OpenFileRequest& request) override;
};

}  // namespace dwl::sim
