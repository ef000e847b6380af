#include "app/app_profile.h"

#include <memory>

#include "app/settings_store.h"

namespace Zentrava::App {

namespace {

// Named once at start-up, before any other thread exists; until then (and in
// tests) the default root is used.
std::unique_ptr<SettingsStore> g_configured;

const SettingsStore& Profile() {
  if (g_configured) return *g_configured;
  static const SettingsStore fallback(L"Zentrava", SettingsStore::ProgramNameFromModule());
  return fallback;
}

}  // namespace

void SetRegistryKey(const wchar_t* registryRoot) {
  g_configured.reset(new SettingsStore(registryRoot ? registryRoot : L"",
                                  SettingsStore::ProgramNameFromModule()));
}

int GetProfileInt(const wchar_t* section, const wchar_t* entry, int defaultValue) {
  return Profile().GetProfileInt(section, entry, defaultValue);
}

std::wstring GetProfileString(const wchar_t* section, const wchar_t* entry,
                              const wchar_t* defaultValue) {
  return Profile().GetProfileString(section, entry, defaultValue);
}

bool WriteProfileInt(const wchar_t* section, const wchar_t* entry, int value) {
  return Profile().WriteProfileInt(section, entry, value);
}

bool WriteProfileString(const wchar_t* section, const wchar_t* entry, const wchar_t* value) {
  return Profile().WriteProfileString(section, entry, value);
}

}  // namespace Zentrava::App
