#include "apps/sim/DllAddIn.h"

#include <array>

#include "addin/Connect.h"
#include "apps/sim/SimScript.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Error.h"
#include "platform/win32/com/ComError.h"
#include "platform/win32/com/DispatchObject.h"
#include "platform/win32/simcom/SimComOutlook.h"

namespace dwl::cli {
namespace {

using win32::com::ComVariant;
using win32::com::DispatchObject;

constexpr const char* kSource = "dwl sim --addin";

// The default value of a key under HKCU, or "" when it is not there.
std::wstring UserRegistryText(const std::wstring& key) {
  std::array<wchar_t, 1024> text{};
  DWORD bytes = sizeof text;
  if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text.data(), &bytes) !=
      ERROR_SUCCESS) {
    return L"";
  }
  return text.data();
}

std::wstring FullPath(const std::wstring& path) {
  std::wstring full(32768, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length == 0 || length >= full.size()) return path;
  full.resize(length);
  return full;
}

// The add-in's Connect object as Outlook drives it: through IDispatch, the
// application and the add-in instance shown over COM.
class DllConnection final : public host::AddInEntry {
 public:
  explicit DllConnection(DispatchObject connect) : connect_(std::move(connect)) {}

  void IDTExtensibility2_OnConnection(std::shared_ptr<host::Application> application, int connectMode,
                                      std::shared_ptr<host::AddInInstance> addInInst, const Custom&) override {
    connect_.Call("OnConnection", win32::simcom::ExposeApplication(std::move(application)), connectMode,
                  win32::simcom::ExposeAddInInstance(std::move(addInInst)), ComVariant());
  }
  void IDTExtensibility2_OnDisconnection(int removeMode, const Custom&) override {
    connect_.Call("OnDisconnection", removeMode, ComVariant());
  }
  void IDTExtensibility2_OnAddInsUpdate(const Custom&) override { connect_.Call("OnAddInsUpdate", ComVariant()); }
  void IDTExtensibility2_OnStartupComplete(const Custom&) override {
    connect_.Call("OnStartupComplete", ComVariant());
  }
  void IDTExtensibility2_OnBeginShutdown(const Custom&) override { connect_.Call("OnBeginShutdown", ComVariant()); }
  // The DLL raises the designer's events itself, within the calls above.
  void AddinInstance_OnConnection(std::shared_ptr<host::Application>, int, std::shared_ptr<host::AddInInstance>,
                                  const Custom&) override {}
  void AddinInstance_OnDisconnection(int, const Custom&) override {}

 private:
  DispatchObject connect_;
};

}  // namespace

DllAddIn::DllAddIn(const std::string& path, std::ostream& out, std::ostream& err) : out_(out), err_(err) {
  const std::string progId = Connect::kProgId;
  const std::wstring clsidText = UserRegistryText(L"Software\\Classes\\" + win32::Wide(progId) + L"\\CLSID");
  CLSID clsid{};
  if (clsidText.empty() || FAILED(CLSIDFromString(clsidText.c_str(), &clsid))) {
    throw Error(errc::kFileNotFound, kSource,
                progId + " is not registered for this user: register it first (regsvr32 " + path + ")");
  }
  const std::wstring registered =
      UserRegistryText(L"Software\\Classes\\CLSID\\" + clsidText + L"\\InprocServer32");
  const std::wstring wanted = FullPath(win32::Wide(path));
  if (CompareStringOrdinal(FullPath(registered).c_str(), -1, wanted.c_str(), -1, TRUE) != CSTR_EQUAL) {
    throw Error(errc::kFileNotFound, kSource,
                progId + " is registered as '" + win32::Utf8(registered) + "', not as " + path);
  }
  module_ = LoadLibraryW(wanted.c_str());
  if (module_ == nullptr) throw win32::LastError(kSource, path);

  using GetClassObject = HRESULT(__stdcall*)(REFCLSID, REFIID, void**);
  const auto getClassObject = Entry<GetClassObject>("DllGetClassObject");
  const HRESULT made = getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(factory_.GetAddressOf()));
  if (FAILED(made)) throw win32::com::ComError(made, kSource, "DllGetClassObject");

  command_ = Entry<DwlSimCommandFunction>("DwlSimCommand");
  pictureName_ = Entry<DwlSimPictureNameFunction>("DwlSimPictureName");
  shutdown_ = Entry<DwlSimShutdownFunction>("DwlSimShutdown");
  end_ = Entry<DwlSimEndFunction>("DwlSimEnd");
  if (Entry<DwlSimStartFunction>("DwlSimStart")(&DllAddIn::Write, this) != 0) {
    end_ = nullptr;
    throw Error(errc::kInvalidCall, kSource, answer_);
  }
}

DllAddIn::~DllAddIn() {
  if (end_ != nullptr) end_();
  factory_.Reset();
  if (const std::string held = Released(); !held.empty()) err_ << held << "\n";
  using CanUnloadNow = HRESULT(__stdcall*)();
  const auto canUnload = reinterpret_cast<CanUnloadNow>(
      reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
  if (canUnload != nullptr && canUnload() != S_OK) {
    err_ << "DWLOutlookAddin.dll cannot unload after the run (DllCanUnloadNow did not answer S_OK)\n";
    return;  // a DLL in use stays loaded, as COM leaves it
  }
  FreeLibrary(module_);
}

template <typename Function>
Function DllAddIn::Entry(const char* name) const {
  const FARPROC found = GetProcAddress(module_, name);
  if (found == nullptr) throw win32::LastError(kSource, name);
  return reinterpret_cast<Function>(reinterpret_cast<void*>(found));
}

void __cdecl DllAddIn::Write(void* context, int stream, const char* text, std::size_t size) {
  auto& self = *static_cast<DllAddIn*>(context);
  const auto count = static_cast<std::streamsize>(size);
  if (stream == addin::kSimOut) {
    self.out_.write(text, count);
  } else if (stream == addin::kSimErr) {
    self.err_.write(text, count);
  } else {
    self.answer_.append(text, size);
  }
}

std::shared_ptr<host::AddInEntry> DllAddIn::NewConnection() {
  Microsoft::WRL::ComPtr<IDispatch> connect;
  const HRESULT made = factory_->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(connect.GetAddressOf()));
  if (FAILED(made)) throw win32::com::ComError(made, kSource, "IClassFactory.CreateInstance");
  return std::make_shared<DllConnection>(DispatchObject(std::move(connect)));
}

std::string DllAddIn::Released() {
  const long live = win32::simcom::LiveObjectCount();
  if (live == 0) return "";
  return "the add-in still holds " + std::to_string(live) + " of the host's objects";
}

void DllAddIn::Execute(const std::vector<std::string>& words) {
  std::string joined;
  for (const std::string& word : words) joined += word + addin::kSimWordSeparator;
  answer_.clear();
  long number = 0;
  const int outcome = command_(joined.c_str(), &number);
  if (outcome == 1) throw SimUsageError(answer_);
  if (outcome != 0) throw Error(number, kSource, answer_);
}

std::string DllAddIn::PictureName(const Picture& picture) {
  answer_.clear();
  pictureName_(picture.bytes.data(), picture.bytes.size());
  return answer_;
}

void DllAddIn::Shutdown() { shutdown_(); }

}  // namespace dwl::cli
