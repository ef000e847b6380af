// The per-user settings: named values under
// HKEY_CURRENT_USER\software\<registry root>\<program name>\<section>.
// Nothing is cached; every call is its own short sequence of registry calls,
// so any thread may use one store at any time.
#pragma once

#include <windows.h>

#include <string>

#include "support/scoped_handle.h"

namespace Zentrava::App {

class SettingsStore {
 public:
  // `registryRoot` is the company key below "software" ("Zentrava");
  // `programName` the key below it (see ProgramNameFromModule).
  SettingsStore(std::wstring registryRoot, std::wstring programName);

  // The file name of `module` (the executable when null) without its
  // extension: "C:\\x\\other.exe" gives "other". Empty on failure.
  static std::wstring ProgramNameFromModule(HMODULE module = nullptr);

  // Up to 4 bytes of the value, of whatever type, as a 32-bit integer; the
  // default when it is missing, longer than 4 bytes or cannot be read.
  int GetProfileInt(LPCWSTR section, LPCWSTR entry, int defaultValue) const;
  // The value's bytes as UTF-16 text up to the first zero; the default when it
  // is missing or cannot be read. A null default gives "".
  std::wstring GetProfileString(LPCWSTR section, LPCWSTR entry, LPCWSTR defaultValue) const;
  // Stores `value` as REG_DWORD. The keys on the way are created as needed.
  bool WriteProfileInt(LPCWSTR section, LPCWSTR entry, int value) const;
  // Stores `value` as REG_SZ with its terminating zero. A null `value` deletes
  // the value; a null `entry` deletes the whole section key.
  bool WriteProfileString(LPCWSTR section, LPCWSTR entry, LPCWSTR value) const;

 private:
  // HKCU\software\root\program, created below "software" when missing.
  ScopedHKey OpenProgramKey() const;
  // The section key below the program key, created when missing.
  ScopedHKey OpenSectionKey(LPCWSTR section) const;

  std::wstring registryRoot_;
  std::wstring programName_;
};

}  // namespace Zentrava::App
