#include "platform/win32/Win32FileSystem.h"

// Before <windows.h>: Asio needs <winsock2.h> first.
#include "tests/TestPlatform.h"

#include <windows.h>

#include <aclapi.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "platform/portable/Utf8CodePage.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32CodePage.h"
#include "platform/win32/Win32Shell.h"

namespace dwl::win32 {
namespace {

using testing::ReadBytes;
using testing::ThrowsError;
using testing::WriteBytes;

// Takes \\?\ paths, which std::filesystem does not.
void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
    const std::wstring path = folder + L"\\" + found.cFileName;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      DeleteFileW(path.c_str());
    } else if (found.cFileName != std::wstring(L".") && found.cFileName != std::wstring(L"..")) {
      RemoveTree(path);
    }
  }
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  RemoveDirectoryW(folder.c_str());
}

// Whom the DACL of `path` lets in: "me" for the current user with full access,
// "other" for anyone else. SYSTEM, which Wine shows on every file, is left out.
std::vector<std::string> Admitted(const std::string& path) {
  HANDLE token = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
  char user[512];
  DWORD size = 0;
  EXPECT_TRUE(GetTokenInformation(token, TokenUser, user, sizeof user, &size));
  CloseHandle(token);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ACL* dacl = nullptr;
  EXPECT_EQ(GetNamedSecurityInfoW(Wide(path).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, &dacl, nullptr, &descriptor), 0u);
  std::vector<std::string> admitted;
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    GetAce(dacl, i, reinterpret_cast<void**>(&ace));
    const PSID sid = &ace->SidStart;
    if (ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE || IsWellKnownSid(sid, WinLocalSystemSid)) continue;
    const bool me = EqualSid(sid, reinterpret_cast<TOKEN_USER*>(user)->User.Sid) &&
                    (ace->Mask & FILE_ALL_ACCESS) == FILE_ALL_ACCESS;
    admitted.push_back(me ? "me" : "other");
  }
  LocalFree(descriptor);
  return admitted;
}

// A fresh folder in the temporary folder for each test, and the platform
// services the readers and writers use.
class Win32FileSystemTest : public ::testing::Test {
 protected:
  Win32FileSystemTest() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    root_ = std::wstring(temp) + L"dwl-" + Wide(Win32Shell().NewGuid());
    EXPECT_TRUE(CreateDirectoryW(root_.c_str(), nullptr));
  }
  ~Win32FileSystemTest() override { RemoveTree(L"\\\\?\\" + root_); }

  std::string Path(const std::string& name) const { return Utf8(root_) + "\\" + name; }

  std::wstring root_;
  portable::Utf8CodePage codePage;
  Win32FileSystem fs;
  ScopedPlatform installed{Platform{.files = &fs, .codePage = &codePage}};
};

TEST_F(Win32FileSystemTest, TextIsAnsiWithCrLfOnDiskAndReadWhateverTheTerminator) {
  Win32CodePage western(1252);
  ScopedPlatform programs{Platform{.files = &fs, .codePage = &western}};
  const std::string path = Path("Zoë Łódź.txt");
  fs.OpenTextForAppending(path, FileAccess::Shared)->WriteLine("Zoë");
  fs.OpenTextForAppending(path, FileAccess::Shared)->WriteLine("");
  EXPECT_EQ(ReadBytes(path), "Zo\xEB\r\n\r\n");
  EXPECT_EQ(fs.OpenTextForReading(path)->ReadLine(), "Zoë");

  const std::string longLine(100000, 'x');  // beyond the reader's buffer
  for (const std::string last : {"", "\r"}) {
    WriteBytes(path, "one\r\ntwo\nthree\rfour\r\n\r\n" + longLine + "\r" + longLine + "\r\nlast" + last);
    const auto reader = fs.OpenTextForReading(path);
    std::vector<std::string> lines;
    while (!reader->AtEnd()) lines.push_back(reader->ReadLine());
    const std::vector<std::string> expected{"one", "two", "three", "four", "", longLine, longLine, "last"};
    EXPECT_EQ(lines, expected);
    EXPECT_TRUE(ThrowsError(errc::kInputPastEndOfFile, [&] { reader->ReadLine(); }));
  }
}

TEST_F(Win32FileSystemTest, WritersAppendWholeLinesWhileOthersRead) {
  const std::string path = Path("shared.log");
  WriteBytes(path, "old\r\n");
  const auto reader = fs.OpenBinaryForReading(path);
  const auto first = fs.OpenTextForAppending(path, FileAccess::Shared);
  const auto second = fs.OpenTextForAppending(path, FileAccess::Shared);
  first->WriteLine("a");
  second->WriteLine("b");
  first->WriteLine("c");
  EXPECT_EQ(ReadBytes(path), "old\r\na\r\nb\r\nc\r\n");
  EXPECT_EQ(reader->Length(), 14u);
  std::string bytes(6, '\0');
  reader->ReadAt(8, bytes.data(), bytes.size());
  EXPECT_EQ(bytes, "b\r\nc\r\n");
  EXPECT_TRUE(ThrowsError(errc::kInputPastEndOfFile, [&] { reader->ReadAt(12, bytes.data(), 4); }));
  EXPECT_TRUE(ThrowsError(errc::kInputPastEndOfFile, [&] { reader->ReadAt(5ULL << 30, bytes.data(), 1); }));
  EXPECT_TRUE(ThrowsError(errc::kFileNotFound, [&] { fs.OpenBinaryForReading(Path("missing")); }));
}

// Opening a pipe does not block on Windows; it must not pass for a file either.
TEST_F(Win32FileSystemTest, OpensOnlyPlainDiskFiles) {
  const std::string pipeName = "\\\\.\\pipe\\dwl-" + Utf8(root_.substr(root_.rfind(L'\\') + 1));
  const HANDLE pipe = CreateNamedPipeW(Wide(pipeName).c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE,
                                       PIPE_UNLIMITED_INSTANCES, 512, 512, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  for (const std::string& path : {Utf8(root_), std::string("CON"), std::string("NUL"), pipeName}) {
    EXPECT_TRUE(ThrowsError(errc::kPathFileAccess, [&] { fs.OpenBinaryForReading(path); })) << path;
    EXPECT_TRUE(ThrowsError(errc::kPathFileAccess, [&] { fs.OpenTextForReading(path); })) << path;
  }
  CloseHandle(pipe);
}

TEST_F(Win32FileSystemTest, ListsFilesNotFoldersWithTheirNonAsciiAndLongNames) {
  const auto createInMissing = [&] { fs.CreateFolder(Path("missing\\child"), FileAccess::Shared); };
  EXPECT_TRUE(ThrowsError(errc::kPathNotFound, createInMissing));
  std::string folder = Utf8(root_);
  for (int level = 0; level < 5; ++level) {  // past MAX_PATH
    folder += "\\" + std::string(58, 'd') + std::to_string(level) + "ł";
    fs.CreateFolder(folder, FileAccess::Shared);
  }
  EXPECT_TRUE(fs.FolderExists(folder));
  EXPECT_FALSE(fs.FileExists(folder));
  fs.CreateFolder(folder + "\\sub", FileAccess::Shared);
  const std::string name = folder + "\\Zoë Łódź.txt";
  fs.OpenTextForAppending(name, FileAccess::Shared)->WriteLine("22");
  EXPECT_EQ(fs.ListFiles(folder), std::vector<std::string>{name});
  EXPECT_EQ(fs.ListFiles(folder + "\\"), std::vector<std::string>{name});
  EXPECT_EQ(fs.FileSize(name), 4u);
  EXPECT_TRUE(ThrowsError(errc::kFileNotFound, [&] { fs.FileSize(folder + "\\sub"); }));
  EXPECT_TRUE(ThrowsError(errc::kPathNotFound, [&] { fs.ListFiles(folder + "\\nowhere"); }));
}

TEST_F(Win32FileSystemTest, MovesAndRemovesFilesButNotReadOnlyOnes) {
  const std::string path = Path("readonly.txt");
  WriteBytes(path, "keep");
  SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(ThrowsError(errc::kPathFileAccess, [&] { fs.RemoveFile(path); }));
  EXPECT_TRUE(GetFileAttributesW(Wide(path).c_str()) & FILE_ATTRIBUTE_READONLY) << "left as it was";
  SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
  WriteBytes(Path("new"), "new");
  fs.MoveReplacing(Path("new"), path);
  EXPECT_EQ(ReadBytes(path), "new");
  EXPECT_FALSE(fs.FileExists(Path("new")));
  {
    const auto reader = fs.OpenBinaryForReading(path);  // readers let others delete the file
    fs.RemoveFile(path);
  }
  EXPECT_FALSE(fs.FileExists(path));
  EXPECT_TRUE(ThrowsError(errc::kFileNotFound, [&] { fs.RemoveFile(path); }));
  EXPECT_TRUE(ThrowsError(errc::kPathFileAccess, [&] { fs.RemoveFile(Utf8(root_)); }));
}

TEST_F(Win32FileSystemTest, PrivateFilesAndFoldersAdmitOnlyTheCurrentUser) {
  const std::vector<std::string> onlyMe{"me"};
  const std::string folder = Path("private");
  fs.CreateFolder(folder, FileAccess::Private);
  EXPECT_EQ(Admitted(folder), onlyMe);
  fs.OpenTextForAppending(folder + "\\new.cfg", FileAccess::Private);
  EXPECT_EQ(Admitted(folder + "\\new.cfg"), onlyMe);

  const std::string path = Path("wide.log");
  WriteBytes(path, "old\r\n");
  const std::vector<std::string> before = Admitted(path);
  ASSERT_NE(before, onlyMe);
  fs.OpenTextForAppending(path, FileAccess::Shared)->WriteLine("shared");
  EXPECT_EQ(Admitted(path), before) << "Shared leaves an existing file as it is";
  fs.OpenTextForAppending(path, FileAccess::Private)->WriteLine("new");
  EXPECT_EQ(Admitted(path), onlyMe) << "an existing file is narrowed";
  EXPECT_EQ(ReadBytes(path), "old\r\nshared\r\nnew\r\n");
}

// Wine keeps no birth time and shows the last write instead, so both are set.
TEST_F(Win32FileSystemTest, CreationIsLocalTimeAndModificationUtcNanoseconds) {
  const std::string path = Path("dated.txt");
  WriteBytes(path, "x");
  const std::uint64_t ticks = 132593079671234567;  // 2021-03-04 05:06:07.1234567 UTC
  const FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  const HANDLE file =
      CreateFileW(Wide(path).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_TRUE(SetFileTime(file, &time, nullptr, &time));
  CloseHandle(file);
  EXPECT_EQ(fs.ModificationTime(path), 1614834367123456700);
  // Every time zone is a whole number of quarter hours away from UTC.
  const LocalDateTime created = fs.CreationTime(path);
  EXPECT_LE(std::abs(LocalDateTime::DaysBetween({2021, 3, 4}, created)), 1);
  EXPECT_EQ(created.minute % 15, 6);
  EXPECT_EQ(created.second, 7);
  EXPECT_TRUE(ThrowsError(errc::kFileNotFound, [&] { fs.CreationTime(Path("none")); }));
}

}  // namespace
}  // namespace dwl::win32
