// Reading configuration documents: placement and attribute rules as tables of
// small documents, the failure results, enciphered documents, and loads from
// a file, over HTTP from a loopback server and from the local copy.
// The loopback server needs winsock2.h ahead of windows.h.
#include <winsock2.h>

#include "engine/config_store.h"

#include <gtest/gtest.h>

#include <string>

#include "app/app_state.h"
#include "engine/config_cache.h"
#include "engine/config_cipher.h"
#include "testkit/net_loopback_server.h"
#include "testkit/scratch_dir.h"

namespace za = Zentrava::Assistant;
using Zentrava::App::AppOptions;

namespace {

// Each test starts with both options off and leaves them so.
class ConfigStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AppOptions().Set(Zentrava::App::kOptionKeepConfigCopy, 0);
    AppOptions().Set(Zentrava::App::kOptionEncryptedConfig, 0);
  }
  void TearDown() override { SetUp(); }

  bool Parse(const std::string& document) {
    store.Clear();
    return store.Parse(document);
  }

  za::ConfigStore store;
};

std::string Texts(const std::vector<za::ConfigEntry>& entries) {
  std::string joined;
  for (const auto& entry : entries) joined += (joined.empty() ? "" : ",") + entry.text;
  return joined;
}

}  // namespace

TEST_F(ConfigStoreTest, ConfigElementsOfOneTypeAreMergedInOrder) {
  ASSERT_TRUE(Parse(
      "<checkitems><config type=\"host\"><entry>a</entry><entry>b</entry></config>"
      "<config type=\"registry\"><entry>r</entry></config>"
      "<config type=\"host\"><entry>c</entry></config>"
      "<config type=\"Host\"><entry>d</entry></config>"
      "<config Type=\"dns\"><entry>e</entry></config></checkitems>"));
  ASSERT_EQ(4u, store.types.size());
  EXPECT_EQ("host", store.types[0].name);
  EXPECT_EQ("a,b,c", Texts(store.types[0].entries));
  EXPECT_EQ("registry", store.types[1].name);
  EXPECT_EQ("Host", store.types[2].name);
  // "type" on "config" is read by its exact name: written otherwise it is absent.
  EXPECT_EQ("", store.types[3].name);
  EXPECT_EQ(store.FindConfigType("host"), &store.types[0]);
  EXPECT_EQ(nullptr, store.FindConfigType("HOST"));
}

TEST_F(ConfigStoreTest, AttributesAreLowerCasedAndEmptyValuesAbsent) {
  ASSERT_TRUE(Parse(
      "<checkitems Version=\"3\" empty=\"\"><config type=\"registry\">"
      "<entry NAME=\"n\" Type=\"reg_sz\" value=\"\" mask='7' mask=\"8\">HKCU\\x</entry>"
      "</config></checkitems>"));
  EXPECT_EQ("3", store.CheckItemsAttribute("version"));
  EXPECT_FALSE(store.checkItems.Has("empty"));
  const za::ConfigEntry& entry = store.types[0].entries[0];
  EXPECT_EQ(0, entry.state);
  EXPECT_EQ("HKCU\\x", entry.text);
  EXPECT_EQ("n", entry.attributes.Get("name"));
  EXPECT_EQ("reg_sz", entry.attributes.Get("type"));
  EXPECT_FALSE(entry.attributes.Has("value"));
  EXPECT_EQ("8", entry.attributes.Get("mask"));  // the later one wins
  EXPECT_EQ("", entry.attributes.Get("missing"));
}

TEST_F(ConfigStoreTest, DataBeforeItemsAndItemsBeforeTheLastDataAreHidden) {
  ASSERT_TRUE(Parse(
      "<checkitems><item name=\"hidden\"/><data name=\"bank_url\">u1</data>"
      "<item name=\"also hidden\"/><data name=\"bank_url\">u2</data><data name=\"Corp\">c</data>"
      "<item name=\"first\" KeyID=\"0x096E0713\"/><item name=\"second\"/></checkitems>"));
  ASSERT_EQ(2u, store.ItemCount());
  EXPECT_EQ("first", za::ItemAttribute(*store.ItemAt(0), "name"));
  EXPECT_EQ("0x096E0713", za::ItemAttribute(*store.ItemAt(0), "keyid"));
  EXPECT_EQ(nullptr, store.ItemAt(2));
  EXPECT_EQ("u2", store.DataValue("bank_url"));
  EXPECT_EQ("c", store.DataValue("Corp"));
  EXPECT_EQ("", store.DataValue("corp"));
}

TEST_F(ConfigStoreTest, ItemChildrenInAnyOrderAndAppInfoMerged) {
  ASSERT_TRUE(Parse(
      "<checkitems><item name=\"k\">"
      "<installer>i1</installer><detect dtype=\"file\">d1</detect><uninstaller>u1</uninstaller>"
      "<detect DTYPE=\"clsid\">d2</detect><installer>i2</installer><other><detect>no</detect></other>"
      "</item>"
      "<appinfo imperative=\"true\"><detect>a1</detect><uninstaller>x</uninstaller></appinfo>"
      "<appinfo version=\"2\"><installer>ai</installer><detect>a2</detect></appinfo>"
      "<detect>top-level is not read</detect></checkitems>"));
  const za::ConfigItem& item = *store.ItemAt(0);
  EXPECT_EQ("d1,d2", Texts(item.detect));
  EXPECT_EQ("clsid", item.detect[1].attributes.Get("dtype"));
  EXPECT_EQ("i1,i2", Texts(item.installers));
  EXPECT_EQ("u1", Texts(item.uninstallers));
  EXPECT_EQ("a1,a2", Texts(store.appInfo.detect));
  EXPECT_EQ("ai", Texts(store.appInfo.installers));
  EXPECT_TRUE(store.appInfo.uninstallers.empty());
  EXPECT_EQ("true", za::ItemAttribute(store.appInfo, "imperative"));
  EXPECT_EQ("2", za::ItemAttribute(store.appInfo, "version"));
}

TEST_F(ConfigStoreTest, EntryTextIsTheElementData) {
  ASSERT_TRUE(Parse(
      "<checkitems><config type=\"t\">"
      "<entry> a &amp; &#x4E2D; </entry><entry><![CDATA[<x>]]></entry>"
      "<entry>has <b>child</b></entry><entry/></config></checkitems>"));
  const auto& entries = store.types[0].entries;
  ASSERT_EQ(4u, entries.size());
  EXPECT_EQ(" a & \xE4\xB8\xAD ", entries[0].text);
  EXPECT_EQ("<x>", entries[1].text);
  EXPECT_EQ("", entries[2].text);
  EXPECT_EQ("", entries[3].text);
}

TEST_F(ConfigStoreTest, DocumentsThatAreNoConfiguration) {
  const char* documents[] = {
      "", "<config type=\"host\"/>", "<checkitems><config></checkitems>",
      "<checkitems/><checkitems/>", "<CheckItems></CheckItems>", "not markup",
      "<checkitems></CHECKITEMS>",
  };
  for (const char* document : documents) {
    SCOPED_TRACE(document);
    EXPECT_FALSE(Parse(document));
    EXPECT_TRUE(store.types.empty() && store.items.empty() && store.checkItems.Empty());
  }
  EXPECT_TRUE(Parse("<checkitems/>"));
  EXPECT_TRUE(Parse("\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<checkitems>\n</checkitems>"));
}

TEST_F(ConfigStoreTest, ResolveAgainstTheBase) {
  ASSERT_TRUE(Parse("<checkitems base=\"https://h/p/\"/>"));
  EXPECT_EQ("https://h/p/f.exe", store.ResolveConfigUrl("f.exe"));
  EXPECT_EQ("http://o/f.exe", store.ResolveConfigUrl("http://o/f.exe"));
  EXPECT_EQ("", store.ResolveConfigUrl(""));
}

TEST_F(ConfigStoreTest, LoadFailures) {
  testkit::ScratchDir dir;
  EXPECT_EQ(E_NOTIMPL, store.Load(MAKEINTRESOURCEW(200)));
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), store.Load(dir.File(L"none.xml").c_str()));
  ASSERT_TRUE(testkit::WriteFileBytes(dir.File(L"bad.xml"), "<items/>"));
  EXPECT_EQ(E_FAIL, store.Load(dir.File(L"bad.xml").c_str()));
  EXPECT_TRUE(store.checkItems.Empty());
  ASSERT_TRUE(testkit::WriteFileBytes(dir.File(L"good.xml"),
                                      "<checkitems><item name=\"a\"/></checkitems>"));
  EXPECT_EQ(S_OK, store.Load(dir.File(L"good.xml").c_str()));
  EXPECT_EQ(1u, store.ItemCount());
  // Every load starts from an empty store.
  EXPECT_EQ(E_FAIL, store.Load(dir.File(L"bad.xml").c_str()));
  EXPECT_EQ(0u, store.ItemCount());
}

TEST_F(ConfigStoreTest, EncipheredDocumentRoundTrip) {
  const std::string plain = "<checkitems><data name=\"bank_url\">https://b/</data></checkitems>";
  std::string text;
  ASSERT_TRUE(za::EncipherConfigDocument(plain, std::string(48, '\x5A'), &text));
  std::string back;
  ASSERT_TRUE(za::DecipherConfigDocument(text, &back));
  EXPECT_EQ(plain, back);
  // Line breaks in the Base64 text are allowed.
  std::string wrapped;
  for (size_t i = 0; i < text.size(); i += 64) wrapped += text.substr(i, 64) + "\r\n";
  back.clear();
  ASSERT_TRUE(za::DecipherConfigDocument(wrapped, &back));
  EXPECT_EQ(plain, back);

  AppOptions().Set(Zentrava::App::kOptionEncryptedConfig, 1);
  EXPECT_TRUE(Parse(text));
  EXPECT_EQ("https://b/", store.DataValue("bank_url"));
  EXPECT_FALSE(Parse(plain));  // with the option on, a plain document is refused

  std::string tampered = text;
  tampered[tampered.size() - 8] = tampered[tampered.size() - 8] == 'A' ? 'B' : 'A';
  EXPECT_FALSE(za::DecipherConfigDocument(tampered, &back));
  EXPECT_FALSE(za::DecipherConfigDocument(text.substr(0, 684), &back));  // the key block only
  EXPECT_FALSE(za::DecipherConfigDocument("", &back));
}

TEST_F(ConfigStoreTest, LoadOverHttpSetsTheBase) {
  testkit::LoopbackHttpServer server([](const testkit::NetRequestRecord& request) {
    if (request.target == "/tavbank/download/item.xml")
      return testkit::NetText("<checkitems><item name=\"x\"/></checkitems>");
    if (request.target == "/bad.xml") return testkit::NetText("<nope/>");
    return testkit::NetText("", 404);
  });
  ASSERT_TRUE(server.Start());
  std::wstring url = server.Url(L"/tavbank/download/item.xml");
  EXPECT_EQ(S_OK, store.Load(url.c_str()));
  EXPECT_EQ(1u, store.ItemCount());
  std::string base = za::WideToUtf8(server.Url(L"/tavbank/download/"));
  EXPECT_EQ(base, store.CheckItemsAttribute("base"));
  EXPECT_EQ(base + "a.exe", store.ResolveConfigUrl("a.exe"));

  EXPECT_EQ(E_FAIL, store.Load(server.Url(L"/bad.xml").c_str()));
  EXPECT_EQ(za::WideToUtf8(server.Url(L"/")), store.CheckItemsAttribute("base"));
  EXPECT_EQ(E_FAIL, store.Load(server.Url(L"/missing.xml").c_str()));  // 404: empty body
  server.Stop();

  HRESULT down = store.Load(url.c_str());
  EXPECT_LT(down, 0);
  EXPECT_EQ(0u, store.ItemCount());
  EXPECT_EQ(base, store.CheckItemsAttribute("base"));
}

TEST_F(ConfigStoreTest, LocalCopyServesWhenTheServerIsDown) {
  AppOptions().Set(Zentrava::App::kOptionKeepConfigCopy, 1);
  testkit::LoopbackHttpServer server([](const testkit::NetRequestRecord&) {
    return testkit::NetText("<checkitems><item name=\"cached\"/></checkitems>");
  });
  ASSERT_TRUE(server.Start());
  std::wstring url = server.Url(L"/tavbank/download/item.xml");
  std::wstring copy = za::ConfigCachePath(url);
  ASSERT_FALSE(copy.empty());
  EXPECT_NE(std::wstring::npos, copy.find(L"\\Content.IE5\\"));
  EXPECT_EQ(S_OK, store.Load(url.c_str()));
  DWORD attributes = GetFileAttributesW(copy.c_str());
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
  EXPECT_EQ(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
            attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  server.Stop();

  EXPECT_EQ(S_FALSE, store.Load(url.c_str()));
  ASSERT_EQ(1u, store.ItemCount());
  EXPECT_EQ("cached", za::ItemAttribute(*store.ItemAt(0), "name"));

  AppOptions().Set(Zentrava::App::kOptionKeepConfigCopy, 0);
  EXPECT_LT(store.Load(url.c_str()), 0);
  SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(copy.c_str());
}
