// The file-open dialog's result. The dialog itself belongs to the window
// backend; what it returns is parsed here, the same on every platform.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dwl {

struct OpenFileDialogResult {
  std::int16_t FileCount = 0;
  // Chosen names without folder at indexes 1 to FileCount; index 0 carries
  // nothing the caller uses.
  std::vector<std::string> FileNames;
  // Ends with the separator; empty when cancelled.
  std::string FolderPath;
  bool Cancelled = true;
};

// Size of the dialog's file-name buffer, in characters.
inline constexpr std::size_t kOpenFileNameBufferLength = 2048;

// The buffer every dialog starts from: 2047 blanks and a NUL.
std::string EmptyOpenFileNameBuffer();

// Turns the dialog's returned file-name buffer into a result: either one full
// path, or the folder, a NUL, each name followed by a NUL, and a closing NUL,
// padded with what the buffer held before. A full path that ends in the
// separator is no file (cancelled); names beyond 32767 are left out.
OpenFileDialogResult ParseOpenFileDialogBuffer(const std::string& buffer, char separator);

// What a cancelled or failed dialog returns.
OpenFileDialogResult CancelledOpenFileDialog();

// The dialog's settings that the caller fills before each ShowOpenFileDialog
// (one record for the process, one dialog at a time).
struct OpenFileDialogRecord {
  std::string filter;
  std::string title;
  std::string initialDirectory;
};
OpenFileDialogRecord& SharedOpenFileDialogRecord();

// Shows the system's file-open dialog with the shared record; a dialog that
// fails or is cancelled, or a system without one, gives a cancelled result.
OpenFileDialogResult ShowOpenFileDialog(bool centreOnOwner);

}  // namespace dwl
