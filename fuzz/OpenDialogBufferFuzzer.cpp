// ParseOpenFileDialogBuffer on any buffer: a cancelled result is empty and
// comes from a buffer that names no file; any other counts exactly the names
// it holds, each non-empty and free of NULs (and for one path of
// separators), and folder and names put together give back what the buffer
// held.
//
// Input: the first byte picks the separator (odd: '\', even: '/'); the rest
// is the buffer as the dialog returns it.
#include "fuzz/FuzzSupport.h"
#include "support/CommonDialog.h"

namespace dwl::fuzz {
namespace {

// The buffer without the padding the parser passes over: blanks and NULs at
// the end, blanks at the start.
std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  text.erase(0, std::min(text.find_first_not_of(' '), text.size()));
  return text;
}

void Check(const std::string& buffer, char separator) {
  const OpenFileDialogResult result = ParseOpenFileDialogBuffer(buffer, separator);
  const std::string text = Trimmed(buffer);
  const std::string first = text.substr(0, text.find('\0'));
  const std::string_view rest = std::string_view(text).substr(first.size());
  // One path, or the folder and names (whatever follows a double NUL is padding).
  const bool onePath = rest.size() < 2 || rest[1] == '\0';
  if (result.Cancelled) {
    FUZZ_CHECK(result.FileCount == 0 && result.FileNames.empty() && result.FolderPath.empty(),
               "a cancelled result with content");
    FUZZ_CHECK(first.empty() || (onePath && first.back() == separator),
               "nothing chosen from " + Shown(text));
    return;
  }
  FUZZ_CHECK(result.FileCount >= 1, "a result of " + std::to_string(result.FileCount) + " files");
  FUZZ_CHECK(result.FileNames.size() == static_cast<std::size_t>(result.FileCount) + 1,
             std::to_string(result.FileNames.size() - 1) + " names for a count of " +
                 std::to_string(result.FileCount));
  std::string joined;  // the names as the buffer holds them
  for (std::size_t i = 1; i < result.FileNames.size(); ++i) {
    const std::string& name = result.FileNames[i];
    FUZZ_CHECK(!name.empty() && name.find('\0') == std::string::npos,
               "name " + std::to_string(i) + ": " + Shown(name));
    joined += (i > 1 ? std::string(1, '\0') : "") + name;
  }
  const std::string& folder = result.FolderPath;
  if (onePath) {
    // The folder is all up to the last separator.
    FUZZ_CHECK(result.FileCount == 1, std::to_string(result.FileCount) + " files from one path");
    FUZZ_CHECK(joined.find(separator) == std::string::npos, "a name with a separator: " + Shown(joined));
    FUZZ_CHECK(folder.empty() || folder.back() == separator, "folder " + Shown(folder));
    FUZZ_CHECK(folder + joined == first,
               Shown(folder) + " and " + Shown(joined) + " from " + Shown(first));
    return;
  }
  // The folder, a NUL, the names separated by NULs, and a closing NUL (or
  // the end) before whatever the buffer held before.
  FUZZ_CHECK(!folder.empty() && folder.back() == separator, "folder " + Shown(folder));
  FUZZ_CHECK(folder == (first.back() == separator ? first : first + separator),
             "folder " + Shown(folder) + " from " + Shown(first));
  FUZZ_CHECK(rest.substr(1, joined.size()) == joined, "names " + Shown(joined) + " from " + Shown(text));
  const std::string_view after = rest.substr(1 + joined.size());
  FUZZ_CHECK(after.empty() || after.starts_with(std::string_view("\0\0", 2)),
             "the names end without a closing NUL in " + Shown(text));
}

}  // namespace
}  // namespace dwl::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  dwl::fuzz::Check(dwl::fuzz::Text(data + 1, size - 1), (data[0] & 1) ? '\\' : '/');
  return 0;
}
