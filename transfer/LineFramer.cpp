#include "transfer/LineFramer.h"

namespace dwl {

std::optional<std::string> LineFramer::NextLine() {
  const std::size_t end = pending_.find("\r\n", searchFrom_);
  if (end == std::string::npos) {
    // A CR at the very end may pair with an LF still to come.
    searchFrom_ = pending_.size() > consumed_ ? pending_.size() - 1 : consumed_;
    return std::nullopt;
  }
  std::string line = pending_.substr(consumed_, end + 2 - consumed_);
  consumed_ = end + 2;
  searchFrom_ = consumed_;
  // Drop what was handed out once it outweighs what is left.
  if (consumed_ >= pending_.size() / 2) {
    pending_.erase(0, consumed_);
    searchFrom_ -= consumed_;
    consumed_ = 0;
  }
  return line;
}

std::string LineFramer::TakeRest() {
  std::string rest = pending_.substr(consumed_);
  Clear();
  return rest;
}

void LineFramer::Clear() {
  pending_.clear();
  consumed_ = 0;
  searchFrom_ = 0;
}

}  // namespace dwl
