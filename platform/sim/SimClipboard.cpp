#include "platform/sim/SimClipboard.h"

#include "platform/Error.h"

namespace dwl::sim {
namespace {

struct SimClipboardContent : ClipboardContent {
  std::string text;
  std::optional<Picture> picture;
};

}  // namespace

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

std::unique_ptr<ClipboardContent> SimClipboard::Save() {
  auto content = std::make_unique<SimClipboardContent>();
  content->text = text_;
  content->picture = picture_;
  return content;
}

void SimClipboard::Restore(const ClipboardContent& content) {
  const auto* saved = dynamic_cast<const SimClipboardContent*>(&content);
  if (saved == nullptr) throw Error(errc::kInvalidCall, "Clipboard.Restore", "Content saved by another clipboard");
  text_ = saved->text;
  picture_ = saved->picture;
}

}  // namespace dwl::sim
