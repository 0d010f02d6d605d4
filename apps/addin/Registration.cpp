#include "apps/addin/Registration.h"

#include <initializer_list>
#include <memory>
#include <type_traits>

#include "addin/Connect.h"
#include "platform/win32/WideText.h"

namespace dwl::addin {
namespace {

// An open registry key, closed with its owner.
struct KeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using OpenKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

// A failure the caller stops at.
struct Stop {
  LSTATUS status;
};

std::wstring ClassKey() { return std::wstring(L"Software\\Classes\\CLSID\\") + kConnectClsidText; }
std::wstring ProgIdKey() { return L"Software\\Classes\\" + win32::Wide(Connect::kProgId); }
std::wstring OutlookAddinKey() {
  return L"Software\\Microsoft\\Office\\Outlook\\Addins\\" + win32::Wide(Connect::kProgId);
}

void SetValue(const std::wstring& key, const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
  HKEY created = nullptr;
  const LSTATUS status =
      RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &created, nullptr);
  if (status != ERROR_SUCCESS) throw Stop{status};
  const OpenKey opened(created);
  const LSTATUS written = RegSetValueExW(opened.get(), name, 0, type, static_cast<const BYTE*>(data), bytes);
  if (written != ERROR_SUCCESS) throw Stop{written};
}

// `name` nullptr is the key's default value.
void SetText(const std::wstring& key, const wchar_t* name, const std::wstring& text) {
  SetValue(key, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void SetNumber(const std::wstring& key, const wchar_t* name, DWORD number) {
  SetValue(key, name, REG_DWORD, &number, sizeof number);
}

bool Gone(LSTATUS status) { return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND; }

// Deletes `values` of `key`, then the key if nothing else is left in it.
void RemoveOurs(const std::wstring& key, std::initializer_list<const wchar_t*> values) {
  HKEY found = nullptr;
  const LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_SET_VALUE | KEY_QUERY_VALUE, &found);
  if (status == ERROR_FILE_NOT_FOUND) return;
  if (status != ERROR_SUCCESS) throw Stop{status};
  const OpenKey opened(found);
  for (const wchar_t* value : values) {
    const LSTATUS deleted = RegDeleteValueW(opened.get(), value);
    if (!Gone(deleted)) throw Stop{deleted};
  }
  DWORD subkeys = 0;
  DWORD others = 0;
  const LSTATUS counted = RegQueryInfoKeyW(opened.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                           &others, nullptr, nullptr, nullptr, nullptr);
  if (counted != ERROR_SUCCESS) throw Stop{counted};
  if (subkeys != 0 || others != 0) return;
  const LSTATUS deleted = RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
  if (!Gone(deleted)) throw Stop{deleted};
}

void Unregister() {
  const std::wstring classKey = ClassKey();
  RemoveOurs(classKey + L"\\InprocServer32", {nullptr, L"ThreadingModel"});
  RemoveOurs(classKey + L"\\ProgID", {nullptr});
  RemoveOurs(classKey, {nullptr});
  RemoveOurs(ProgIdKey() + L"\\CLSID", {nullptr});
  RemoveOurs(ProgIdKey(), {nullptr});
  // Outlook keeps its own state of the add-in here: it goes with the add-in.
  const LSTATUS deleted = RegDeleteTreeW(HKEY_CURRENT_USER, OutlookAddinKey().c_str());
  if (!Gone(deleted)) throw Stop{deleted};
}

}  // namespace

HRESULT RegisterAddin(const std::wstring& modulePath) {
  const std::wstring classKey = ClassKey();
  const std::wstring name = win32::Wide(Connect::kFriendlyName);
  const std::wstring progId = win32::Wide(Connect::kProgId);
  try {
    SetText(classKey, nullptr, name);
    SetText(classKey + L"\\InprocServer32", nullptr, modulePath);
    SetText(classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    SetText(classKey + L"\\ProgID", nullptr, progId);
    SetText(ProgIdKey(), nullptr, name);
    SetText(ProgIdKey() + L"\\CLSID", nullptr, kConnectClsidText);
    const std::wstring addinKey = OutlookAddinKey();
    SetText(addinKey, L"FriendlyName", name);
    SetText(addinKey, L"Description", win32::Wide(Connect::kDescription));
    SetNumber(addinKey, L"LoadBehavior", Connect::kLoadBehavior);
    return S_OK;
  } catch (const Stop& stop) {
    // Half a registration would make Outlook load a class that is not there.
    UnregisterAddin();
    return HRESULT_FROM_WIN32(static_cast<unsigned long>(stop.status));
  }
}

HRESULT UnregisterAddin() {
  try {
    Unregister();
    return S_OK;
  } catch (const Stop& stop) {
    return HRESULT_FROM_WIN32(static_cast<unsigned long>(stop.status));
  }
}

}  // namespace dwl::addin
