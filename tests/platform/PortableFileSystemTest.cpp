#include "platform/portable/PortableFileSystem.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <future>

#include "platform/portable/PortableClock.h"
#include "tests/TestPlatform.h"

namespace dwl {
namespace {

using testing::ReadBytes;
using testing::ThrowsError;
using testing::WriteBytes;

class PortableFileSystemTest : public ::testing::Test {
 protected:
  testing::TestPlatform platform;
  portable::PortableFileSystem fs;
};

TEST_F(PortableFileSystemTest, ReadsLinesWhateverTheirTerminatorAndLength) {
  const std::string path = platform.Path("lines.txt");
  const std::string longLine(100000, 'x');  // beyond the reader's buffer
  for (const std::string last : {"", "\r"}) {
    WriteBytes(path, "one\r\ntwo\nthree\rfour\r\n\r\n" + longLine + "\r" + longLine + "\r\nlast" + last);
    const auto reader = fs.OpenTextForReading(path);
    std::vector<std::string> lines;
    while (!reader->AtEnd()) lines.push_back(reader->ReadLine());
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "three", "four", "", longLine, longLine, "last"}));
    EXPECT_TRUE(ThrowsError(errc::kInputPastEndOfFile, [&] { reader->ReadLine(); }));
  }
}

// Reading beyond 4 GiB: ServerCommunicatorTest resumes a file of 5 GiB.
TEST_F(PortableFileSystemTest, ReadingPastTheEndOrAMissingFileFails) {
  const std::string path = platform.Path("four.bin");
  WriteBytes(path, "four");
  std::string bytes(4, '\0');
  EXPECT_TRUE(ThrowsError(errc::kInputPastEndOfFile,
                          [&] { fs.OpenBinaryForReading(path)->ReadAt(1, bytes.data(), bytes.size()); }));
  EXPECT_TRUE(ThrowsError(errc::kFileNotFound, [&] { fs.OpenBinaryForReading(platform.Path("missing")); }));
}

TEST_F(PortableFileSystemTest, WritersAppendWholeCrLfLinesAndPrivateOnesAreTheOwnersOnly) {
  const std::string path = platform.Path("shared.log");
  WriteBytes(path, "old\r\n");
  ::chmod(path.c_str(), 0644);
  const auto first = fs.OpenTextForAppending(path, FileAccess::Shared);
  const auto second = fs.OpenTextForAppending(path, FileAccess::Shared);
  first->WriteLine("a");
  second->WriteLine("b");
  first->WriteLine("c");
  EXPECT_EQ(ReadBytes(path), "old\r\na\r\nb\r\nc\r\n");
  EXPECT_EQ(testing::Mode(path), 0644u) << "Shared leaves an existing file as it is";

  const std::string folder = platform.Path("private");
  fs.CreateFolder(folder, FileAccess::Private);
  fs.OpenTextForAppending(folder + "/secret.cfg", FileAccess::Private);
  EXPECT_EQ(testing::Mode(folder), 0700u);
  EXPECT_EQ(testing::Mode(folder + "/secret.cfg"), 0600u);

  const std::string wide = platform.Path("wide.log");
  WriteBytes(wide, "old\r\n");
  ::chmod(wide.c_str(), 0666);
  fs.OpenTextForAppending(wide, FileAccess::Private)->WriteLine("new");
  EXPECT_EQ(testing::Mode(wide), 0600u) << "an existing file is narrowed";
  EXPECT_EQ(ReadBytes(wide), "old\r\nnew\r\n");
}

// A pipe in place of a file must not keep the program waiting for a writer.
TEST_F(PortableFileSystemTest, OpensOnlyRegularFilesAndNeverBlocks) {
  const std::string fifo = platform.Path("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::function<void()> opens[] = {[&] { fs.OpenBinaryForReading(fifo); },
                                         [&] { fs.OpenTextForReading(fifo); },
                                         [&] { fs.OpenBinaryForReading("/dev/null"); },
                                         [&] { fs.OpenBinaryForReading(platform.Root()); }};
  for (const auto& open : opens) {
    auto opening = std::async(std::launch::async, [&] { return ThrowsError(errc::kPathFileAccess, open); });
    if (opening.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
      ADD_FAILURE() << "opening blocked";
      const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);  // lets it go on
      opening.wait();
      if (writer >= 0) ::close(writer);
    }
    EXPECT_TRUE(opening.get());
  }
}

TEST_F(PortableFileSystemTest, CreatesOneLevelOnlyAndListsAndMeasuresOnlyFiles) {
  EXPECT_TRUE(ThrowsError(errc::kFileNotFound,
                          [&] { fs.CreateFolder(platform.Path("missing/child"), FileAccess::Shared); }));
  const std::string folder = platform.Path("queue/");
  fs.CreateFolder(folder, FileAccess::Shared);
  EXPECT_TRUE(fs.FolderExists(folder));
  EXPECT_FALSE(fs.FileExists(platform.Path("queue")));
  WriteBytes(folder + "a.txt", "1");
  WriteBytes(folder + "b", "22");
  fs.CreateFolder(folder + "sub", FileAccess::Shared);
  std::vector<std::string> files = fs.ListFiles(folder);
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{folder + "a.txt", folder + "b"}));
  EXPECT_EQ(fs.FileSize(folder + "b"), 2u);
  // The file system's clock may run a fraction ahead of time(): allow it a second.
  const LocalDateTime now = portable::ToLocalDateTime(std::time(nullptr) + 1);
  EXPECT_LE(fs.CreationTime(folder + "b"), now);
  EXPECT_LE(LocalDateTime::DaysBetween(fs.CreationTime(folder + "b"), now), 1);
  EXPECT_THROW(fs.CreationTime(folder + "none"), Error);
  EXPECT_THROW(fs.ListFiles(platform.Path("nowhere")), Error);
  EXPECT_THROW(fs.FileSize(folder + "sub"), Error);
  EXPECT_THROW(fs.FileSize(folder + "none"), Error);
}

TEST_F(PortableFileSystemTest, MovesAndRemovesFilesButNotReadOnlyOnesEvenForRoot) {
  const std::string path = platform.Path("readonly.txt");
  WriteBytes(path, "keep");
  ::chmod(path.c_str(), 0444);
  EXPECT_TRUE(ThrowsError(errc::kPathFileAccess, [&] { fs.RemoveFile(path); }));
  EXPECT_TRUE(fs.FileExists(path));
  ::chmod(path.c_str(), 0644);
  WriteBytes(platform.Path("new"), "new");
  fs.MoveReplacing(platform.Path("new"), path);
  EXPECT_EQ(ReadBytes(path), "new");
  EXPECT_FALSE(fs.FileExists(platform.Path("new")));
  fs.RemoveFile(path);
  EXPECT_FALSE(fs.FileExists(path));
  EXPECT_TRUE(ThrowsError(errc::kFileNotFound, [&] { fs.RemoveFile(path); }));
}

}  // namespace
}  // namespace dwl
