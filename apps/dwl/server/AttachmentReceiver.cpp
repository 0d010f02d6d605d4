#include "apps/dwl/server/AttachmentReceiver.h"

#include <algorithm>

#include "transfer/TransferProtocol.h"

namespace dwl::server {

AttachmentReceiver::Certain AttachmentReceiver::Take(std::string_view data) {
  const std::size_t skipped = std::min(zeroBlockLeft_, data.size());
  zeroBlockLeft_ -= skipped;
  data.remove_prefix(skipped);
  const std::size_t marker = protocol::kEndOfFileMarker.size();
  if (data.size() >= marker) {
    // The read's own last bytes are held back instead.
    released_ = heldBack_;
    heldBack_.assign(data.substr(data.size() - marker));
    return {released_, data.substr(0, data.size() - marker)};
  }
  // A few bytes: with those held back they are still no more than a marker and a read.
  std::string bytes = heldBack_;
  bytes.append(data);
  const std::size_t hold = std::min(bytes.size(), marker);
  released_ = bytes.substr(0, bytes.size() - hold);
  heldBack_ = bytes.substr(bytes.size() - hold);
  return {released_, {}};
}

bool AttachmentReceiver::HoldsEndMarker() const {
  return zeroBlockLeft_ == 0 && heldBack_ == protocol::kEndOfFileMarker;
}

}  // namespace dwl::server
