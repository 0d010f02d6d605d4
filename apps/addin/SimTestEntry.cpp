#include "apps/addin/SimTestEntry.h"

#include <windows.h>

#include <memory>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "apps/addin/ConnectObject.h"
#include "apps/addin/ServerModule.h"
#include "apps/sim/SimAddInSide.h"
#include "apps/sim/SimScript.h"

namespace {

using dwl::addin::kSimAnswer;

// An output stream that hands each piece to the caller's writer.
class WriterBuffer final : public std::streambuf {
 public:
  WriterBuffer(DwlSimWrite write, void* context, int stream) : write_(write), context_(context), stream_(stream) {}

 protected:
  int_type overflow(int_type c) override {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    const char one = traits_type::to_char_type(c);
    write_(context_, stream_, &one, 1);
    return c;
  }
  std::streamsize xsputn(const char* text, std::streamsize size) override {
    write_(context_, stream_, text, static_cast<std::size_t>(size));
    return size;
  }

 private:
  DwlSimWrite write_;
  void* context_;
  int stream_;
};

struct SimRun {
  SimRun(DwlSimWrite write, void* context)
      : write(write), context(context), outBuffer(write, context, dwl::addin::kSimOut),
        errBuffer(write, context, dwl::addin::kSimErr), out(&outBuffer), err(&errBuffer),
        side(out, err, [] { return dwl::addin::ConnectObject::NewestConnection(); }) {}

  void Answer(const std::string& text) const { write(context, kSimAnswer, text.data(), text.size()); }

  DwlSimWrite write;
  void* context;
  // First in, last out: the DLL's platform outlives the side installed over it.
  dwl::addin::ModuleReference module;
  WriterBuffer outBuffer;
  WriterBuffer errBuffer;
  std::ostream out;
  std::ostream err;
  dwl::cli::SimAddInSide side;
};

SimRun* run = nullptr;

std::vector<std::string> Words(const char* joined) {
  std::vector<std::string> words;
  std::istringstream in(joined);
  for (std::string word; std::getline(in, word, dwl::addin::kSimWordSeparator);) words.push_back(word);
  return words;
}

}  // namespace

extern "C" {

__declspec(dllexport) int __cdecl DwlSimStart(DwlSimWrite write, void* context) {
  try {
    if (run != nullptr) throw dwl::Error(dwl::errc::kInvalidCall, "DwlSimStart", "a sim run is going on");
    run = new SimRun(write, context);
    return 0;
  } catch (const dwl::Error& failure) {
    const std::string text = failure.Description();
    write(context, kSimAnswer, text.data(), text.size());
  } catch (...) {
    const std::string text = "the add-in's side could not start";
    write(context, kSimAnswer, text.data(), text.size());
  }
  return 1;
}

__declspec(dllexport) int __cdecl DwlSimCommand(const char* words, long* number) {
  *number = 0;
  if (run == nullptr) return 1;
  try {
    const std::vector<std::string> list = Words(words);
    if (list.empty()) throw dwl::cli::SimUsageError("no command");
    run->side.Execute(list);
    run->out.flush();
    return 0;
  } catch (const dwl::cli::SimUsageError& wrong) {
    run->Answer(wrong.what());
    return 1;
  } catch (const dwl::Error& failure) {
    *number = failure.Number();
    run->Answer(failure.Description());
  } catch (const std::exception& failure) {
    *number = dwl::errc::kInvalidCall;
    run->Answer(failure.what());
  }
  return 2;
}

__declspec(dllexport) void __cdecl DwlSimPictureName(const char* bytes, std::size_t size) {
  if (run == nullptr) return;
  try {
    run->Answer(run->side.PictureName(dwl::Picture{std::string(bytes, size)}));
  } catch (...) {
    run->Answer("");
  }
}

__declspec(dllexport) void __cdecl DwlSimShutdown() {
  if (run == nullptr) return;
  try {
    run->side.Shutdown();
  } catch (...) {
    run->Answer("the add-in's side could not shut down");
  }
}

__declspec(dllexport) void __cdecl DwlSimEnd() {
  try {
    delete run;
  } catch (...) {
  }
  run = nullptr;
}

}  // extern "C"
