// The backend of the system this program was built for: platform/portable on
// Linux, platform/win32 on Windows. A program's main() creates one
// SystemPlatform before anything else; tests build on its file system and
// shell.
#pragma once

#ifdef _WIN32
#include "platform/win32/Win32Platform.h"
namespace dwl {
using SystemPlatform = win32::Win32Platform;
using SystemFileSystem = win32::Win32FileSystem;
using SystemShell = win32::Win32Shell;
}  // namespace dwl
#else
#include "platform/portable/PortablePlatform.h"
namespace dwl {
using SystemPlatform = portable::PortablePlatform;
using SystemFileSystem = portable::PortableFileSystem;
using SystemShell = portable::PortableShell;
}  // namespace dwl
#endif
