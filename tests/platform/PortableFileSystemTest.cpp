#include "platform/portable/PortableFileSystem.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>

#include "platform/portable/PortableClock.h"
#include "tests/TestPlatform.h"

namespace dwl {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

class PortableFileSystemTest : public ::testing::Test {
 protected:
  testing::TestPlatform platform;
  portable::PortableFileSystem fs;
};

mode_t Mode(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 0777;
}

TEST_F(PortableFileSystemTest, ReadsLinesWhateverTheirTerminator) {
  const std::string path = platform.Path("lines.txt");
  WriteBytes(path, "one\r\ntwo\nthree\rfour\r\n\r\nlast");
  const auto reader = fs.OpenTextForReading(path);
  std::vector<std::string> lines;
  while (!reader->AtEnd()) lines.push_back(reader->ReadLine());
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "three", "four", "", "last"}));
  EXPECT_TRUE(testing::ThrowsError(errc::kInputPastEndOfFile, [&] { reader->ReadLine(); }))
      << "reading past the end must fail";
}

TEST_F(PortableFileSystemTest, ReadsBytesAnywhereInFilesBeyond4GiB) {
  const std::string path = platform.Path("sparse.bin");
  WriteBytes(path, "head");
  std::filesystem::resize_file(path, (5ULL << 30));  // sparse
  {
    std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
    out.seekp(static_cast<std::streamoff>(4294967296ULL + 10));
    out << "tail";
  }
  const auto reader = fs.OpenBinaryForReading(path);
  EXPECT_EQ(reader->Length(), 5ULL << 30);
  std::string bytes(4, '\0');
  reader->ReadAt(4294967296ULL + 10, bytes.data(), bytes.size());
  EXPECT_EQ(bytes, "tail");
  reader->ReadAt(0, bytes.data(), bytes.size());
  EXPECT_EQ(bytes, "head");
  EXPECT_TRUE(testing::ThrowsError(errc::kInputPastEndOfFile, [&] {
    reader->ReadAt((5ULL << 30) - 2, bytes.data(), bytes.size());
  }));
  EXPECT_TRUE(testing::ThrowsError(errc::kFileNotFound,
                                   [&] { fs.OpenBinaryForReading(platform.Path("missing")); }));
  EXPECT_TRUE(testing::ThrowsError(errc::kPathFileAccess, [&] { fs.OpenBinaryForReading(platform.Root()); }));
}

TEST_F(PortableFileSystemTest, ReadsLinesAcrossItsBufferBoundary) {
  const std::string path = platform.Path("long.txt");
  const std::string longLine(100000, 'x');
  WriteBytes(path, longLine + "\r\n" + longLine + "\r");
  const auto reader = fs.OpenTextForReading(path);
  EXPECT_EQ(reader->ReadLine(), longLine);
  EXPECT_EQ(reader->ReadLine(), longLine);
  EXPECT_TRUE(reader->AtEnd());
}

TEST_F(PortableFileSystemTest, WritersAppendWholeCrLfLinesInCallOrder) {
  const std::string path = platform.Path("shared.log");
  WriteBytes(path, "old\r\n");
  const auto first = fs.OpenTextForAppending(path, FileAccess::Shared);
  const auto second = fs.OpenTextForAppending(path, FileAccess::Shared);
  first->WriteLine("a");
  second->WriteLine("b");
  first->WriteLine("c");
  EXPECT_EQ(ReadBytes(path), "old\r\na\r\nb\r\nc\r\n");
}

TEST_F(PortableFileSystemTest, PrivateFilesAndFoldersAreTheOwnersOnly) {
  const std::string folder = platform.Path("private");
  fs.CreateFolder(folder, FileAccess::Private);
  const std::string file = folder + "/secret.cfg";
  fs.OpenTextForAppending(file, FileAccess::Private);
  EXPECT_EQ(Mode(folder), 0700u);
  EXPECT_EQ(Mode(file), 0600u);
}

TEST_F(PortableFileSystemTest, PrivateNarrowsAnExistingFileToItsOwner) {
  const std::string file = platform.Path("wide.log");
  WriteBytes(file, "old\r\n");
  ::chmod(file.c_str(), 0666);
  fs.OpenTextForAppending(file, FileAccess::Private)->WriteLine("new");
  EXPECT_EQ(Mode(file), 0600u);
  EXPECT_EQ(ReadBytes(file), "old\r\nnew\r\n");
  ::chmod(file.c_str(), 0644);
  fs.OpenTextForAppending(file, FileAccess::Shared);
  EXPECT_EQ(Mode(file), 0644u) << "Shared leaves an existing file as it is";
}

// Runs `open` on another thread; when it has not returned after 10 s, opens
// `fifo` for writing, which lets a blocked opening go on, and fails.
::testing::AssertionResult ReturnsWithoutBlocking(const std::string& fifo, const std::function<void()>& open) {
  auto opening = std::async(std::launch::async, open);
  if (opening.wait_for(std::chrono::seconds(10)) == std::future_status::ready) {
    opening.get();
    return ::testing::AssertionSuccess();
  }
  const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
  opening.wait();
  if (writer >= 0) ::close(writer);
  return ::testing::AssertionFailure() << "opening " << fifo << " blocked";
}

TEST_F(PortableFileSystemTest, OpensOnlyRegularFilesAndNeverBlocks) {
  const std::string fifo = platform.Path("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_TRUE(ReturnsWithoutBlocking(fifo, [&] {
    EXPECT_TRUE(testing::ThrowsError(errc::kPathFileAccess, [&] { fs.OpenBinaryForReading(fifo); }));
  }));
  EXPECT_TRUE(ReturnsWithoutBlocking(fifo, [&] {
    EXPECT_TRUE(testing::ThrowsError(errc::kPathFileAccess, [&] { fs.OpenTextForReading(fifo); }));
  }));
  try {
    fs.OpenBinaryForReading("/dev/null");
    ADD_FAILURE() << "a device is not a file";
  } catch (const Error& failure) {
    EXPECT_EQ(failure.Number(), errc::kPathFileAccess);
    EXPECT_NE(failure.Description().find("Not a file: /dev/null"), std::string::npos) << failure.Description();
  }
  // A plain file opened so reads blocking as usual: all of a large file arrives.
  const std::string plain = platform.Path("plain.bin");
  const std::string bytes(3 * 1048576, 'p');
  WriteBytes(plain, bytes);
  const auto reader = fs.OpenBinaryForReading(plain);
  std::string back(bytes.size(), '\0');
  reader->ReadAt(0, back.data(), back.size());
  EXPECT_TRUE(back == bytes);
}

TEST_F(PortableFileSystemTest, CreatesOneLevelOnly) {
  try {
    fs.CreateFolder(platform.Path("missing/child"), FileAccess::Shared);
    FAIL() << "a folder whose parent is missing must not be made";
  } catch (const Error& failure) {
    EXPECT_EQ(failure.Number(), errc::kFileNotFound);
    EXPECT_EQ(failure.Source(), "FileSystem.CreateFolder");
  }
  fs.CreateFolder(platform.Path("one/"), FileAccess::Shared);
  EXPECT_TRUE(fs.FolderExists(platform.Path("one")));
  EXPECT_FALSE(fs.FileExists(platform.Path("one")));
}

TEST_F(PortableFileSystemTest, ListsOnlyFilesWithFullPaths) {
  const std::string folder = platform.Path("queue/");
  fs.CreateFolder(folder, FileAccess::Shared);
  WriteBytes(folder + "a.txt", "1");
  WriteBytes(folder + "b", "22");
  fs.CreateFolder(folder + "sub", FileAccess::Shared);
  std::vector<std::string> files = fs.ListFiles(folder);
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{folder + "a.txt", folder + "b"}));
  EXPECT_EQ(fs.FileSize(folder + "b"), 2u);
  EXPECT_THROW(fs.ListFiles(platform.Path("nowhere")), Error);
  EXPECT_THROW(fs.FileSize(folder + "sub"), Error);
  EXPECT_THROW(fs.FileSize(folder + "none"), Error);
}

TEST_F(PortableFileSystemTest, RefusesToDeleteReadOnlyFilesEvenForRoot) {
  const std::string path = platform.Path("readonly.txt");
  WriteBytes(path, "keep");
  ::chmod(path.c_str(), 0444);
  EXPECT_TRUE(testing::ThrowsError(errc::kPathFileAccess, [&] { fs.RemoveFile(path); }))
      << "a read-only file must not be deleted";
  EXPECT_TRUE(fs.FileExists(path));
  ::chmod(path.c_str(), 0644);
  fs.RemoveFile(path);
  EXPECT_FALSE(fs.FileExists(path));
  EXPECT_TRUE(testing::ThrowsError(errc::kFileNotFound, [&] { fs.RemoveFile(path); }))
      << "deleting a missing file must fail";
}

TEST_F(PortableFileSystemTest, MovesOntoAnExistingFile) {
  WriteBytes(platform.Path("new"), "new");
  WriteBytes(platform.Path("old"), "old");
  fs.MoveReplacing(platform.Path("new"), platform.Path("old"));
  EXPECT_EQ(ReadBytes(platform.Path("old")), "new");
  EXPECT_FALSE(fs.FileExists(platform.Path("new")));
}

TEST_F(PortableFileSystemTest, CreationTimeIsNoLaterThanNow) {
  const std::string path = platform.Path("made.txt");
  WriteBytes(path, "x");
  const LocalDateTime made = fs.CreationTime(path);
  LocalDateTime now = portable::PortableClock().Now();
  // The file system's clock may run a fraction ahead of time(): allow it a second.
  now = portable::ToLocalDateTime(std::time(nullptr) + 1);
  EXPECT_LE(made, now);
  EXPECT_LE(LocalDateTime::DaysBetween(made, now), 1);
  EXPECT_THROW(fs.CreationTime(platform.Path("none")), Error);
}

}  // namespace
}  // namespace dwl
