// An open registry key that remembers the registry view (32- or 64-bit) it
// was opened in, so that deletions below it act in the same view. Every
// operation returns a Win32 error code (ERROR_SUCCESS = 0) and never throws;
// out-parameters are left as they were on failure.
#pragma once

#include <windows.h>

#include <string>

namespace Zentrava {

class RegistryKey {
 public:
  RegistryKey() noexcept = default;
  ~RegistryKey();
  RegistryKey(RegistryKey&& other) noexcept;
  RegistryKey& operator=(RegistryKey&& other) noexcept;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // Opens `subKey` below `parent`. On failure the key held so far stays
  // open and untouched; on success it is closed and the result of that
  // close is returned (0 when nothing was held).
  LONG Open(HKEY parent, LPCWSTR subKey, REGSAM access = KEY_READ | KEY_WRITE);
  // Opens or creates `subKey` (non-volatile); otherwise as Open.
  LONG Create(HKEY parent, LPCWSTR subKey, REGSAM access = KEY_READ | KEY_WRITE);
  // Closes the held key, if any; the view bits return to 0.
  LONG Close();

  // Reads a REG_DWORD. Any other type or size gives ERROR_INVALID_DATA.
  LONG QueryDword(LPCWSTR name, DWORD* value) const;
  // Reads a REG_SZ or REG_EXPAND_SZ (not expanded) into `buffer` of
  // *length characters. Stored data with an odd byte count or without its
  // terminating zero gives ERROR_INVALID_DATA; too small a buffer gives
  // ERROR_MORE_DATA. On success *length is the stored character count,
  // terminating zero included. With a null buffer only *length is set (the
  // characters needed).
  LONG QueryString(LPCWSTR name, LPWSTR buffer, ULONG* length) const;
  // Convenience: the whole string of any length, under the same rules.
  LONG QueryString(LPCWSTR name, std::wstring* value) const;
  // Reads a REG_BINARY into `data` of *size bytes; *size becomes the stored
  // byte count. Any other type gives ERROR_INVALID_DATA.
  LONG QueryBinary(LPCWSTR name, void* data, ULONG* size) const;
  // Raw RegQueryValueExW: type and bytes of any value, no checks.
  LONG QueryValue(LPCWSTR name, DWORD* type, void* data, ULONG* size) const;

  LONG SetDword(LPCWSTR name, DWORD value) const;
  // Stores `value` with its terminating zero, as REG_SZ or REG_EXPAND_SZ.
  LONG SetString(LPCWSTR name, LPCWSTR value, DWORD type = REG_SZ) const;
  LONG SetBinary(LPCWSTR name, const void* data, ULONG size) const;
  LONG DeleteValue(LPCWSTR name) const;

  // Deletes the (childless) key `subKey` below the held key, in this key's
  // view (RegDeleteKeyExW where the platform has it, else RegDeleteKeyW).
  LONG DeleteSubKey(LPCWSTR subKey) const;
  // Deletes `subKey` and its whole tree, depth first, in this key's view.
  LONG RecurseDeleteKey(LPCWSTR subKey) const;

  HKEY Handle() const noexcept { return key_; }
  bool IsOpen() const noexcept { return key_ != nullptr; }
  // KEY_WOW64_64KEY / KEY_WOW64_32KEY bits of the last successful Open or
  // Create; 0 when closed.
  DWORD View() const noexcept { return view_; }

 private:
  LONG Adopt(HKEY key, REGSAM access);

  HKEY key_ = nullptr;
  DWORD view_ = 0;
};

}  // namespace Zentrava
