// Entry points of DWLOutlookAddin.dll that only `dwl.exe sim --addin` calls:
// the add-in's side of a sim run (the services the simulated host lends the
// add-in, the attachments window without a screen, what print shows of the
// add-in) served inside the DLL, where the add-in's own objects live. Plain
// C types only: the DLL and its caller each have their own C++ runtime, and
// no exception may cross. Outlook never calls them.
#pragma once

#include <cstddef>

extern "C" {

// Where the add-in's side writes: kSimOut the run's output, kSimErr its
// alerts, kSimAnswer the answer to the current call (a failure's
// description, a picture's name).
typedef void(__cdecl* DwlSimWrite)(void* context, int stream, const char* text, std::size_t size);

// Starts the add-in's side over the DLL's platform. 0, or 1 with the reason
// as the answer.
typedef int(__cdecl* DwlSimStartFunction)(DwlSimWrite write, void* context);
// One add-in-side command, each word ended by kSimWordSeparator. 0 done;
// 1 a wrong command, 2 a failure the system reported (its number in
// *number): the description is the answer.
typedef int(__cdecl* DwlSimCommandFunction)(const char* words, long* number);
// The name of the picture file the add-in's side loaded with these bytes,
// as the answer ("" for none).
typedef void(__cdecl* DwlSimPictureNameFunction)(const char* bytes, std::size_t size);
// The add-in's windows and queue go (before the host lets go of it); then
// End stops the add-in's side.
typedef void(__cdecl* DwlSimShutdownFunction)();
typedef void(__cdecl* DwlSimEndFunction)();

}  // extern "C"

namespace dwl::addin {

inline constexpr int kSimOut = 1;
inline constexpr int kSimErr = 2;
inline constexpr int kSimAnswer = 3;
inline constexpr char kSimWordSeparator = '\x1f';

}  // namespace dwl::addin
