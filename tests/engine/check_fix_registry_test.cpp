// Registry and COM entries against the prefix's real registry.
#include "engine/check_fix_com.h"
#include "engine/check_fix_registry.h"

#include <gtest/gtest.h>

#include <string>

namespace za = Zentrava::Assistant;

namespace {

constexpr wchar_t kScratch[] = L"Software\\ZentravaEngineTest";
constexpr wchar_t kPolicy[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";

za::ConfigEntry Entry(const std::string& text, std::initializer_list<std::pair<const char*, const char*>> attributes) {
  za::ConfigEntry entry;
  entry.text = text;
  for (const auto& attribute : attributes) entry.attributes.Set(attribute.first, attribute.second);
  return entry;
}

class RegistryEntryTest : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kScratch); }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kPolicy, L"Disableregistrytools");
  }
  void SetDword(const wchar_t* name, DWORD value) {
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, kScratch, name, REG_DWORD, &value, 4));
  }
  void SetString(const wchar_t* name, const std::wstring& value) {
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, kScratch, name, REG_SZ, value.c_str(),
                                             static_cast<DWORD>((value.size() + 1) * 2)));
  }
  DWORD GetDword(const wchar_t* name) {
    DWORD value = 0xdeadbeef, size = 4;
    RegGetValueW(HKEY_CURRENT_USER, kScratch, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
  }
  za::CheckFixRegistry registry;
};

}  // namespace

TEST_F(RegistryEntryTest, DwordWithMask) {
  za::ConfigEntry entry =
      Entry("HKCU\\Software\\ZentravaEngineTest", {{"type", "reg_dword"}, {"name", "v"}, {"value", "1"}, {"mask", "1"}});
  EXPECT_EQ(-2, registry.Check(entry));
  EXPECT_EQ(2, registry.Fix(entry));  // missing: the whole value is written
  EXPECT_EQ(1u, GetDword(L"v"));
  SetDword(L"v", 3);
  EXPECT_EQ(2, registry.Check(entry));
  SetDword(L"v", 2);
  EXPECT_EQ(-2, registry.Check(entry));
  EXPECT_EQ(2, registry.Fix(entry));
  EXPECT_EQ(3u, GetDword(L"v"));

  za::ConfigEntry full = Entry("HKEY_CURRENT_USER\\Software\\ZentravaEngineTest",
                               {{"type", "reg_dword"}, {"name", "w"}, {"value", "-1"}});
  EXPECT_EQ(2, registry.Fix(full));
  EXPECT_EQ(0xFFFFFFFFu, GetDword(L"w"));
  EXPECT_EQ(2, registry.Check(full));
  SetString(L"w", L"text");  // wrong type: neither passes nor is overwritten
  EXPECT_EQ(-2, registry.Check(full));
  EXPECT_EQ(-2, registry.Fix(full));
}

TEST_F(RegistryEntryTest, StringsAreCaseSensitive) {
  za::ConfigEntry entry = Entry("hkcu\\Software\\ZentravaEngineTest",
                                {{"type", "reg_sz"}, {"name", "s"}, {"value", "abc \xE4\xB8\xAD"}});
  SetString(L"s", L"ABC \x4E2D");
  EXPECT_EQ(-2, registry.Check(entry));
  EXPECT_EQ(2, registry.Fix(entry));
  EXPECT_EQ(2, registry.Check(entry));
  wchar_t stored[32] = {};
  DWORD size = sizeof(stored);
  RegGetValueW(HKEY_CURRENT_USER, kScratch, L"s", RRF_RT_REG_SZ, nullptr, stored, &size);
  EXPECT_STREQ(L"abc \x4E2D", stored);
}

TEST_F(RegistryEntryTest, BinaryComparesOverTheStoredLength) {
  za::ConfigEntry entry = Entry("HKCU\\Software\\ZentravaEngineTest",
                                {{"type", "reg_binary"}, {"name", "b"}, {"value", "0aFf10zz99"}});
  EXPECT_EQ(3u, za::DecodeHexBytes("0aFf10zz99").size());
  EXPECT_EQ(2u, za::DecodeHexBytes("0aff1").size());
  EXPECT_EQ(-2, registry.Check(entry));
  EXPECT_EQ(2, registry.Fix(entry));
  EXPECT_EQ(2, registry.Check(entry));
  const unsigned char prefix[] = {0x0a, 0xff};
  RegSetKeyValueW(HKEY_CURRENT_USER, kScratch, L"b", REG_BINARY, prefix, 2);
  EXPECT_EQ(2, registry.Check(entry));  // the stored length decides
  const unsigned char longer[] = {0x0a, 0xff, 0x10, 0x00};
  RegSetKeyValueW(HKEY_CURRENT_USER, kScratch, L"b", REG_BINARY, longer, 4);
  EXPECT_EQ(-2, registry.Check(entry));
}

TEST_F(RegistryEntryTest, ExistenceAndRoots) {
  za::ConfigEntry exists = Entry("HKU\\Software\\ZentravaEngineTest", {{"name", "e"}});
  EXPECT_EQ(-2, registry.Check(exists));
  EXPECT_EQ(-2, registry.Fix(exists));  // nothing to write
  SetString(L"e", L"x");
  EXPECT_EQ(2, registry.Check(exists));  // an unknown root is HKEY_CURRENT_USER
  za::ConfigEntry defaultValue = Entry("HKCU\\Software\\ZentravaEngineTest", {});
  EXPECT_EQ(-2, registry.Check(defaultValue));
  za::ConfigEntry noSlash = Entry("HKCU", {{"type", "reg_sz"}, {"value", "x"}});
  EXPECT_EQ(-2, registry.Check(noSlash));
  EXPECT_EQ(-2, registry.Fix(noSlash));
  EXPECT_EQ(HKEY_LOCAL_MACHINE, za::RootKeyFromName("hkey_local_machine"));
  EXPECT_EQ(HKEY_CLASSES_ROOT, za::RootKeyFromName("HKCR"));
  EXPECT_EQ(HKEY_CURRENT_USER, za::RootKeyFromName("HKEY_USERS"));
}

TEST_F(RegistryEntryTest, HklmEntries) {
  za::ConfigEntry entry = Entry("HKLM\\Software\\ZentravaEngineTest",
                                {{"type", "reg_dword"}, {"name", "m"}, {"value", "5"}});
  EXPECT_EQ(2, registry.Fix(entry));
  EXPECT_EQ(2, registry.Check(entry));
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, kScratch);
}

TEST_F(RegistryEntryTest, RegistryToolsLock) {
  za::ConfigType type;
  type.name = "registry";
  type.entries.push_back(Entry("HKCU\\Software\\ZentravaEngineTest",
                               {{"type", "reg_dword"}, {"name", "v"}, {"value", "7"}}));
  type.entries[0].state = 5;
  DWORD one = 1;
  RegSetKeyValueW(HKEY_CURRENT_USER, kPolicy, L"Disableregistrytools", REG_DWORD, &one, 4);
  EXPECT_EQ(-2, za::RunTypeCheck(type, false));
  EXPECT_EQ(5, type.entries[0].state);  // entries not looked at
  EXPECT_EQ(2, za::RunTypeFix(type));
  DWORD size = 4, value = 0;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegGetValueW(HKEY_CURRENT_USER, kPolicy, L"Disableregistrytools",
                                               RRF_RT_ANY, nullptr, &value, &size));
  EXPECT_EQ(7u, GetDword(L"v"));
  EXPECT_EQ(2, za::RunTypeCheck(type, false));

  DWORD zero = 0;
  RegSetKeyValueW(HKEY_CURRENT_USER, kPolicy, L"Disableregistrytools", REG_DWORD, &zero, 4);
  EXPECT_EQ(2, za::RunTypeCheck(type, false));
  RegSetKeyValueW(HKEY_CURRENT_USER, kPolicy, L"Disableregistrytools", REG_SZ, L"1", 4);
  EXPECT_EQ(2, za::RunTypeCheck(type, false));
}

// A class registered for the machine (the test user is an administrator)
// whose server file is a system file with a version resource.
class ComEntryTest : public ::testing::Test {
 protected:
  static constexpr wchar_t kClass[] = L"{5A7E9C31-2B44-4F0D-9E61-0C1D2E3F4A5B}";
  void SetUp() override {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    server_ = std::wstring(system) + L"\\kernel32.dll";
    std::wstring key = std::wstring(L"Software\\Classes\\CLSID\\") + kClass + L"\\InprocServer32";
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, REG_SZ, server_.c_str(),
                    static_cast<DWORD>((server_.size() + 1) * 2));
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(L"Software\\Classes\\CLSID\\") + kClass).c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKey().c_str());
  }
  static std::wstring SettingsKey() {
    return std::wstring(L"Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\") + kClass;
  }
  za::ConfigEntry ClassEntry(const char* version = "") {
    return Entry(za::WideToUtf8(kClass), {{"version", version}});
  }
  std::wstring server_;
  za::CheckFixCOM com;
};

TEST_F(ComEntryTest, RegisteredEnabledDisabled) {
  za::ConfigEntry entry = ClassEntry();
  EXPECT_EQ(2, com.Check(entry));
  DWORD flags = 1;
  RegSetKeyValueW(HKEY_CURRENT_USER, SettingsKey().c_str(), L"Flags", REG_DWORD, &flags, 4);
  EXPECT_EQ(-3, com.Check(entry));
  EXPECT_EQ(2, com.Fix(entry));
  EXPECT_EQ(2, com.Check(entry));
  flags = 2;
  RegSetKeyValueW(HKEY_CURRENT_USER, SettingsKey().c_str(), L"Flags", REG_DWORD, &flags, 4);
  EXPECT_EQ(2, com.Check(entry));
}

TEST_F(ComEntryTest, UnregisteredClassCannotBeRepaired) {
  za::ConfigEntry entry = Entry("{00000000-1111-2222-3333-444444444444}", {});
  EXPECT_EQ(-2, com.Check(entry));
  EXPECT_EQ(-1, com.Fix(entry));
}

TEST_F(ComEntryTest, ServerFileConditionsApply) {
  za::ConfigEntry newer = ClassEntry(">=999.0");
  EXPECT_EQ(1, com.Check(newer));
  EXPECT_EQ(1, com.Fix(newer));
}
