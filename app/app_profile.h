// The application's profile functions (per-user settings in the registry):
// one process-wide SettingsStore under the registry root the application
// names at start-up and the program's own file name.
#pragma once

#include <windows.h>

#include <string>

namespace Zentrava::App {

// Section that holds every setting in use.
inline constexpr wchar_t kSettingsSection[] = L"Settings";

// Names the registry root ("Zentrava"); called once at start-up before any
// profile access. Until then the root is "Zentrava" as well.
void SetRegistryKey(const wchar_t* registryRoot);

int GetProfileInt(const wchar_t* section, const wchar_t* entry, int defaultValue);
std::wstring GetProfileString(const wchar_t* section, const wchar_t* entry,
                              const wchar_t* defaultValue);
bool WriteProfileInt(const wchar_t* section, const wchar_t* entry, int value);
// A null value deletes the value; a null entry deletes the section.
bool WriteProfileString(const wchar_t* section, const wchar_t* entry, const wchar_t* value);

}  // namespace Zentrava::App
