#include "support/TaggedFile.h"

#include "platform/Platform.h"

namespace dwl {

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
    text += line;
    text += "\r\n";
  }
  return text;
}

void TaggedFileWriter::WriteEntry(const std::string& name, const std::string& value) {
  std::string line = value;
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  writer_.WriteLine("<" + name + ">");
  writer_.WriteLine(line);
  writer_.WriteLine("</" + name + ">");
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
