#include "support/registry_key.h"

#include <algorithm>
#include <cwchar>
#include <new>
#include <utility>
#include <vector>

namespace Zentrava {
namespace {

constexpr REGSAM kViewBits = KEY_WOW64_64KEY | KEY_WOW64_32KEY;

using RegDeleteKeyExFn = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);

// RegDeleteKeyExW exists from Vista and XP x64 on; plain 32-bit XP has only
// RegDeleteKeyW, which cannot choose a view (and needs none there).
RegDeleteKeyExFn DeleteKeyExFunction() {
  static const RegDeleteKeyExFn fn = [] {
    HMODULE advapi = GetModuleHandleW(L"Advapi32.dll");
    if (!advapi) advapi = LoadLibraryW(L"Advapi32.dll");  // kept for the process's life
    return advapi ? reinterpret_cast<RegDeleteKeyExFn>(GetProcAddress(advapi, "RegDeleteKeyExW"))
                  : nullptr;
  }();
  return fn;
}

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

}  // namespace

RegistryKey::~RegistryKey() { Close(); }

RegistryKey::RegistryKey(RegistryKey&& other) noexcept
    : key_(std::exchange(other.key_, nullptr)), view_(std::exchange(other.view_, 0)) {}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
  if (this != &other) {
    Close();
    key_ = std::exchange(other.key_, nullptr);
    view_ = std::exchange(other.view_, 0);
  }
  return *this;
}

LONG RegistryKey::Adopt(HKEY key, REGSAM access) {
  LONG closed = Close();
  key_ = key;
  view_ = access & kViewBits;
  return closed;
}

LONG RegistryKey::Open(HKEY parent, LPCWSTR subKey, REGSAM access) {
  HKEY opened = nullptr;
  LONG rc = RegOpenKeyExW(parent, subKey, 0, access, &opened);
  if (rc != ERROR_SUCCESS) return rc;
  return Adopt(opened, access);
}

LONG RegistryKey::Create(HKEY parent, LPCWSTR subKey, REGSAM access) {
  HKEY created = nullptr;
  LONG rc = RegCreateKeyExW(parent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                            &created, nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  return Adopt(created, access);
}

LONG RegistryKey::Close() {
  LONG rc = ERROR_SUCCESS;
  if (key_) rc = RegCloseKey(key_);
  key_ = nullptr;
  view_ = 0;
  return rc;
}

LONG RegistryKey::QueryValue(LPCWSTR name, DWORD* type, void* data, ULONG* size) const {
  return RegQueryValueExW(key_, name, nullptr, type, static_cast<BYTE*>(data), size);
}

LONG RegistryKey::QueryDword(LPCWSTR name, DWORD* value) const {
  if (!value) return ERROR_INVALID_PARAMETER;
  DWORD type = REG_NONE;
  DWORD data = 0;
  DWORD size = sizeof(data);
  LONG rc = RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
  // Data longer than four bytes is no DWORD, whatever its stated type.
  if (rc == ERROR_MORE_DATA) return ERROR_INVALID_DATA;
  if (rc != ERROR_SUCCESS) return rc;
  // A REG_DWORD shorter than four bytes would leave stale high bytes.
  if (type != REG_DWORD || size != sizeof(data)) return ERROR_INVALID_DATA;
  *value = data;
  return ERROR_SUCCESS;
}

LONG RegistryKey::QueryString(LPCWSTR name, LPWSTR buffer, ULONG* length) const {
  if (!length) return ERROR_INVALID_PARAMETER;
  const ULONG chars = *length;
  if (chars > MAXDWORD / sizeof(WCHAR)) return ERROR_INVALID_PARAMETER;
  DWORD type = REG_NONE;
  DWORD bytes = chars * sizeof(WCHAR);

  if (!buffer) {
    LONG rc = RegQueryValueExW(key_, name, nullptr, &type, nullptr, &bytes);
    if (rc != ERROR_SUCCESS) return rc;
    if (!IsStringType(type)) return ERROR_INVALID_DATA;
    *length = (bytes + 1) / sizeof(WCHAR);  // room for every stored byte
    return ERROR_SUCCESS;
  }

  // Read into scratch space so that the caller's buffer keeps its contents
  // when the value turns out to be missing, of another type or malformed.
  std::vector<WCHAR> data;
  try {
    data.resize(chars > 0 ? chars : 1);
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  LONG rc = RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                             &bytes);
  if (rc == ERROR_MORE_DATA) {
    DWORD actualType = REG_NONE;
    if (RegQueryValueExW(key_, name, nullptr, &actualType, nullptr, nullptr) == ERROR_SUCCESS &&
        !IsStringType(actualType)) {
      return ERROR_INVALID_DATA;
    }
    return rc;
  }
  if (rc != ERROR_SUCCESS) return rc;
  if (!IsStringType(type)) return ERROR_INVALID_DATA;
  if (bytes != 0) {
    if (bytes % sizeof(WCHAR) != 0 || data[bytes / sizeof(WCHAR) - 1] != L'\0') {
      return ERROR_INVALID_DATA;
    }
    std::copy(data.begin(), data.begin() + bytes / sizeof(WCHAR), buffer);
  } else if (chars > 0) {
    buffer[0] = L'\0';
  }
  *length = bytes / sizeof(WCHAR);
  return ERROR_SUCCESS;
}

LONG RegistryKey::QueryString(LPCWSTR name, std::wstring* value) const {
  if (!value) return ERROR_INVALID_PARAMETER;
  // The value may grow between the size query and the read; try again then.
  for (int attempt = 0; attempt < 4; ++attempt) {
    ULONG chars = 0;
    LONG rc = QueryString(name, nullptr, &chars);
    if (rc != ERROR_SUCCESS) return rc;
    std::wstring text;
    try {
      text.resize(chars > 0 ? chars : 1);
    } catch (const std::bad_alloc&) {
      return ERROR_NOT_ENOUGH_MEMORY;
    }
    chars = static_cast<ULONG>(text.size());
    rc = QueryString(name, &text[0], &chars);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) return rc;
    text.resize(chars > 0 ? chars - 1 : 0);
    *value = std::move(text);
    return ERROR_SUCCESS;
  }
  return ERROR_MORE_DATA;
}

LONG RegistryKey::QueryBinary(LPCWSTR name, void* data, ULONG* size) const {
  if (!size) return ERROR_INVALID_PARAMETER;
  DWORD type = REG_NONE;
  DWORD bytes = *size;
  std::vector<BYTE> scratch;
  try {
    scratch.resize(bytes > 0 ? bytes : 1);
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  LONG rc = RegQueryValueExW(key_, name, nullptr, &type, data ? scratch.data() : nullptr, &bytes);
  if (rc == ERROR_MORE_DATA) {
    DWORD actualType = REG_NONE;
    if (RegQueryValueExW(key_, name, nullptr, &actualType, nullptr, nullptr) == ERROR_SUCCESS &&
        actualType != REG_BINARY) {
      return ERROR_INVALID_DATA;
    }
    return rc;
  }
  if (rc != ERROR_SUCCESS) return rc;
  if (type != REG_BINARY) return ERROR_INVALID_DATA;
  if (data) std::copy(scratch.begin(), scratch.begin() + bytes, static_cast<BYTE*>(data));
  *size = bytes;
  return ERROR_SUCCESS;
}

LONG RegistryKey::SetDword(LPCWSTR name, DWORD value) const {
  return RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                        sizeof(value));
}

LONG RegistryKey::SetString(LPCWSTR name, LPCWSTR value, DWORD type) const {
  if (!IsStringType(type)) return ERROR_INVALID_PARAMETER;
  if (!value) value = L"";
  const size_t bytes = (wcslen(value) + 1) * sizeof(WCHAR);
  if (bytes > MAXDWORD) return ERROR_INVALID_PARAMETER;
  return RegSetValueExW(key_, name, 0, type, reinterpret_cast<const BYTE*>(value),
                        static_cast<DWORD>(bytes));
}

LONG RegistryKey::SetBinary(LPCWSTR name, const void* data, ULONG size) const {
  if (!data && size != 0) return ERROR_INVALID_PARAMETER;
  return RegSetValueExW(key_, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size);
}

LONG RegistryKey::DeleteValue(LPCWSTR name) const { return RegDeleteValueW(key_, name); }

LONG RegistryKey::DeleteSubKey(LPCWSTR subKey) const {
  if (RegDeleteKeyExFn deleteKeyEx = DeleteKeyExFunction()) {
    return deleteKeyEx(key_, subKey, view_, 0);
  }
  return RegDeleteKeyW(key_, subKey);
}

LONG RegistryKey::RecurseDeleteKey(LPCWSTR subKey) const {
  RegistryKey child;
  LONG rc = child.Open(key_, subKey, KEY_READ | KEY_WRITE | view_);
  if (rc != ERROR_SUCCESS) return rc;
  // Key names are at most 255 characters, so 256 always holds one.
  WCHAR name[256];
  DWORD nameLength = ARRAYSIZE(name);
  FILETIME written;
  while (RegEnumKeyExW(child.key_, 0, name, &nameLength, nullptr, nullptr, nullptr, &written) ==
         ERROR_SUCCESS) {
    rc = child.RecurseDeleteKey(name);
    if (rc != ERROR_SUCCESS) return rc;
    nameLength = ARRAYSIZE(name);
  }
  child.Close();
  return DeleteSubKey(subKey);
}

}  // namespace Zentrava
