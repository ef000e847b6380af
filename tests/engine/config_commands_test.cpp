// get_config publishes four values per item and then asks for the keys;
// a failed load reports and publishes nothing. get_data answers by name.
#include "engine/config_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_profile.h"
#include "engine/config_store.h"
#include "testkit/scratch_dir.h"

namespace za = Zentrava::Assistant;

namespace {

std::vector<std::wstring> g_calls;

void RecordItemInfo(UINT index, const char* name, const std::wstring& value) {
  g_calls.push_back(std::to_wstring(index) + L" " + za::Utf8ToWide(name) + L"=" + value);
}
void RecordKeys() { g_calls.push_back(L"isAnyKeyConnect"); }
void RecordFailure() { g_calls.push_back(L"failed"); }

class ConfigCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    za::ConfigCommandSink sink;
    sink.setItemInfo = RecordItemInfo;
    sink.isAnyKeyConnect = RecordKeys;
    sink.loadFailed = RecordFailure;
    za::SetConfigCommandSinkForTesting(&sink);
    g_calls.clear();
  }
  void TearDown() override {
    za::SetConfigCommandSinkForTesting(nullptr);
    Zentrava::App::WriteProfileString(Zentrava::App::kSettingsSection, L"ConfigUrl", nullptr);
  }
  testkit::ScratchDir dir;
};

}  // namespace

TEST_F(ConfigCommandsTest, PublishesEveryItemThenAsksForKeys) {
  std::wstring path = dir.File(L"item.xml");
  ASSERT_TRUE(testkit::WriteFileBytes(
      path, "<checkitems><data name=\"bank_url\">https://b/\xE4\xB8\xAD</data>"
            "<item name=\"\xE9\xA9\xB1\xE5\x8A\xA8\" type=\"key\" keyid=\"0x096E0713\" flag=\"FT\"/>"
            "<item name=\"b\"/></checkitems>"));
  ASSERT_TRUE(Zentrava::App::WriteProfileString(Zentrava::App::kSettingsSection, L"ConfigUrl",
                                                path.c_str()));
  EXPECT_EQ(path, za::ConfigLocation());
  EXPECT_EQ(S_OK, za::RunGetConfig());
  EXPECT_EQ((std::vector<std::wstring>{L"0 name=\x9A71\x52A8", L"0 type=key", L"0 keyid=0x096E0713",
                                       L"0 flag=FT", L"1 name=b", L"1 type=", L"1 keyid=",
                                       L"1 flag=", L"isAnyKeyConnect"}),
            g_calls);
  EXPECT_EQ(L"https://b/\x4E2D", za::RunGetData(L"bank_url"));
  EXPECT_EQ(L"", za::RunGetData(L"BANK_URL"));
}

TEST_F(ConfigCommandsTest, FailedLoadReportsOnly) {
  std::wstring path = dir.File(L"missing.xml");
  ASSERT_TRUE(Zentrava::App::WriteProfileString(Zentrava::App::kSettingsSection, L"ConfigUrl",
                                                path.c_str()));
  EXPECT_LT(za::RunGetConfig(), 0);
  EXPECT_EQ((std::vector<std::wstring>{L"failed"}), g_calls);
}

TEST_F(ConfigCommandsTest, BuiltInLocationWhenNoSetting) {
  EXPECT_EQ(std::wstring(za::kDefaultConfigUrl), za::ConfigLocation());
  std::wstring url = za::kDefaultConfigUrl;
  EXPECT_EQ(0u, url.rfind(L"https://", 0));
  EXPECT_NE(std::wstring::npos, url.find(L"/tavbank/download/item.xml"));
}
