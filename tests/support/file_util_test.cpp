#include "support/file_util.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/scoped_handle.h"
#include "testkit/scratch_dir.h"

namespace Zentrava {
namespace {

using testkit::FileExists;
using testkit::ScratchDir;

// Opens `path` the way another program might while it keeps the file.
ScopedFile Hold(const std::wstring& path, DWORD access, DWORD share) {
  return ScopedFile(
      CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool OpensDirectly(const std::wstring& path) {
  return Hold(path, GENERIC_READ, FILE_SHARE_READ).valid();
}

TEST(WriteWholeFileTest, RoundTripsAndReplacesOlderContents) {
  ScratchDir dir;
  const std::wstring path = dir.File(L"data.bin");
  const std::string first("first contents\0with a zero", 26);
  ASSERT_EQ(S_OK, WriteWholeFile(path, first, FILE_ATTRIBUTE_NORMAL));
  std::string read;
  ASSERT_EQ(S_OK, ReadWholeFile(path, FILE_ATTRIBUTE_NORMAL, &read));
  EXPECT_EQ(first, read);

  ASSERT_EQ(S_OK, WriteWholeFile(path, std::string("short"), FILE_ATTRIBUTE_NORMAL));
  std::vector<unsigned char> bytes;
  ASSERT_EQ(S_OK, ReadWholeFile(path, FILE_ATTRIBUTE_NORMAL, &bytes));
  EXPECT_EQ(std::string("short"), std::string(bytes.begin(), bytes.end()));
}

TEST(WriteWholeFileTest, AppliesAttributesAndReportsFailures) {
  ScratchDir dir;
  const std::wstring path = dir.File(L"cache.mdc");
  ASSERT_EQ(S_OK, WriteWholeFile(path, std::string("x"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  const DWORD attributes = GetFileAttributesW(path.c_str());
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_SYSTEM);
  // Rewriting a hidden system file with the same attributes must work: the
  // configuration cache is refreshed this way.
  EXPECT_EQ(S_OK, WriteWholeFile(path, std::string("yz"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));

  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND),
            WriteWholeFile(dir.File(L"missing\\file.bin"), std::string("x"), FILE_ATTRIBUTE_NORMAL));
}

TEST(ReadWholeFileTest, EmptyFileGivesAnEmptyBuffer) {
  ScratchDir dir;
  const std::wstring path = dir.File(L"empty.txt");
  ASSERT_TRUE(testkit::WriteFileBytes(path, ""));
  std::string read = "stale";
  EXPECT_EQ(S_OK, ReadWholeFile(path, FILE_ATTRIBUTE_NORMAL, &read));
  EXPECT_EQ("", read);
}

TEST(ReadWholeFileTest, MissingFileFailsWithoutTouchingTheBuffer) {
  ScratchDir dir;
  const std::wstring path = dir.File(L"missing.txt");
  std::string read = "kept";
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
            ReadWholeFile(path, FILE_ATTRIBUTE_NORMAL, &read));
  EXPECT_EQ("kept", read);
  EXPECT_FALSE(FileExists(path + L".copy"));
}

// A holder with write access that shares only reads: the direct open (which
// does not share writes) fails, copying (which does) succeeds.
TEST(ReadWholeFileTest, FileHeldForWritingIsReadThroughATemporaryCopy) {
  ScratchDir dir;
  const std::wstring path = dir.File(L"hosts");
  const std::string contents = "127.0.0.1 localhost\r\n";
  ASSERT_TRUE(testkit::WriteFileBytes(path, contents));
  ScopedFile holder = Hold(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ);
  ASSERT_TRUE(holder.valid());
  ASSERT_FALSE(OpensDirectly(path)) << "the holder does not block the direct open";

  std::string read;
  EXPECT_EQ(S_OK, ReadWholeFile(path, FILE_ATTRIBUTE_NORMAL, &read));
  EXPECT_EQ(contents, read);
  EXPECT_FALSE(FileExists(path + L".copy"));
}

// The copy inherits the read-only attribute; it must still be removed.
TEST(ReadWholeFileTest, ReadOnlyCopyIsRemovedToo) {
  ScratchDir dir;
  const std::wstring path = dir.File(L"locked.txt");
  ASSERT_TRUE(testkit::WriteFileBytes(path, "read only"));
  ScopedFile holder = Hold(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ);
  ASSERT_TRUE(holder.valid());
  FILE_BASIC_INFO info = {};
  info.FileAttributes = FILE_ATTRIBUTE_READONLY;
  ASSERT_TRUE(SetFileInformationByHandle(holder.get(), FileBasicInfo, &info, sizeof(info)));

  std::string read;
  EXPECT_EQ(S_OK, ReadWholeFile(path, FILE_ATTRIBUTE_NORMAL, &read));
  EXPECT_EQ("read only", read);
  EXPECT_FALSE(FileExists(path + L".copy"));
}

TEST(ReadWholeFileTest, FileHeldExclusivelyReportsTheOpenError) {
  ScratchDir dir;
  const std::wstring path = dir.File(L"exclusive.txt");
  ASSERT_TRUE(testkit::WriteFileBytes(path, "secret"));
  ScopedFile holder = Hold(path, GENERIC_READ, 0);
  ASSERT_TRUE(holder.valid());

  std::string read = "kept";
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION),
            ReadWholeFile(path, FILE_ATTRIBUTE_NORMAL, &read));
  EXPECT_EQ("kept", read);
  EXPECT_FALSE(FileExists(path + L".copy"));
}

// A stale copy from an earlier run is overwritten, read and removed.
TEST(ReadWholeFileTest, LeftoverCopyIsReplaced) {
  ScratchDir dir;
  const std::wstring path = dir.File(L"item.xml");
  ASSERT_TRUE(testkit::WriteFileBytes(path, "<new/>"));
  ASSERT_TRUE(testkit::WriteFileBytes(path + L".copy", "<old and longer/>"));
  ScopedFile holder = Hold(path, GENERIC_WRITE, FILE_SHARE_READ);
  ASSERT_TRUE(holder.valid());

  std::string read;
  EXPECT_EQ(S_OK, ReadWholeFile(path, FILE_ATTRIBUTE_NORMAL, &read));
  EXPECT_EQ("<new/>", read);
  EXPECT_FALSE(FileExists(path + L".copy"));
}

TEST(ExpandEnvPathTest, ExpandsWithinThePathLimit) {
  ASSERT_TRUE(SetEnvironmentVariableW(L"ZT_HELPER_DIR", L"C:\\Program Files\\Zentrava"));
  EXPECT_EQ(L"C:\\Program Files\\Zentrava\\Download",
            ExpandEnvPath(L"%ZT_HELPER_DIR%\\Download"));
  EXPECT_EQ(L"", ExpandEnvPath(L""));
  EXPECT_EQ(L"C:\\plain\\path", ExpandEnvPath(L"C:\\plain\\path"));
  EXPECT_EQ(L"%ZT_HELPER_UNSET%\\x", ExpandEnvPath(L"%ZT_HELPER_UNSET%\\x"));

  // 259 characters fit a 260-character buffer; one more does not, and a
  // cut path must never come back as if it were whole.
  ASSERT_TRUE(SetEnvironmentVariableW(L"ZT_HELPER_LONG", std::wstring(250, L'a').c_str()));
  EXPECT_EQ(std::wstring(250, L'a') + L"\\12345678", ExpandEnvPath(L"%ZT_HELPER_LONG%\\12345678"));
  EXPECT_EQ(L"", ExpandEnvPath(L"%ZT_HELPER_LONG%\\123456789"));
  SetEnvironmentVariableW(L"ZT_HELPER_DIR", nullptr);
  SetEnvironmentVariableW(L"ZT_HELPER_LONG", nullptr);
}

TEST(AppendPathTest, JoinsWithOneBackslash) {
  struct {
    const wchar_t* directory;
    const wchar_t* more;
    const wchar_t* expected;
  } cases[] = {
      {L"C:\\dir", L"file.txt", L"C:\\dir\\file.txt"},
      {L"C:\\dir\\", L"file.txt", L"C:\\dir\\file.txt"},
      {L"C:\\dir", L"\\file.txt", L"C:\\dir\\file.txt"},
      {L"C:\\dir", L"sub\\file.txt", L"C:\\dir\\sub\\file.txt"},
      {L"C:\\a\\b", L"..\\c", L"C:\\a\\c"},
      {L"C:\\a", L".\\c", L"C:\\a\\c"},
      {L"C:\\dir", L"", L"C:\\dir"},
      {L"", L"file.txt", L"file.txt"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, AppendPath(c.directory, c.more)) << c.directory << L" + " << c.more;
  }
}

TEST(AppendPathTest, EndsAtTheFirstZeroAndNeverOverflows) {
  EXPECT_EQ(L"C:\\dir\\file", AppendPath(std::wstring(L"C:\\dir\0junk", 11), L"file"));

  const std::wstring base = L"C:\\" + std::wstring(250, L'a');  // 253 characters
  EXPECT_EQ(base + L"\\12345", AppendPath(base, L"12345"));     // 259: fits
  EXPECT_EQ(L"", AppendPath(base, L"123456"));                  // 260: does not
  EXPECT_EQ(L"", AppendPath(L"C:\\" + std::wstring(400, L'a'), L"x"));
}

}  // namespace
}  // namespace Zentrava
