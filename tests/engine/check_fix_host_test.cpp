// The hosts class on the prefix's real hosts file: line ends kept, fix runs
// without a check run, and a write-back that never leaves a damaged file.
#include "engine/check_fix_host.h"

#include <gtest/gtest.h>

#include <string>

#include "testkit/scratch_dir.h"

namespace za = Zentrava::Assistant;

namespace {

za::ConfigType HostType(std::initializer_list<const char*> hosts) {
  za::ConfigType type;
  type.name = "host";
  for (const char* host : hosts) {
    za::ConfigEntry entry;
    entry.text = host;
    type.entries.push_back(entry);
  }
  return type;
}

// Keeps the prefix's hosts file as it was found.
class HostsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = za::CheckFixHost().HostsPath();
    ASSERT_FALSE(path_.empty());
    hadFile_ = testkit::ReadFileBytes(path_, &saved_);
  }
  void TearDown() override {
    SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (hadFile_) testkit::WriteFileBytes(path_, saved_);
  }
  void Write(const std::string& bytes) { ASSERT_TRUE(testkit::WriteFileBytes(path_, bytes)); }
  std::string Read() {
    std::string bytes;
    EXPECT_TRUE(testkit::ReadFileBytes(path_, &bytes));
    return bytes;
  }

  std::wstring path_;
  std::string saved_;
  bool hadFile_ = false;
};

}  // namespace

TEST_F(HostsFileTest, TheSystemFileIsUsed) {
  EXPECT_NE(std::wstring::npos, path_.find(L"\\system32\\drivers\\etc\\hosts"));
}

TEST_F(HostsFileTest, CheckAndFixKeepTheLineEndStyle) {
  struct Case {
    const char* before;
    const char* after;
  } cases[] = {
      {"127.0.0.1 localhost\r\n10.1.1.1 ebank.tav.com\r\n::1 localhost\r\n",
       "127.0.0.1 localhost\r\n::1 localhost\r\n"},
      {"127.0.0.1 localhost\n10.1.1.1 EBANK.tav.com # hijack \n::1 localhost\n",
       "127.0.0.1 localhost\n::1 localhost\n"},
      {"127.0.0.1 localhost\n1.2.3.4 ebank.tav.com\r\n::1 x\n", "127.0.0.1 localhost\r\n::1 x\r\n"},
      // The line pattern's own reach: a match takes the blank lines above it,
      // the line break of the file's end, and (through "\s*") a comment line
      // that ends the file.
      {"127.0.0.1 localhost\r\n\r\n10.1.1.1 ebank.tav.com\r\n# end\r\n", "127.0.0.1 localhost"},
      {"127.0.0.1 localhost\n1.2.3.4 ebank.tav.com\n", "127.0.0.1 localhost"},
      {"10.1.1.1 ebank.tav.com", "\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before);
    Write(c.before);
    za::CheckFixHost host;
    za::ConfigType type = HostType({"ebank.tav.com", "corp.tav.com"});
    EXPECT_EQ(-2, za::RunCheckOver(host, type.entries, false));
    EXPECT_EQ(-2, type.entries[0].state);
    EXPECT_EQ(2, type.entries[1].state);
    EXPECT_EQ(2, za::RunFixOver(host, type.entries));
    EXPECT_EQ(c.after, Read());
    EXPECT_EQ(2, za::RunCheckOver(host, type.entries, false));
  }
}

TEST_F(HostsFileTest, UnchangedFileIsWrittenBackAsItWas) {
  const std::string text = "# comment\r\n127.0.0.1 localhost\r\n";
  Write(text);
  za::CheckFixHost host;
  za::ConfigType type = HostType({"ebank.tav.com"});
  EXPECT_EQ(2, za::RunCheckOver(host, type.entries, false));
  type.entries[0].state = 0;
  EXPECT_EQ(2, za::RunFixOver(host, type.entries));
  EXPECT_EQ(text, Read());
}

TEST_F(HostsFileTest, FixWithoutACheckRunLoadsTheFileFirst) {
  Write("127.0.0.1 localhost\n10.1.1.1 ebank.tav.com\n");
  za::CheckFixHost host;
  za::ConfigType type = HostType({"ebank.tav.com"});
  EXPECT_EQ(2, za::RunFixOver(host, type.entries));
  EXPECT_EQ("127.0.0.1 localhost", Read());

  // Nothing to load: nothing is written.
  za::CheckFixHost missing(L"%TEMP%\\no-such-dir\\hosts");
  EXPECT_EQ(-2, za::RunFixOver(missing, type.entries));
  EXPECT_EQ(-2, za::RunCheckOver(missing, type.entries, false));
}

TEST_F(HostsFileTest, AFailedWriteLeavesTheOldText) {
  const std::string text = "127.0.0.1 localhost\n10.1.1.1 ebank.tav.com\n";
  Write(text);
  za::CheckFixHost host;
  za::ConfigType type = HostType({"ebank.tav.com"});
  EXPECT_EQ(-2, za::RunCheckOver(host, type.entries, false));
  {
    // Another program holds the file open for reading and writing, but not
    // for deletion: the file cannot be replaced, and must not be truncated.
    HANDLE holder = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    EXPECT_EQ(-2, za::RunFixOver(host, type.entries));
    CloseHandle(holder);
  }
  EXPECT_EQ(text, Read());
  EXPECT_FALSE(testkit::FileExists(path_ + L".new"));
}

TEST_F(HostsFileTest, ReplacementKeepsTheAttributes) {
  Write("10.1.1.1 ebank.tav.com\n127.0.0.1 localhost\n");
  ASSERT_TRUE(SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  za::CheckFixHost host;
  za::ConfigType type = HostType({"ebank.tav.com"});
  EXPECT_EQ(-2, za::RunCheckOver(host, type.entries, false));
  EXPECT_EQ(2, za::RunFixOver(host, type.entries));
  EXPECT_EQ(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
            GetFileAttributesW(path_.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  EXPECT_EQ("127.0.0.1 localhost\n", Read());
}

TEST(ReplaceFileContentsTest, CreatesAMissingFile) {
  testkit::ScratchDir dir;
  std::wstring path = dir.File(L"new.txt");
  EXPECT_EQ(S_OK, za::ReplaceFileContents(path, "abc"));
  std::string bytes;
  ASSERT_TRUE(testkit::ReadFileBytes(path, &bytes));
  EXPECT_EQ("abc", bytes);
  EXPECT_EQ(S_OK, za::ReplaceFileContents(path, ""));
  ASSERT_TRUE(testkit::ReadFileBytes(path, &bytes));
  EXPECT_EQ("", bytes);
}

TEST(HostsReloadTest, AFailedLoadForgetsTheTextOfTheRunBefore) {
  // A check run whose load fails must not leave the text of an older run for
  // the fix to write back over what the file holds by then.
  testkit::ScratchDir dir;
  const std::wstring path = dir.File(L"hosts");
  ASSERT_TRUE(testkit::WriteFileBytes(path, "127.0.0.1 localhost\n10.1.1.1 ebank.tav.com\n"));
  za::CheckFixHost host(path);
  za::ConfigType type = HostType({"ebank.tav.com"});
  EXPECT_EQ(-2, za::RunCheckOver(host, type.entries, false));
  ASSERT_TRUE(DeleteFileW(path.c_str()));
  EXPECT_EQ(-2, za::RunCheckOver(host, type.entries, false));
  EXPECT_FALSE(host.loaded());
  EXPECT_EQ(-2, za::RunFixOver(host, type.entries));
  EXPECT_FALSE(testkit::FileExists(path));

  ASSERT_TRUE(testkit::WriteFileBytes(path, "10.2.2.2 ebank.tav.com\n127.0.0.1 added\n"));
  EXPECT_EQ(2, za::RunFixOver(host, type.entries));
  std::string bytes;
  ASSERT_TRUE(testkit::ReadFileBytes(path, &bytes));
  EXPECT_EQ("127.0.0.1 added\n", bytes);
}
