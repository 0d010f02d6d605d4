#include "apps/sim/InProcessAddIn.h"

namespace dwl::cli {

InProcessAddIn::InProcessAddIn(std::ostream& out, std::ostream& err)
    : side_(out, err, [this] { return latest_.lock().get(); }) {}

std::shared_ptr<host::AddInEntry> InProcessAddIn::NewConnection() {
  auto connection = std::make_shared<Connect>();
  latest_ = connection;
  return connection;
}

}  // namespace dwl::cli
