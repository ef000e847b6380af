#include "engine/check_fix_com.h"

#include "engine/check_file_entry.h"
#include "support/registry_key.h"

namespace Zentrava {
namespace Assistant {

namespace {

constexpr wchar_t kAddOnSettings[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\";
constexpr ULONG kServerPathLimit = 260;

}  // namespace

int32_t CheckFixCOM::Check(ConfigEntry& entry) {
  if (SkipsOnThisProcessor(entry)) return ResultPass;
  Wow64EntryGuard guard(entry);
  const REGSAM access = KEY_READ | guard.RegistryViewFlag();
  const std::wstring classId = Utf8ToWide(entry.text);

  RegistryKey server;
  std::wstring serverKey = L"CLSID\\" + classId + L"\\InprocServer32";
  if (server.Open(HKEY_CLASSES_ROOT, serverKey.c_str(), access) != ERROR_SUCCESS) return ResultFail;
  wchar_t path[kServerPathLimit];
  ULONG length = kServerPathLimit;
  if (server.QueryString(nullptr, path, &length) != ERROR_SUCCESS) return ResultFail;

  int32_t result = CheckFileEntry(entry, path);
  if (result != ResultPass) return result;

  RegistryKey settings;
  std::wstring settingsKey = kAddOnSettings + classId;
  DWORD flags = 0;
  if (settings.Open(HKEY_CURRENT_USER, settingsKey.c_str(), access) == ERROR_SUCCESS &&
      settings.QueryDword(L"Flags", &flags) == ERROR_SUCCESS && flags == 1)
    return ResultDisabled;
  return ResultPass;
}

int32_t CheckFixCOM::Fix(ConfigEntry& entry) {
  int32_t result = Check(entry);
  if (result == ResultDisabled) {
    std::wstring settingsKey = kAddOnSettings + Utf8ToWide(entry.text);
    RegDeleteKeyW(HKEY_CURRENT_USER, settingsKey.c_str());
    return ResultPass;
  }
  // Registering a missing class is the installation's business.
  if (result == ResultFail) return ResultUnsupported;
  return result;
}

}  // namespace Assistant
}  // namespace Zentrava
