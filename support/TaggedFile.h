// The layout that the settings file and the queue files share: each entry is
// three lines, "<Name>", the value, "</Name>". Readers match opening tags
// exactly and pass over the line after a value without looking at it.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/FileSystem.h"

namespace dwl {

class TaggedFileReader {
 public:
  explicit TaggedFileReader(TextReader& reader) : reader_(reader) {}

  // The next line, to compare with opening tags; nullopt at the end.
  std::optional<std::string> NextLine();
  // The value after an opening tag; the closing line is passed over. A file
  // that ends where either line is expected is an error.
  std::string ReadValue();
  // Every line up to a line equal to `closingTag`, each followed by CR LF;
  // the closing line is consumed. Undoes the escape of
  // TaggedFileWriter::WriteTextEntry: a line of `closingTag` and blanks loses
  // one blank.
  std::string ReadUntil(const std::string& closingTag);

 private:
  TextReader& reader_;
};

class TaggedFileWriter {
 public:
  explicit TaggedFileWriter(TextWriter& writer) : writer_(writer) {}

  // "<name>", `value`, "</name>". The value stays on one line (OneLine), so
  // no value can add entries of its own.
  void WriteEntry(const std::string& name, const std::string& value);
  // "<name>", the lines of `text`, "</name>": text of several lines, such as
  // a message body. Lines break as SplitLines breaks them and each is written
  // with CR LF; empty text is one empty line. So that no line ends the entry
  // early, a line of "</name>" and none or more blanks is written with one
  // blank more (ReadUntil takes it off); every other line is written as it is.
  void WriteTextEntry(const std::string& name, const std::string& text);

 private:
  TextWriter& writer_;
};

// Writes a tagged file completely under `tempPath` and only then moves it
// onto `path`, so readers see the old file or the new one, never a part.
// On failure the temporary file is removed and the old file stays.
void WriteTaggedFile(const std::string& path, const std::string& tempPath, FileAccess access,
                     const std::function<void(TaggedFileWriter&)>& write);

}  // namespace dwl
