#include "platform/sim/SimClipboard.h"

namespace dwl::sim {

void SimClipboard::SetBitmap(const Picture& picture) {
  text_.clear();
  picture_ = picture;
}

void SimClipboard::SetText(const std::string& text) {
  picture_.reset();
  text_ = text;
}

void SimClipboard::Clear() {
  text_.clear();
  picture_.reset();
}

}  // namespace dwl::sim
