#include "support/CommonDialog.h"

#include <limits>

#include "platform/Platform.h"

namespace dwl {

OpenFileDialogRecord& SharedOpenFileDialogRecord() {
  static OpenFileDialogRecord record;
  return record;
}

OpenFileDialogResult ShowOpenFileDialog(bool centreOnOwner) {
  const Platform& platform = ThePlatform();
  if (platform.fileDialogs == nullptr) return CancelledOpenFileDialog();
  const OpenFileDialogRecord& record = SharedOpenFileDialogRecord();
  std::optional<std::string> buffer;
  try {
    buffer = platform.fileDialogs->ShowOpen(
        {record.filter, record.title, record.initialDirectory, centreOnOwner});
  } catch (const Error&) {
    return CancelledOpenFileDialog();
  }
  if (!buffer) return CancelledOpenFileDialog();
  return ParseOpenFileDialogBuffer(*buffer, platform.files->Separator());
}

std::string EmptyOpenFileNameBuffer() {
  std::string buffer(kOpenFileNameBufferLength - 1, ' ');
  buffer.push_back('\0');
  return buffer;
}

OpenFileDialogResult CancelledOpenFileDialog() { return OpenFileDialogResult{}; }

OpenFileDialogResult ParseOpenFileDialogBuffer(const std::string& buffer, char separator) {
  // What follows the last piece is the buffer's old padding: blanks and NULs.
  std::string text = buffer;
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  const auto first = text.find_first_not_of(' ');
  text.erase(0, first == std::string::npos ? text.size() : first);

  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\0', start);
    if (end == std::string::npos) end = text.size();
    if (end == start) break;  // the closing NUL
    pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (pieces.empty()) return CancelledOpenFileDialog();

  OpenFileDialogResult result;
  result.Cancelled = false;
  if (pieces.size() == 1) {
    const std::string& fullPath = pieces[0];
    const auto cut = fullPath.rfind(separator);
    // A path that ends in a separator names a folder, not a file.
    if (cut == fullPath.size() - 1) return CancelledOpenFileDialog();
    result.FileCount = 1;
    result.FileNames = {"", cut == std::string::npos ? fullPath : fullPath.substr(cut + 1)};
    result.FolderPath = cut == std::string::npos ? "" : fullPath.substr(0, cut + 1);
    return result;
  }
  // The count is 16 bits wide: names beyond what it can count are left out.
  constexpr std::size_t kMostNames = std::numeric_limits<std::int16_t>::max();
  if (pieces.size() - 1 > kMostNames) pieces.resize(kMostNames + 1);
  result.FolderPath = pieces[0];
  if (result.FolderPath.back() != separator) result.FolderPath += separator;
  result.FileCount = static_cast<std::int16_t>(pieces.size() - 1);
  result.FileNames = std::move(pieces);
  return result;
}

}  // namespace dwl
