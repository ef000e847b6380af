// The settings store against the prefix's real registry. Each test works under
// a program name of its own, HKCU\software\Zentrava\<name>, removed afterwards.
#include "app/settings_store.h"

#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

using Zentrava::App::SettingsStore;

constexpr wchar_t kRoot[] = L"Zentrava";

std::wstring ProgramKeyPath(const std::wstring& program) {
  return std::wstring(L"software\\") + kRoot + L"\\" + program;
}

class SettingsStoreTest : public ::testing::Test {
 protected:
  SettingsStoreTest() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("SettingsTest_") + info->name();
    program_.assign(name.begin(), name.end());
    for (wchar_t& c : program_)
      if (c == L'/') c = L'_';
    SHDeleteKeyW(HKEY_CURRENT_USER, ProgramKeyPath(program_).c_str());
  }
  ~SettingsStoreTest() override { SHDeleteKeyW(HKEY_CURRENT_USER, ProgramKeyPath(program_).c_str()); }

  SettingsStore Store() const { return SettingsStore(kRoot, program_); }
  std::wstring SectionPath(LPCWSTR section = L"Settings") const {
    return ProgramKeyPath(program_) + L"\\" + section;
  }
  bool SectionExists(LPCWSTR section = L"Settings") const {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SectionPath(section).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
      return false;
    RegCloseKey(key);
    return true;
  }
  // Stores raw bytes of any type, as a deployment script or a user might.
  // RegSetValueExW counts one more character for a string that lacks its
  // terminator when a zero happens to follow it in memory, so the bytes are
  // followed by non-zero padding to store exactly what the case says.
  void SetRaw(LPCWSTR entry, DWORD type, const std::vector<BYTE>& bytes) const {
    std::vector<BYTE> padded(bytes);
    padded.resize(bytes.size() + 8, 0xAB);
    const BYTE* data = padded.data();
    DWORD size = static_cast<DWORD>(bytes.size());
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, SectionPath().c_str(), 0, nullptr, 0,
                                             KEY_SET_VALUE, nullptr, &key, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, entry, 0, type, data, size));
    RegCloseKey(key);
  }
  // Type and bytes of a value; false when it is missing.
  bool GetRaw(LPCWSTR entry, DWORD* type, std::vector<BYTE>* data) const {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SectionPath().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
      return false;
    DWORD size = 0;
    LONG result = RegQueryValueExW(key, entry, nullptr, type, nullptr, &size);
    if (result == ERROR_SUCCESS) {
      data->assign(size, 0);
      result = RegQueryValueExW(key, entry, nullptr, type, data->data(), &size);
    }
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
  }

  std::wstring program_;
};

TEST_F(SettingsStoreTest, FreshProfileGivesDefaultsAndReadCreatesSection) {
  SettingsStore store = Store();
  EXPECT_FALSE(SectionExists());
  EXPECT_EQ(1, store.GetProfileInt(L"Settings", L"CloseType", 1));
  EXPECT_TRUE(SectionExists()) << "the first read creates the section key";
  EXPECT_EQ(0, store.GetProfileInt(L"Settings", L"CloseType", 0));
  EXPECT_EQ(-1, store.GetProfileInt(L"Settings", L"IsFirstStart", -1));
  EXPECT_EQ(L"", store.GetProfileString(L"Settings", L"ConfigUrl", L""));
  EXPECT_EQ(L"2016-03-05", store.GetProfileString(L"Settings", L"LastTimeUpdate", L"2016-03-05"));
  EXPECT_EQ(L"", store.GetProfileString(L"Settings", L"LastTimeUpdate", nullptr));
  EXPECT_EQ(L"", store.GetProfileString(L"Other", L"x", nullptr));
  EXPECT_TRUE(SectionExists(L"Other"));
}

TEST_F(SettingsStoreTest, IntegersRoundTripAsDword) {
  SettingsStore store = Store();
  for (int value : {0, 1, 7, -1, INT_MAX, INT_MIN}) {
    ASSERT_TRUE(store.WriteProfileInt(L"Settings", L"update_time", value));
    EXPECT_EQ(value, store.GetProfileInt(L"Settings", L"update_time", 12345));
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(GetRaw(L"update_time", &type, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    ASSERT_EQ(4u, data.size());
    EXPECT_EQ(static_cast<DWORD>(value), *reinterpret_cast<const DWORD*>(data.data()));
  }
}

TEST_F(SettingsStoreTest, StringsRoundTripAsTerminatedSz) {
  SettingsStore store = Store();
  const std::wstring long_text(5000, L'x');
  for (const std::wstring& text : {std::wstring(L"https://cfg.example/item.xml"), std::wstring(),
                                   std::wstring(L"\u8bc1\u4e66 2016/03/05"), long_text}) {
    ASSERT_TRUE(store.WriteProfileString(L"Settings", L"ConfigUrl", text.c_str()));
    EXPECT_EQ(text, store.GetProfileString(L"Settings", L"ConfigUrl", L"default"));
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(GetRaw(L"ConfigUrl", &type, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ((text.size() + 1) * sizeof(wchar_t), data.size());
  }
}

struct RawCase {
  const char* label;
  DWORD type;
  std::vector<BYTE> bytes;
  int asInt;            // read with default -7
  std::wstring asText;  // read with default L"dflt"
};

std::vector<BYTE> Utf16Bytes(const std::wstring& text) {
  const BYTE* p = reinterpret_cast<const BYTE*>(text.data());
  return std::vector<BYTE>(p, p + text.size() * sizeof(wchar_t));
}

// Neither read looks at the type: integers take up to 4 bytes of anything,
// strings take the bytes as UTF-16 up to the first zero.
TEST_F(SettingsStoreTest, ValuesOfAnyTypeReadByTheirBytes) {
  const std::wstring z(1, L'\0');
  const std::vector<RawCase> cases = {
      {"REG_SZ of one character", REG_SZ, Utf16Bytes(L"5" + z), 0x35, L"5"},
      {"empty REG_SZ", REG_SZ, Utf16Bytes(z), 0, L""},
      {"REG_SZ longer than 4 bytes", REG_SZ, Utf16Bytes(L"12" + z), -7, L"12"},
      {"REG_SZ without terminator", REG_SZ, Utf16Bytes(L"ab"), 0x00620061, L"ab"},
      {"odd byte count", REG_SZ, {'a', 0, 'b', 0, 'c'}, -7, L"abc"},
      {"embedded zero", REG_SZ, Utf16Bytes(L"ab" + z + L"cd" + z), -7, L"ab"},
      {"REG_EXPAND_SZ stays unexpanded", REG_EXPAND_SZ, Utf16Bytes(L"%TEMP%" + z), -7, L"%TEMP%"},
      {"REG_MULTI_SZ gives its first string", REG_MULTI_SZ, Utf16Bytes(L"x" + z + L"y" + z + z), -7, L"x"},
      {"REG_DWORD", REG_DWORD, {0x42, 0x00, 0x41, 0x00}, 0x00410042, L"BA"},
      {"two bytes of binary", REG_BINARY, {0x01, 0x02}, 0x0201, L"\u0201"},
      {"one byte of binary", REG_BINARY, {0xFF}, 0xFF, L"\u00FF"},
      {"empty binary", REG_BINARY, {}, 0, L""},
      {"REG_QWORD", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}, -7, L"\u0001"},
  };
  SettingsStore store = Store();
  for (const RawCase& c : cases) {
    SetRaw(L"value", c.type, c.bytes);
    DWORD type = 0;
    std::vector<BYTE> stored;
    ASSERT_TRUE(GetRaw(L"value", &type, &stored)) << c.label;
    ASSERT_EQ(c.bytes, stored) << c.label;
    EXPECT_EQ(c.asInt, store.GetProfileInt(L"Settings", L"value", -7)) << c.label;
    EXPECT_EQ(c.asText, store.GetProfileString(L"Settings", L"value", L"dflt")) << c.label;
  }
}

TEST_F(SettingsStoreTest, ProgramNameSelectsItsOwnKey) {
  SettingsStore mine = Store();
  SettingsStore other(kRoot, program_ + L"_other");
  ASSERT_TRUE(mine.WriteProfileInt(L"Settings", L"CloseType", 1));
  EXPECT_EQ(0, other.GetProfileInt(L"Settings", L"CloseType", 0));
  EXPECT_EQ(1, mine.GetProfileInt(L"Settings", L"CloseType", 0));
  SHDeleteKeyW(HKEY_CURRENT_USER, ProgramKeyPath(program_ + L"_other").c_str());

  DWORD type = 0;
  std::vector<BYTE> data;
  EXPECT_TRUE(GetRaw(L"CloseType", &type, &data)) << "stored under HKCU\\software\\Zentrava\\<program>\\Settings";
}

TEST_F(SettingsStoreTest, NullTextDeletesValueAndNullEntryDeletesSection) {
  SettingsStore store = Store();
  ASSERT_TRUE(store.WriteProfileInt(L"Settings", L"UserType", 1));
  ASSERT_TRUE(store.WriteProfileString(L"Settings", L"LastTimeUpdate", L"2016-03-05"));

  EXPECT_TRUE(store.WriteProfileString(L"Settings", L"UserType", nullptr));
  EXPECT_EQ(0, store.GetProfileInt(L"Settings", L"UserType", 0));
  EXPECT_FALSE(store.WriteProfileString(L"Settings", L"UserType", nullptr)) << "already gone";
  EXPECT_EQ(L"2016-03-05", store.GetProfileString(L"Settings", L"LastTimeUpdate", L""));

  EXPECT_TRUE(store.WriteProfileString(L"Settings", nullptr, nullptr));
  EXPECT_FALSE(SectionExists());
  EXPECT_FALSE(store.WriteProfileString(L"Settings", nullptr, nullptr)) << "already gone";
  EXPECT_EQ(L"", store.GetProfileString(L"Settings", L"LastTimeUpdate", L""));
}

TEST_F(SettingsStoreTest, UnusableNamesFailQuietly) {
  SettingsStore store = Store();
  EXPECT_EQ(9, store.GetProfileInt(nullptr, L"x", 9));
  EXPECT_EQ(L"d", store.GetProfileString(nullptr, L"x", L"d"));
  EXPECT_FALSE(store.WriteProfileInt(nullptr, L"x", 1));
  EXPECT_FALSE(store.WriteProfileString(nullptr, L"x", L"y"));
  // Deleting the "" section must not take the program's own key with it.
  ASSERT_TRUE(store.WriteProfileInt(L"Settings", L"CloseType", 1));
  EXPECT_FALSE(store.WriteProfileString(L"", nullptr, nullptr));
  EXPECT_EQ(1, store.GetProfileInt(L"Settings", L"CloseType", 0));

  SettingsStore nameless(kRoot, L"");
  EXPECT_EQ(3, nameless.GetProfileInt(L"Settings", L"CloseType", 3));
  EXPECT_FALSE(nameless.WriteProfileInt(L"Settings", L"CloseType", 1));
}

TEST(SettingsStoreNameTest, ProgramNameIsFileNameWithoutExtension) {
  EXPECT_EQ(L"app_settings_store_test", SettingsStore::ProgramNameFromModule());
  EXPECT_EQ(L"app_settings_store_test", SettingsStore::ProgramNameFromModule(nullptr));
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  ASSERT_NE(nullptr, kernel);
  EXPECT_EQ(L"kernel32", SettingsStore::ProgramNameFromModule(kernel));
}

}  // namespace
