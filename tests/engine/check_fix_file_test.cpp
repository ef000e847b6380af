// File entries (version conditions, digest lists, the download fix from a
// loopback server), DNS entries through a resolver seam and the real
// resolver for localhost, and URL entries against servers up and down.
// The loopback server needs winsock2.h ahead of windows.h.
#include <winsock2.h>

#include "engine/check_file_entry.h"
#include "engine/check_fix_dns.h"
#include "engine/check_fix_file.h"
#include "engine/check_fix_url.h"

#include <gtest/gtest.h>

#include <string>

#include "support/digest.h"
#include "testkit/net_loopback_server.h"
#include "testkit/scratch_dir.h"

namespace za = Zentrava::Assistant;

namespace {

za::ConfigEntry Entry(const std::string& text,
                      std::initializer_list<std::pair<const char*, std::string>> attributes) {
  za::ConfigEntry entry;
  entry.text = text;
  for (const auto& attribute : attributes) entry.attributes.Set(attribute.first, attribute.second);
  return entry;
}

std::string VersionText(uint32_t high, uint32_t low) {
  return std::to_string(high >> 16) + "." + std::to_string(high & 0xFFFF) + "." +
         std::to_string(low >> 16) + "." + std::to_string(low & 0xFFFF);
}

}  // namespace

TEST(VersionConditionTest, Operators) {
  const uint32_t v602 = 6 << 16 | 0, build2 = 2 << 16;
  struct Case {
    const char* condition;
    uint32_t high, low;
    bool met;
  } cases[] = {
      {">=6.0.2", v602, build2, true},        {">=6.0.2", v602, 1 << 16 | 9, false},
      {"6.0.2.5", v602, build2 | 5, true},    {"6.0.2.5", v602, build2 | 6, false},
      {"<=2.0", 2 << 16, 1, false},           {"<=2.0", 2 << 16, 0, true},
      {"<3", 2 << 16 | 9, 0, true},           {">1.2", 1 << 16 | 2, 1, true},
      {"=1.2", 1 << 16 | 2, 0, true},         {"65537.1", 1 << 16 | 1, 0, true},
      {"v 1.2.3.4", 1 << 16 | 2, 3 << 16 | 4, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.condition);
    EXPECT_EQ(c.met, za::VersionCondition::Parse(c.condition).MetBy(c.high, c.low));
  }
}

class FileEntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    versioned_ = std::wstring(system) + L"\\kernel32.dll";
    ASSERT_TRUE(za::ReadFileVersion(versioned_, &high_, &low_));
    plain_ = dir_.File(L"plain.txt");
    ASSERT_TRUE(testkit::WriteFileBytes(plain_, "abc"));
  }
  testkit::ScratchDir dir_;
  std::wstring versioned_, plain_;
  uint32_t high_ = 0, low_ = 0;
};

TEST_F(FileEntryTest, VersionAndDigestConditions) {
  const std::string exact = VersionText(high_, low_);
  const std::string md5 = "900150983cd24fb0d6963f7d28e17f72";         // "abc"
  const std::string sha1 = "A9993E364706816ABA3E25717850C26C9CD0D89D";  // "abc", upper case
  za::ConfigEntry cases[] = {
      Entry("", {{"version", exact}}),       Entry("", {{"version", ">=" + exact}}),
      Entry("", {{"version", "<" + exact}}),  Entry("", {{"version", ">99999.0"}}),
  };
  EXPECT_EQ(2, za::CheckFileEntry(cases[0], versioned_));
  EXPECT_EQ(2, za::CheckFileEntry(cases[1], versioned_));
  EXPECT_EQ(1, za::CheckFileEntry(cases[2], versioned_));
  EXPECT_EQ(1, za::CheckFileEntry(cases[3], versioned_));
  // No version resource: missing, not different.
  EXPECT_EQ(-2, za::CheckFileEntry(cases[0], plain_));
  EXPECT_EQ(2, za::CheckFileEntry(Entry("", {{"md5", "00ff," + md5}}), plain_));
  EXPECT_EQ(1, za::CheckFileEntry(Entry("", {{"md5", "00ff"}}), plain_));
  EXPECT_EQ(2, za::CheckFileEntry(Entry("", {{"sha1", sha1}}), plain_));
  EXPECT_EQ(1, za::CheckFileEntry(Entry("", {{"md5", md5}, {"sha1", "x"}}), plain_));
  EXPECT_EQ(-2, za::CheckFileEntry(Entry("", {}), dir_.File(L"missing")));
  EXPECT_EQ(-2, za::CheckFileEntry(Entry("", {}), dir_.path()));
}

TEST_F(FileEntryTest, AFileThatCannotBeReadMeetsNoDigest) {
  // Held open without sharing: the file exists but its contents cannot be
  // hashed, which must not count as a matching digest.
  HANDLE holder = CreateFileW(plain_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, holder);
  EXPECT_EQ(1, za::CheckFileEntry(Entry("", {{"md5", "900150983cd24fb0d6963f7d28e17f72"}}), plain_));
  EXPECT_EQ(1, za::CheckFileEntry(Entry("", {{"sha1", "any text"}}), plain_));
  EXPECT_EQ(2, za::CheckFileEntry(Entry("", {}), plain_));
  CloseHandle(holder);
  EXPECT_EQ(2, za::CheckFileEntry(Entry("", {{"md5", "900150983cd24fb0d6963f7d28e17f72"}}), plain_));
}

TEST_F(FileEntryTest, CheckExpandsTheEnvironment) {
  za::CheckFixFile file;
  za::ConfigEntry entry = Entry("%windir%\\system32\\kernel32.dll", {{"version", ">=1.0"}});
  EXPECT_EQ(2, file.Check(entry));
  za::ConfigEntry missing = Entry("%windir%\\system32\\no-such.dll", {});
  EXPECT_EQ(-2, file.Check(missing));
}

TEST_F(FileEntryTest, FixDownloadsRelativeToTheBaseAndReplaces) {
  testkit::LoopbackHttpServer server([](const testkit::NetRequestRecord& request) {
    if (request.target == "/tavbank/download/comp.dll") return testkit::NetText("new contents");
    return testkit::NetText("", 404);
  });
  ASSERT_TRUE(server.Start());
  ASSERT_TRUE(za::TheConfigStore().Parse(
      "<checkitems base=\"" + za::WideToUtf8(server.Url(L"/tavbank/download/")) + "\"/>"));

  std::wstring target = dir_.File(L"comp.dll");
  ASSERT_TRUE(testkit::WriteFileBytes(target, "old"));
  za::CheckFixFile file;
  za::ConfigEntry entry = Entry(za::WideToUtf8(target),
                                {{"remote", "comp.dll"}, {"md5", Zentrava::DigestHex(std::string("new contents"), 1)}});
  EXPECT_EQ(1, file.Check(entry));
  EXPECT_EQ(2, file.Fix(entry));
  std::string bytes;
  ASSERT_TRUE(testkit::ReadFileBytes(target, &bytes));
  EXPECT_EQ("new contents", bytes);
  EXPECT_FALSE(testkit::FileExists(target + L".download"));
  EXPECT_EQ(2, file.Check(entry));

  za::ConfigEntry missing = Entry(za::WideToUtf8(target), {{"remote", "gone.dll"}});
  EXPECT_EQ(-2, file.Fix(missing));
  ASSERT_TRUE(testkit::ReadFileBytes(target, &bytes));
  EXPECT_EQ("new contents", bytes);
  za::ConfigEntry nowhere = Entry(za::WideToUtf8(target), {});
  EXPECT_EQ(-1, file.Fix(nowhere));
  za::TheConfigStore().Clear();
}

namespace {
std::vector<std::string> g_answer;
std::vector<std::string> ScriptedResolver(const std::string&) { return g_answer; }
bool NoProxy() { return false; }
bool SomeProxy() { return true; }
}  // namespace

TEST(DnsEntryTest, ResolvedAddressesMustAllBeAccepted) {
  za::SetHostResolver(&ScriptedResolver);
  za::SetProxyProbe(&NoProxy);
  za::CheckFixDns dns;
  za::ConfigEntry entry = Entry("ebank.tav.com", {{"ip", "10.0.0.1|10.0.0.2"}});
  g_answer = {"10.0.0.1"};
  EXPECT_EQ(2, dns.Check(entry));
  g_answer = {"10.0.0.1", "10.9.9.9"};
  EXPECT_EQ(-2, dns.Check(entry));
  g_answer = {};
  EXPECT_EQ(-2, dns.Check(entry));
  EXPECT_EQ(-1, dns.Fix(entry));
  za::SetProxyProbe(&SomeProxy);
  g_answer = {"10.0.0.1"};
  EXPECT_EQ(-1, dns.Check(entry));
  za::SetHostResolver(nullptr);
  za::SetProxyProbe(nullptr);

  EXPECT_EQ((std::vector<std::string>{"a", "", "b"}), za::SplitAcceptedAddresses("a||b|"));
  EXPECT_EQ((std::vector<std::string>{}), za::SplitAcceptedAddresses(""));
}

TEST(DnsEntryTest, RealResolverForLocalhost) {
  EXPECT_FALSE(za::IsProxyConfigured());
  std::vector<std::string> addresses = za::ResolveHostAddresses("localhost");
  ASSERT_FALSE(addresses.empty());
  EXPECT_EQ("127.0.0.1", addresses[0]);
  EXPECT_FALSE(za::ResolveHostAddresses("127.0.0.1").empty());
  za::CheckFixDns dns;
  za::ConfigEntry entry = Entry("localhost", {{"ip", "127.0.0.1"}});
  EXPECT_EQ(2, dns.Check(entry));
  za::ConfigEntry other = Entry("localhost", {{"ip", "10.0.0.1"}});
  EXPECT_EQ(-2, dns.Check(other));
}

TEST(UrlEntryTest, ReachableAndUnreachable) {
  testkit::LoopbackHttpServer server([](const testkit::NetRequestRecord&) { return testkit::NetText("ok"); });
  ASSERT_TRUE(server.Start());
  za::CheckFixUrl url;
  za::ConfigEntry up = Entry(za::WideToUtf8(server.Url(L"/")), {});
  EXPECT_EQ(2, url.Check(up));
  EXPECT_EQ(-1, url.Fix(up));
  server.Stop();
  EXPECT_EQ(-2, url.Check(up));
}
