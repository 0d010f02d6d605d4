// The bytes of one file as a transfer client sends them: a block of 1024
// zero bytes, the file's bytes, then the end marker "FINA" CR LF. A file may
// hold those six bytes itself, even at the end of a piece, so the marker
// alone never ends a file: the last six bytes are held back until more bytes
// come (then they were file bytes) or the client falls silent, waiting for
// the server's answer (then they were the marker). Plain value, no I/O.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dwl::server {

class AttachmentReceiver {
 public:
  // The file bytes that `data` makes certain, for the file on disk.
  std::string Take(std::string_view data);
  // Whether the bytes held back are the end marker.
  bool HoldsEndMarker() const;

 private:
  std::size_t zeroBlockLeft_ = 1024;
  std::string heldBack_;
};

}  // namespace dwl::server
