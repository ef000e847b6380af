#include "support/registry_key.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Zentrava {
namespace {

constexpr WCHAR kPoison = 0xBDBD;

// Each test works below its own key, which the fixture removes in every view.
class RegistryKeyTest : public testing::Test {
 protected:
  void SetUp() override {
    name_ = L"Software\\ZentravaRegistryKeyTest" + std::to_wstring(GetCurrentProcessId()) +
            L"_" + std::to_wstring(counter_++);
    ASSERT_EQ(ERROR_SUCCESS, key_.Create(HKEY_CURRENT_USER, name_.c_str()));
  }
  void TearDown() override {
    key_.Close();
    RegDeleteTreeW(HKEY_CURRENT_USER, name_.c_str());
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
      HKEY software = nullptr;
      if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_ALL_ACCESS | view, &software) ==
          ERROR_SUCCESS) {
        RegDeleteTreeW(software, MachineName().c_str());
        RegCloseKey(software);
      }
    }
  }

  std::wstring MachineName() const { return name_.substr(wcslen(L"Software\\")); }

  // Stores exactly `size` bytes. The platform adds a terminating zero to a
  // string whose count forgot it when a zero follows the data, so the data
  // is followed by non-zero bytes to keep it from doing so.
  void SetRaw(LPCWSTR value, DWORD type, const void* data, DWORD size) {
    std::vector<BYTE> padded(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
    padded.insert(padded.end(), 4, 'X');
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key_.Handle(), value, 0, type, padded.data(), size));
    DWORD stored = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key_.Handle(), value, nullptr, nullptr, nullptr, &stored));
    ASSERT_EQ(size, stored);
  }

  bool Exists(HKEY root, const std::wstring& path, REGSAM view) {
    HKEY probe = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &probe) != ERROR_SUCCESS) {
      return false;
    }
    RegCloseKey(probe);
    return true;
  }

  static int counter_;
  std::wstring name_;
  RegistryKey key_;
};
int RegistryKeyTest::counter_ = 0;

TEST_F(RegistryKeyTest, FailedOpenKeepsTheKeyHeldBefore) {
  RegistryKey key;
  ASSERT_EQ(ERROR_SUCCESS, key.Open(HKEY_CURRENT_USER, name_.c_str(), KEY_READ | KEY_WOW64_64KEY));
  const HKEY held = key.Handle();
  EXPECT_EQ(static_cast<DWORD>(KEY_WOW64_64KEY), key.View());

  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            key.Open(HKEY_CURRENT_USER, (name_ + L"\\missing").c_str(), KEY_READ | KEY_WOW64_32KEY));
  EXPECT_EQ(held, key.Handle());
  EXPECT_EQ(static_cast<DWORD>(KEY_WOW64_64KEY), key.View());

  // A successful reopen takes the new view; Close forgets it.
  ASSERT_EQ(ERROR_SUCCESS, key.Open(HKEY_CURRENT_USER, name_.c_str(), KEY_READ | KEY_WOW64_32KEY));
  EXPECT_EQ(static_cast<DWORD>(KEY_WOW64_32KEY), key.View());
  EXPECT_EQ(ERROR_SUCCESS, key.Close());
  EXPECT_FALSE(key.IsOpen());
  EXPECT_EQ(0u, key.View());
}

TEST_F(RegistryKeyTest, CreateMakesMissingKeysAndMovesOwnership) {
  RegistryKey created;
  ASSERT_EQ(ERROR_SUCCESS, created.Create(key_.Handle(), L"a\\b"));
  EXPECT_TRUE(Exists(HKEY_CURRENT_USER, name_ + L"\\a\\b", 0));

  RegistryKey moved(std::move(created));
  EXPECT_FALSE(created.IsOpen());
  ASSERT_TRUE(moved.IsOpen());
  EXPECT_EQ(ERROR_SUCCESS, moved.SetDword(L"n", 7));
  DWORD value = 0;
  EXPECT_EQ(ERROR_SUCCESS, moved.QueryDword(L"n", &value));
  EXPECT_EQ(7u, value);
}

struct StringCase {
  const char* label;
  DWORD type;
  std::vector<BYTE> data;
  ULONG bufferChars;
  LONG expected;
  std::wstring text;  // on success
  ULONG length;       // on success
};

std::vector<BYTE> Bytes(const std::wstring& text, size_t extraZeros, size_t dropBytes = 0) {
  std::vector<BYTE> bytes(reinterpret_cast<const BYTE*>(text.data()),
                          reinterpret_cast<const BYTE*>(text.data() + text.size()));
  bytes.insert(bytes.end(), extraZeros * sizeof(WCHAR), 0);
  bytes.resize(bytes.size() - dropBytes);
  return bytes;
}

TEST_F(RegistryKeyTest, QueryStringFollowsTheTerminationRules) {
  const DWORD dword = 0x12345678;
  const std::vector<BYTE> dwordBytes(reinterpret_cast<const BYTE*>(&dword),
                                     reinterpret_cast<const BYTE*>(&dword) + 4);
  const StringCase cases[] = {
      {"terminated", REG_SZ, Bytes(L"abc", 1), 16, ERROR_SUCCESS, L"abc", 4},
      {"fills the buffer exactly", REG_SZ, Bytes(L"abc", 1), 4, ERROR_SUCCESS, L"abc", 4},
      {"expand sz is not expanded", REG_EXPAND_SZ, Bytes(L"%windir%", 1), 16, ERROR_SUCCESS,
       L"%windir%", 9},
      {"zero bytes", REG_SZ, {}, 16, ERROR_SUCCESS, L"", 0},
      {"without terminating zero", REG_SZ, Bytes(L"abc", 0), 16, ERROR_INVALID_DATA, L"", 0},
      {"odd byte count", REG_SZ, Bytes(L"abc", 1, 1), 16, ERROR_INVALID_DATA, L"", 0},
      {"odd count ending in zero", REG_SZ, {'a', 0, 0}, 16, ERROR_INVALID_DATA, L"", 0},
      {"dword", REG_DWORD, dwordBytes, 16, ERROR_INVALID_DATA, L"", 0},
      {"dword into a small buffer", REG_DWORD, dwordBytes, 1, ERROR_INVALID_DATA, L"", 0},
      {"binary", REG_BINARY, Bytes(L"abc", 1), 16, ERROR_INVALID_DATA, L"", 0},
      {"multi sz", REG_MULTI_SZ, Bytes(L"abc", 2), 16, ERROR_INVALID_DATA, L"", 0},
      {"buffer too small", REG_SZ, Bytes(L"abcdef", 1), 4, ERROR_MORE_DATA, L"", 0},
  };
  for (const StringCase& c : cases) {
    SCOPED_TRACE(c.label);
    SetRaw(L"v", c.type, c.data.empty() ? nullptr : c.data.data(),
           static_cast<DWORD>(c.data.size()));
    std::vector<WCHAR> buffer(c.bufferChars + 1, kPoison);
    ULONG length = c.bufferChars;
    EXPECT_EQ(c.expected, key_.QueryString(L"v", buffer.data(), &length));
    if (c.expected == ERROR_SUCCESS) {
      EXPECT_EQ(c.length, length);
      EXPECT_EQ(c.text, std::wstring(buffer.data()));
    } else {
      EXPECT_EQ(c.bufferChars, length);
      for (WCHAR ch : buffer) ASSERT_EQ(kPoison, ch) << "buffer written on failure";
    }
    EXPECT_EQ(kPoison, buffer[c.bufferChars]) << "written past the buffer";
  }
}

TEST_F(RegistryKeyTest, QueryStringOfMissingValueLeavesOutputsAlone) {
  WCHAR buffer[8];
  std::fill(std::begin(buffer), std::end(buffer), kPoison);
  ULONG length = 8;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, key_.QueryString(L"missing", buffer, &length));
  EXPECT_EQ(8u, length);
  EXPECT_EQ(kPoison, buffer[0]);

  std::wstring text = L"kept";
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, key_.QueryString(L"missing", &text));
  EXPECT_EQ(L"kept", text);
}

TEST_F(RegistryKeyTest, QueryStringSizesAndWholeStrings) {
  const std::wstring longText(1000, L'x');
  ASSERT_EQ(ERROR_SUCCESS, key_.SetString(L"long", longText.c_str()));
  ULONG length = 0;
  EXPECT_EQ(ERROR_SUCCESS, key_.QueryString(L"long", nullptr, &length));
  EXPECT_EQ(1001u, length);

  std::wstring text;
  EXPECT_EQ(ERROR_SUCCESS, key_.QueryString(L"long", &text));
  EXPECT_EQ(longText, text);

  ASSERT_EQ(ERROR_SUCCESS, key_.SetString(L"empty", L""));
  text = L"old";
  EXPECT_EQ(ERROR_SUCCESS, key_.QueryString(L"empty", &text));
  EXPECT_EQ(L"", text);

  ASSERT_EQ(ERROR_SUCCESS, key_.SetString(L"expand", L"%TEMP%", REG_EXPAND_SZ));
  DWORD type = 0;
  EXPECT_EQ(ERROR_SUCCESS, key_.QueryValue(L"expand", &type, nullptr, nullptr));
  EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), type);
}

TEST_F(RegistryKeyTest, QueryDwordRequiresFourBytesOfDword) {
  const DWORD dword = 0x12345678;
  const WORD shortDword = 0x4242;
  struct {
    const char* label;
    DWORD type;
    std::vector<BYTE> data;
    LONG expected;
  } cases[] = {
      {"dword", REG_DWORD, {0x78, 0x56, 0x34, 0x12}, ERROR_SUCCESS},
      {"short string", REG_SZ, Bytes(L"a", 1), ERROR_INVALID_DATA},
      {"long string", REG_SZ, Bytes(L"abcdef", 1), ERROR_INVALID_DATA},
      {"four binary bytes", REG_BINARY, {1, 2, 3, 4}, ERROR_INVALID_DATA},
      {"two-byte dword", REG_DWORD,
       {static_cast<BYTE>(shortDword), static_cast<BYTE>(shortDword >> 8)}, ERROR_INVALID_DATA},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    SetRaw(L"d", c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
    DWORD value = 0xDEADBEEF;
    EXPECT_EQ(c.expected, key_.QueryDword(L"d", &value));
    EXPECT_EQ(c.expected == ERROR_SUCCESS ? dword : 0xDEADBEEF, value);
  }
  DWORD value = 0xDEADBEEF;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, key_.QueryDword(L"missing", &value));
  EXPECT_EQ(0xDEADBEEF, value);
}

TEST_F(RegistryKeyTest, BinaryValuesAndValueDeletion) {
  const BYTE stored[] = {0, 1, 2, 0xFF};
  ASSERT_EQ(ERROR_SUCCESS, key_.SetBinary(L"b", stored, sizeof(stored)));
  BYTE read[8] = {};
  ULONG size = sizeof(read);
  EXPECT_EQ(ERROR_SUCCESS, key_.QueryBinary(L"b", read, &size));
  EXPECT_EQ(sizeof(stored), size);
  EXPECT_EQ(0, memcmp(stored, read, sizeof(stored)));

  ASSERT_EQ(ERROR_SUCCESS, key_.SetDword(L"d", 1));
  size = sizeof(read);
  EXPECT_EQ(ERROR_INVALID_DATA, key_.QueryBinary(L"d", read, &size));
  EXPECT_EQ(sizeof(read), size);

  EXPECT_EQ(ERROR_SUCCESS, key_.DeleteValue(L"b"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, key_.DeleteValue(L"b"));
}

TEST_F(RegistryKeyTest, RecurseDeleteKeyRemovesANestedTree) {
  for (LPCWSTR path : {L"tree\\a\\b\\c", L"tree\\a\\b\\d", L"tree\\a\\e", L"tree\\f", L"keep"}) {
    RegistryKey child;
    ASSERT_EQ(ERROR_SUCCESS, child.Create(key_.Handle(), path));
    ASSERT_EQ(ERROR_SUCCESS, child.SetString(L"v", path));
  }
  EXPECT_EQ(ERROR_SUCCESS, key_.RecurseDeleteKey(L"tree"));
  EXPECT_FALSE(Exists(HKEY_CURRENT_USER, name_ + L"\\tree", 0));
  EXPECT_TRUE(Exists(HKEY_CURRENT_USER, name_ + L"\\keep", 0));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, key_.RecurseDeleteKey(L"tree"));
}

TEST_F(RegistryKeyTest, DeleteSubKeyOnlyTakesChildlessKeys) {
  RegistryKey child;
  ASSERT_EQ(ERROR_SUCCESS, child.Create(key_.Handle(), L"parent\\child"));
  child.Close();
  EXPECT_NE(ERROR_SUCCESS, key_.DeleteSubKey(L"parent"));
  EXPECT_TRUE(Exists(HKEY_CURRENT_USER, name_ + L"\\parent\\child", 0));
  EXPECT_EQ(ERROR_SUCCESS, key_.DeleteSubKey(L"parent\\child"));
  EXPECT_EQ(ERROR_SUCCESS, key_.DeleteSubKey(L"parent"));
}

// Under HKLM\Software the 32-bit view is a separate tree (Wow6432Node), so a
// key of one name can exist twice; deletions must act in the parent's view.
TEST_F(RegistryKeyTest, DeletionsActInTheViewTheParentWasOpenedIn) {
  const std::wstring machine = MachineName();
  for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    RegistryKey software;
    ASSERT_EQ(ERROR_SUCCESS, software.Open(HKEY_LOCAL_MACHINE, L"Software", KEY_ALL_ACCESS | view));
    RegistryKey leaf;
    ASSERT_EQ(ERROR_SUCCESS, leaf.Create(software.Handle(), (machine + L"\\x\\y").c_str(),
                                         KEY_ALL_ACCESS | view));
    ASSERT_EQ(ERROR_SUCCESS, leaf.SetDword(L"view", view));
  }
  const std::wstring path = L"Software\\" + machine;
  {
    RegistryKey check;
    ASSERT_EQ(ERROR_SUCCESS,
              check.Open(HKEY_LOCAL_MACHINE, (path + L"\\x\\y").c_str(), KEY_READ | KEY_WOW64_32KEY));
    DWORD view = 0;
    ASSERT_EQ(ERROR_SUCCESS, check.QueryDword(L"view", &view));
    if (view != KEY_WOW64_32KEY) GTEST_SKIP() << "registry views are not separate here";
  }

  RegistryKey parent64;
  ASSERT_EQ(ERROR_SUCCESS,
            parent64.Open(HKEY_LOCAL_MACHINE, (path + L"\\x").c_str(), KEY_ALL_ACCESS | KEY_WOW64_64KEY));
  EXPECT_EQ(ERROR_SUCCESS, parent64.DeleteSubKey(L"y"));
  EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, path + L"\\x\\y", KEY_WOW64_64KEY));
  EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, path + L"\\x\\y", KEY_WOW64_32KEY));

  RegistryKey software32;
  ASSERT_EQ(ERROR_SUCCESS,
            software32.Open(HKEY_LOCAL_MACHINE, L"Software", KEY_ALL_ACCESS | KEY_WOW64_32KEY));
  EXPECT_EQ(ERROR_SUCCESS, software32.RecurseDeleteKey(machine.c_str()));
  EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, path, KEY_WOW64_32KEY));
  EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, path + L"\\x", KEY_WOW64_64KEY));
}

}  // namespace
}  // namespace Zentrava
