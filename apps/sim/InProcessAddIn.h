// The add-in's core in this process, as `dwl sim` runs it by default: each
// connection is a new dwl::Connect.
#pragma once

#include <memory>
#include <ostream>

#include "addin/Connect.h"
#include "apps/sim/SimAddIn.h"
#include "apps/sim/SimAddInSide.h"

namespace dwl::cli {

class InProcessAddIn final : public SimAddIn {
 public:
  InProcessAddIn(std::ostream& out, std::ostream& err);

  std::shared_ptr<host::AddInEntry> NewConnection() override;
  std::string Released() override { return ""; }
  void Execute(const std::vector<std::string>& words) override { side_.Execute(words); }
  std::string PictureName(const Picture& picture) override { return side_.PictureName(picture); }
  void Shutdown() override { side_.Shutdown(); }

 private:
  std::weak_ptr<Connect> latest_;
  SimAddInSide side_;
};

}  // namespace dwl::cli
