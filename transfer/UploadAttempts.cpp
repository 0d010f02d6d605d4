#include "transfer/UploadAttempts.h"

namespace dwl {

void UploadAttempts::Restart() {
  fruitlessInARow_ = 0;
  progressed_ = false;
  accepted_ = false;
  finishedFiles_.clear();
}

void UploadAttempts::EmailAccepted() {
  if (!accepted_) progressed_ = true;
  accepted_ = true;
}

void UploadAttempts::FileFinished(const std::string& attachmentId) {
  if (finishedFiles_.insert(attachmentId).second) progressed_ = true;
}

void UploadAttempts::FileBytesSent(std::int64_t bytes) {
  if (bytes > 0) progressed_ = true;
}

UploadAttempts::Outcome UploadAttempts::End() {
  const bool progressed = progressed_;
  progressed_ = false;
  if (progressed) {
    fruitlessInARow_ = 0;
    return Outcome::Progressed;
  }
  ++fruitlessInARow_;
  return fruitlessInARow_ >= mostFruitless_ ? Outcome::GiveUp : Outcome::NoProgress;
}

}  // namespace dwl
