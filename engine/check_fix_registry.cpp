#include "engine/check_fix_registry.h"

#include <cstdlib>
#include <cstring>

namespace Zentrava {
namespace Assistant {

namespace {

constexpr wchar_t kSystemPolicyKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr wchar_t kRegistryToolsLock[] = L"Disableregistrytools";
// KEY_READ with KEY_SET_VALUE and KEY_CREATE_SUB_KEY.
constexpr REGSAM kEntryAccess = 0x2001F;
constexpr size_t kBinaryLimit = 4096;
constexpr ULONG kStringLimit = 512;

bool IsNotFound(LONG error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Whether the registry tools are locked; `key` is left open on the policy key
// when it could be opened.
bool RegistryToolsLocked(RegistryKey* key) {
  if (key->Open(HKEY_CURRENT_USER, kSystemPolicyKey, kEntryAccess) != ERROR_SUCCESS) return false;
  DWORD type = 0, value = 0;
  ULONG size = sizeof(value);
  if (key->QueryValue(kRegistryToolsLock, &type, &value, &size) != ERROR_SUCCESS) return false;
  return type == REG_DWORD && size == sizeof(value) && value != 0;
}

// A REG_DWORD query with a 4-byte buffer: error code, type and value.
LONG QueryDwordValue(const RegistryKey& key, const std::wstring& name, DWORD* type, DWORD* value) {
  ULONG size = sizeof(*value);
  return key.QueryValue(name.empty() ? nullptr : name.c_str(), type, value, &size);
}

// The stored bytes equal the expected ones over the stored length.
bool BinaryMatches(const unsigned char* stored, ULONG storedSize,
                   const std::vector<unsigned char>& expected) {
  if (expected.size() < storedSize) return false;
  return storedSize == 0 || std::memcmp(stored, expected.data(), storedSize) == 0;
}

int32_t CheckDword(const RegistryKey& key, const std::wstring& name, const ConfigEntry& entry) {
  const std::string& maskText = entry.attributes.Get("mask");
  DWORD mask = maskText.empty() ? 0xFFFFFFFFu : static_cast<DWORD>(atoi(maskText.c_str()));
  DWORD expected = static_cast<DWORD>(atoi(entry.attributes.Get("value").c_str()));
  DWORD type = 0, stored = 0;
  if (QueryDwordValue(key, name, &type, &stored) != ERROR_SUCCESS || type != REG_DWORD)
    return ResultFail;
  return (stored & mask) == (expected & mask) ? ResultPass : ResultFail;
}

LONG QueryBoundedString(const RegistryKey& key, const std::wstring& name, std::wstring* value) {
  wchar_t buffer[kStringLimit];
  ULONG length = kStringLimit;
  LONG error = key.QueryString(name.empty() ? nullptr : name.c_str(), buffer, &length);
  if (error != ERROR_SUCCESS) return error;
  value->assign(buffer, length ? length - 1 : 0);
  return ERROR_SUCCESS;
}

LONG QueryBinaryValue(const RegistryKey& key, const std::wstring& name, unsigned char* buffer,
                      ULONG* size, DWORD* type) {
  *size = kBinaryLimit;
  return key.QueryValue(name.empty() ? nullptr : name.c_str(), type, buffer, size);
}

int32_t FixDword(const RegistryKey& key, const std::wstring& name, const ConfigEntry& entry) {
  const std::string& maskText = entry.attributes.Get("mask");
  DWORD mask = maskText.empty() ? 0xFFFFFFFFu : static_cast<DWORD>(atoi(maskText.c_str()));
  DWORD expected = static_cast<DWORD>(atoi(entry.attributes.Get("value").c_str()));
  DWORD type = 0, stored = 0;
  LONG error = QueryDwordValue(key, name, &type, &stored);
  DWORD toWrite;
  if (IsNotFound(error)) {
    toWrite = expected;
  } else if (error != ERROR_SUCCESS || type != REG_DWORD) {
    return ResultFail;
  } else if ((stored & mask) == (expected & mask)) {
    return ResultPass;
  } else {
    toWrite = (stored & ~mask) | (expected & mask);
  }
  return key.SetDword(name.empty() ? nullptr : name.c_str(), toWrite) == ERROR_SUCCESS
             ? ResultPass
             : ResultFail;
}

int32_t FixString(const RegistryKey& key, const std::wstring& name, const ConfigEntry& entry) {
  std::wstring expected = Utf8ToWide(entry.attributes.Get("value"));
  std::wstring stored;
  LONG error = QueryBoundedString(key, name, &stored);
  if (error == ERROR_SUCCESS && stored == expected) return ResultPass;
  if (error != ERROR_SUCCESS && !IsNotFound(error)) return ResultFail;
  return key.SetString(name.empty() ? nullptr : name.c_str(), expected.c_str()) == ERROR_SUCCESS
             ? ResultPass
             : ResultFail;
}

int32_t FixBinary(const RegistryKey& key, const std::wstring& name, const ConfigEntry& entry) {
  std::vector<unsigned char> expected = DecodeHexBytes(entry.attributes.Get("value"));
  std::vector<unsigned char> stored(kBinaryLimit);
  ULONG size = 0;
  DWORD type = 0;
  LONG error = QueryBinaryValue(key, name, stored.data(), &size, &type);
  if (error == ERROR_SUCCESS) {
    if (type != REG_BINARY) return ResultFail;
    if (BinaryMatches(stored.data(), size, expected)) return ResultPass;
  } else if (!IsNotFound(error)) {
    return ResultFail;
  }
  return key.SetBinary(name.empty() ? nullptr : name.c_str(), expected.data(),
                       static_cast<ULONG>(expected.size())) == ERROR_SUCCESS
             ? ResultPass
             : ResultFail;
}

}  // namespace

HKEY RootKeyFromName(const std::string& rootName) {
  std::string upper;
  for (char c : rootName) upper.push_back(static_cast<char>(toupper(static_cast<unsigned char>(c))));
  if (upper == "HKLM" || upper == "HKEY_LOCAL_MACHINE") return HKEY_LOCAL_MACHINE;
  if (upper == "HKCR" || upper == "HKEY_CLASSES_ROOT") return HKEY_CLASSES_ROOT;
  return HKEY_CURRENT_USER;
}

std::vector<unsigned char> DecodeHexBytes(const std::string& text) {
  std::vector<unsigned char> bytes;
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) break;
    bytes.push_back(static_cast<unsigned char>(high * 16 + low));
  }
  return bytes;
}

bool OpenEntryKey(const ConfigEntry& entry, bool create, RegistryKey* key) {
  size_t slash = entry.text.find('\\');
  if (slash == std::string::npos) return false;
  Wow64EntryGuard guard(entry);
  REGSAM access = kEntryAccess | guard.RegistryViewFlag();
  HKEY root = RootKeyFromName(entry.text.substr(0, slash));
  std::wstring subKey = Utf8ToWide(entry.text.substr(slash + 1));
  if (key->Open(root, subKey.c_str(), access) == ERROR_SUCCESS) return true;
  return create && key->Create(root, subKey.c_str(), access) == ERROR_SUCCESS;
}

int32_t CheckFixRegistry::BeginCheck() {
  RegistryKey policy;
  return RegistryToolsLocked(&policy) ? ResultFail : ResultPass;
}

int32_t CheckFixRegistry::BeginFix() {
  RegistryKey policy;
  if (!RegistryToolsLocked(&policy)) return ResultPass;
  return policy.DeleteValue(kRegistryToolsLock) == ERROR_SUCCESS ? ResultPass : ResultFail;
}

int32_t CheckFixRegistry::Check(ConfigEntry& entry) {
  if (SkipsOnThisProcessor(entry)) return ResultPass;
  RegistryKey key;
  if (!OpenEntryKey(entry, false, &key)) return ResultFail;
  const std::string& type = entry.attributes.Get("type");
  std::wstring name = Utf8ToWide(entry.attributes.Get("name"));

  if (type == "reg_dword") return CheckDword(key, name, entry);
  if (type == "reg_sz") {
    std::wstring stored;
    if (QueryBoundedString(key, name, &stored) != ERROR_SUCCESS) return ResultFail;
    return stored == Utf8ToWide(entry.attributes.Get("value")) ? ResultPass : ResultFail;
  }
  std::vector<unsigned char> stored(kBinaryLimit);
  ULONG size = 0;
  DWORD storedType = 0;
  LONG error = QueryBinaryValue(key, name, stored.data(), &size, &storedType);
  if (type == "reg_binary") {
    if (error != ERROR_SUCCESS || storedType != REG_BINARY) return ResultFail;
    return BinaryMatches(stored.data(), size, DecodeHexBytes(entry.attributes.Get("value")))
               ? ResultPass
               : ResultFail;
  }
  // A value too large for the buffer exists all the same.
  return error == ERROR_SUCCESS || error == ERROR_MORE_DATA ? ResultPass : ResultFail;
}

int32_t CheckFixRegistry::Fix(ConfigEntry& entry) {
  RegistryKey key;
  if (!OpenEntryKey(entry, true, &key)) return ResultFail;
  const std::string& type = entry.attributes.Get("type");
  std::wstring name = Utf8ToWide(entry.attributes.Get("name"));
  if (type == "reg_dword") return FixDword(key, name, entry);
  if (type == "reg_sz") return FixString(key, name, entry);
  if (type == "reg_binary") return FixBinary(key, name, entry);
  // An existence requirement without a type says nothing about what to write.
  return ResultFail;
}

}  // namespace Assistant
}  // namespace Zentrava
