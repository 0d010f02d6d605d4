// The bytes of one attachment on their way to the transfer server, framed as
// the protocol wants a file: the zero block first (for a new file and after a
// resume alike), then the file's bytes, and the end marker after the last. It
// also keeps the client's byte counts: the progress figure and the file bytes
// really sent.
//
// The file goes out in blocks of kBlockSize, each read only when the
// connection took the one before: a stream socket carries the same bytes
// whatever the pieces, and large ones cost a read and a send where the
// protocol's 1460-byte pieces cost a hundred and eighty.
//
// Use: one per client, with the connection's send. Open a file when the
// server gave it an id or told how much it holds (ResumeAfter), call SendNext
// once at first and once after every completed send until it returns true,
// tell the owner, then SendEnd. Single-threaded; the file is the user's and
// may change or fail while it is read.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/FileSystem.h"

namespace dwl {

class AttachmentSender {
 public:
  using Send = std::function<void(std::string bytes)>;
  // The most file bytes one SendNext reads and sends.
  static constexpr std::size_t kBlockSize = std::size_t{256} * 1024;

  explicit AttachmentSender(Send send) : send_(std::move(send)) {}

  // Opens the file at `path` to send it from its first byte; returns its
  // length. Throws dwl::Error when it cannot be opened.
  std::uint64_t Open(const std::string& path);
  // Sends the open file from after the `held` bytes that the server holds
  // (at most its length); they count for the progress figure, and one more.
  void ResumeAfter(std::uint64_t held);
  // Sends the zero block the first time after Open, and the next block of
  // the file, if any. True when the file's last byte is out: the file is
  // closed then. Throws dwl::Error when the file cannot be read or is
  // shorter than when it was opened (nothing is sent then, and the file is
  // closed).
  bool SendNext();
  // The end marker, after the last SendNext.
  void SendEnd();
  // Forgets the file under way.
  void Close();

  // The progress figure: file bytes counted, resumed parts with them.
  std::int64_t BytesTransferred() const { return bytesTransferred_; }
  // The offset of the file's next byte to send: where the server stands, until the first SendNext.
  std::uint64_t Position() const { return next_; }
  // File bytes sent beyond what the server held.
  std::int64_t FileBytesSent() const { return fileBytesSent_; }
  // A lost connection restarts the progress figure; a new one both counts.
  void ForgetProgress() { bytesTransferred_ = 0; }
  void ResetCounts() { bytesTransferred_ = fileBytesSent_ = 0; }

 private:
  Send send_;
  std::unique_ptr<BinaryReader> file_;
  std::uint64_t next_ = 0;  // the offset of the next byte to send
  std::uint64_t openedLength_ = 0;
  bool zeroBlockDue_ = false;
  std::int64_t bytesTransferred_ = 0;
  std::int64_t fileBytesSent_ = 0;
};

}  // namespace dwl
