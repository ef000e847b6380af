// Keeps the layout and read rules of the profile store the settings were
// first written with, so values saved by earlier versions of the program (and
// values set by hand during deployment, such as "ConfigUrl") read the same.
#include "app/settings_store.h"

#include <shlwapi.h>

#include <cwchar>
#include <utility>
#include <vector>

namespace Zentrava::App {
namespace {

// Every key on the way is opened for reading, creating subkeys and setting
// values, and no more.
constexpr REGSAM kKeyRights = KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE;

ScopedHKey CreateSubkey(HKEY parent, LPCWSTR name) {
  ScopedHKey key;
  DWORD disposition = 0;
  if (RegCreateKeyExW(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, kKeyRights, nullptr,
                      key.put(), &disposition) != ERROR_SUCCESS)
    return ScopedHKey();
  return key;
}

}  // namespace

SettingsStore::SettingsStore(std::wstring registryRoot, std::wstring programName)
    : registryRoot_(std::move(registryRoot)), programName_(std::move(programName)) {}

std::wstring SettingsStore::ProgramNameFromModule(HMODULE module) {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::wstring();
    if (length < path.size()) break;
    if (path.size() >= 32768) return std::wstring();
    path.resize(path.size() * 2);
  }
  std::wstring name = PathFindFileNameW(path.data());
  size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos) name.erase(dot);
  return name;
}

ScopedHKey SettingsStore::OpenProgramKey() const {
  // Key names that are empty would make RegCreateKeyExW hand back the parent,
  // spreading the settings one level up.
  if (registryRoot_.empty() || programName_.empty()) return ScopedHKey();
  ScopedHKey software;
  // "software" exists in every profile; the store never creates it.
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"software", 0, kKeyRights, software.put()) != ERROR_SUCCESS)
    return ScopedHKey();
  ScopedHKey root = CreateSubkey(software.get(), registryRoot_.c_str());
  if (!root) return ScopedHKey();
  return CreateSubkey(root.get(), programName_.c_str());
}

ScopedHKey SettingsStore::OpenSectionKey(LPCWSTR section) const {
  if (!section) return ScopedHKey();
  ScopedHKey program = OpenProgramKey();
  if (!program) return ScopedHKey();
  return CreateSubkey(program.get(), section);
}

int SettingsStore::GetProfileInt(LPCWSTR section, LPCWSTR entry, int defaultValue) const {
  ScopedHKey key = OpenSectionKey(section);
  if (!key) return defaultValue;
  // Zeroed so that data shorter than 4 bytes reads as those bytes alone.
  DWORD value = 0;
  DWORD size = sizeof value;
  if (RegQueryValueExW(key.get(), entry, nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                       &size) != ERROR_SUCCESS)
    return defaultValue;
  return static_cast<int>(value);
}

std::wstring SettingsStore::GetProfileString(LPCWSTR section, LPCWSTR entry,
                                             LPCWSTR defaultValue) const {
  std::wstring fallback = defaultValue ? defaultValue : L"";
  ScopedHKey key = OpenSectionKey(section);
  if (!key) return fallback;
  DWORD size = 0;
  if (RegQueryValueExW(key.get(), entry, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
    return fallback;
  // The value may have grown since its size was asked for; ask again then.
  for (int attempt = 0; attempt < 4; ++attempt) {
    // Room for an odd byte count and a terminating zero the data may lack.
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 2, L'\0');
    DWORD capacity = static_cast<DWORD>((text.size() - 1) * sizeof(wchar_t));
    size = capacity;
    LONG result = RegQueryValueExW(key.get(), entry, nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(text.data()), &size);
    if (result == ERROR_SUCCESS) return std::wstring(text.data());
    if (result != ERROR_MORE_DATA) return fallback;
  }
  return fallback;
}

bool SettingsStore::WriteProfileInt(LPCWSTR section, LPCWSTR entry, int value) const {
  ScopedHKey key = OpenSectionKey(section);
  if (!key) return false;
  DWORD data = static_cast<DWORD>(value);
  return RegSetValueExW(key.get(), entry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                        sizeof data) == ERROR_SUCCESS;
}

bool SettingsStore::WriteProfileString(LPCWSTR section, LPCWSTR entry, LPCWSTR value) const {
  if (!section) return false;
  if (!entry) {
    // An empty name would make RegDeleteKeyW aim at the program key itself.
    if (!*section) return false;
    ScopedHKey program = OpenProgramKey();
    return program && RegDeleteKeyW(program.get(), section) == ERROR_SUCCESS;
  }
  ScopedHKey key = OpenSectionKey(section);
  if (!key) return false;
  if (!value) return RegDeleteValueW(key.get(), entry) == ERROR_SUCCESS;
  size_t bytes = (wcslen(value) + 1) * sizeof(wchar_t);
  if (bytes > MAXDWORD) return false;
  return RegSetValueExW(key.get(), entry, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                        static_cast<DWORD>(bytes)) == ERROR_SUCCESS;
}

}  // namespace Zentrava::App
