#include "apps/dwl/server/AttachmentReceiver.h"

#include <algorithm>

#include "transfer/TransferProtocol.h"

namespace dwl::server {

std::string AttachmentReceiver::Take(std::string_view data) {
  const std::size_t skipped = std::min(zeroBlockLeft_, data.size());
  zeroBlockLeft_ -= skipped;
  data.remove_prefix(skipped);
  std::string bytes = heldBack_;
  bytes.append(data);
  const std::size_t hold = std::min(bytes.size(), protocol::kEndOfFileMarker.size());
  heldBack_ = bytes.substr(bytes.size() - hold);
  bytes.resize(bytes.size() - hold);
  return bytes;
}

bool AttachmentReceiver::HoldsEndMarker() const {
  return zeroBlockLeft_ == 0 && heldBack_ == protocol::kEndOfFileMarker;
}

}  // namespace dwl::server
