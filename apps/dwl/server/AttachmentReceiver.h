// The bytes of one file as a transfer client sends them: a block of 1024
// zero bytes, the file's bytes, then the end marker "FINA" CR LF. A file may
// hold those six bytes itself, even at the end of a piece, so the marker
// alone never ends a file: the last six bytes are held back until more bytes
// come (then they were file bytes) or the client falls silent, waiting for
// the server's answer (then they were the marker). Plain value, no I/O; the
// bytes of a read are handed back in place, not copied.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dwl::server {

class AttachmentReceiver {
 public:
  // The file bytes that a read makes certain, for the file on disk: those
  // held back before, then those of the read. Valid until the next Take.
  struct Certain {
    std::string_view released;
    std::string_view read;
    std::size_t Size() const { return released.size() + read.size(); }
  };
  Certain Take(std::string_view data);
  // Whether the bytes held back are the end marker.
  bool HoldsEndMarker() const;

 private:
  std::size_t zeroBlockLeft_ = 1024;
  std::string heldBack_;
  std::string released_;
};

}  // namespace dwl::server
