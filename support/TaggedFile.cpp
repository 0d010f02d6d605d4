#include "support/TaggedFile.h"

#include "platform/Platform.h"
#include "support/LineBreaks.h"

namespace dwl {

namespace {

// `line` is `closingTag` followed by none or more blanks.
bool ReadsAsClosingTag(const std::string& line, const std::string& closingTag) {
  return line.starts_with(closingTag) &&
         line.find_first_not_of(' ', closingTag.size()) == std::string::npos;
}

}  // namespace

std::optional<std::string> TaggedFileReader::NextLine() {
  if (reader_.AtEnd()) return std::nullopt;
  return reader_.ReadLine();
}

std::string TaggedFileReader::ReadValue() {
  std::string value = reader_.ReadLine();
  reader_.ReadLine();
  return value;
}

std::string TaggedFileReader::ReadUntil(const std::string& closingTag) {
  std::string text;
  for (std::string line = reader_.ReadLine(); line != closingTag; line = reader_.ReadLine()) {
    if (ReadsAsClosingTag(line, closingTag)) line.pop_back();
    text += line;
    text += "\r\n";
  }
  return text;
}

void TaggedFileWriter::WriteEntry(const std::string& name, const std::string& value) {
  writer_.WriteLine("<" + name + ">");
  writer_.WriteLine(OneLine(value));
  writer_.WriteLine("</" + name + ">");
}

void TaggedFileWriter::WriteTextEntry(const std::string& name, const std::string& text) {
  const std::string closingTag = "</" + name + ">";
  writer_.WriteLine("<" + name + ">");
  for (std::string& line : SplitLines(text)) {
    if (ReadsAsClosingTag(line, closingTag)) line += ' ';
    writer_.WriteLine(line);
  }
  writer_.WriteLine(closingTag);
}

void WriteTaggedFile(const std::string& path, const std::string& tempPath, FileAccess access,
                     const std::function<void(TaggedFileWriter&)>& write) {
  FileSystem& files = *ThePlatform().files;
  try {
    if (files.FileExists(tempPath)) files.RemoveFile(tempPath);  // left by a crash
    {
      const std::unique_ptr<TextWriter> out = files.OpenTextForAppending(tempPath, access);
      TaggedFileWriter writer(*out);
      write(writer);
    }
    files.MoveReplacing(tempPath, path);
  } catch (...) {
    try {
      if (files.FileExists(tempPath)) files.RemoveFile(tempPath);
    } catch (...) {
      // The first failure is the one to report.
    }
    throw;
  }
}

}  // namespace dwl
