#include "transfer/AttachmentSender.h"

#include <algorithm>

#include "platform/Error.h"
#include "platform/Platform.h"
#include "transfer/TransferProtocol.h"

namespace dwl {

std::uint64_t AttachmentSender::Open(const std::string& path) {
  Close();
  file_ = ThePlatform().files->OpenBinaryForReading(path);
  try {
    openedLength_ = file_->Length();
    zeroBlockDue_ = true;
    return openedLength_;
  } catch (...) {
    Close();
    throw;
  }
}

void AttachmentSender::ResumeAfter(std::uint64_t held) {
  next_ = held;
  // The count has always held the position after the resume point.
  bytesTransferred_ += static_cast<std::int64_t>(held) + 1;
}

bool AttachmentSender::SendNext() {
  std::string block;
  try {
    if (file_ == nullptr) throw Error(errc::kInvalidCall, "AttachmentSender", "No file is open");
    // The length is read anew each time: the file may have changed. One
    // that got shorter would reach the server cut and count as sent whole.
    const std::uint64_t length = file_->Length();
    if (length < openedLength_) {
      throw Error(errc::kInputPastEndOfFile, "AttachmentSender",
                  "The file got shorter while it was sent (" + std::to_string(length) + " of " +
                      std::to_string(openedLength_) + " bytes)");
    }
    if (length > next_) {
      block.resize(static_cast<std::size_t>(std::min<std::uint64_t>(length - next_, kBlockSize)));
      file_->ReadAt(next_, block.data(), block.size());
    }
    next_ += block.size();
    if (next_ >= length) file_.reset();
  } catch (...) {
    Close();
    throw;
  }
  bytesTransferred_ += static_cast<std::int64_t>(block.size());
  fileBytesSent_ += static_cast<std::int64_t>(block.size());
  if (zeroBlockDue_) {
    zeroBlockDue_ = false;
    send_(std::string(protocol::kZeroBlockSize, '\0'));
  }
  if (!block.empty()) send_(std::move(block));
  return file_ == nullptr;
}

void AttachmentSender::SendEnd() { send_(std::string(protocol::kEndOfFileMarker)); }

void AttachmentSender::Close() {
  file_.reset();
  next_ = 0;
  zeroBlockDue_ = false;
}

}  // namespace dwl
