// The log writer against real files: creation, appending, the line format,
// UTF-8 text, and a file held by another writer.
#include "tools/log_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "testkit/scratch_dir.h"

namespace {

using Zentrava::Tools::FormatLogPrefix;
using Zentrava::Tools::LogFile;

std::string ReadLog(const std::wstring& path) {
  std::string bytes;
  EXPECT_TRUE(testkit::ReadFileBytes(path, &bytes));
  return bytes;
}

// Every line: prefix with this process's id and a plausible time, the text, CRLF.
void ExpectLines(const std::string& log, const std::vector<std::string>& texts) {
  char pid[16];
  std::snprintf(pid, sizeof pid, "%lu", static_cast<unsigned long>(GetCurrentProcessId()));
  const std::regex prefix("^\\(" + std::string(pid) +
                          "\\) \\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3}000: ");
  size_t position = 0;
  for (const std::string& text : texts) {
    size_t end = log.find("\r\n", position);
    ASSERT_NE(std::string::npos, end) << "missing line for " << text;
    std::string line = log.substr(position, end - position);
    std::smatch match;
    ASSERT_TRUE(std::regex_search(line, match, prefix)) << line;
    EXPECT_EQ(text, line.substr(match.length(0)));
    position = end + 2;
  }
  EXPECT_EQ(log.size(), position) << "trailing bytes after the last line";
}

TEST(LogFileTest, PrefixFormat) {
  SYSTEMTIME t = {};
  t.wYear = 2016;
  t.wMonth = 3;
  t.wDay = 5;
  t.wHour = 9;
  t.wMinute = 7;
  t.wSecond = 2;
  t.wMilliseconds = 45;
  EXPECT_EQ("(4711) 2016/03/05 09:07:02.045000: ", FormatLogPrefix(4711, t));
  t.wMilliseconds = 5;
  t.wHour = 23;
  EXPECT_EQ("(1) 2016/03/05 23:07:02.005000: ", FormatLogPrefix(1, t));
  t.wMilliseconds = 999;
  EXPECT_EQ("(4294967295) 2016/03/05 23:07:02.999000: ", FormatLogPrefix(0xFFFFFFFFu, t));
}

TEST(LogFileTest, FirstLineCreatesFile) {
  testkit::ScratchDir dir;
  const std::wstring path = dir.File(L"Log.log");
  {
    LogFile log(path);
    EXPECT_TRUE(log.WriteLine("certificate update started"));
    EXPECT_TRUE(testkit::FileExists(path));
  }
  ExpectLines(ReadLog(path), {"certificate update started"});
}

TEST(LogFileTest, AppendsAfterOldContentWithoutBom) {
  testkit::ScratchDir dir;
  const std::wstring path = dir.File(L"Log.log");
  const std::string old = "(1) 2015/01/01 00:00:00.000000: old line\r\n";
  ASSERT_TRUE(testkit::WriteFileBytes(path, old));
  {
    LogFile log(path);
    EXPECT_TRUE(log.WriteLine("one"));
    EXPECT_TRUE(log.WriteLine(""));
    EXPECT_TRUE(log.WriteLine("three"));
  }
  std::string log = ReadLog(path);
  ASSERT_EQ(0u, log.compare(0, old.size(), old));
  ExpectLines(log.substr(old.size()), {"one", "", "three"});
  // A second writer in a later run appends too.
  {
    LogFile log2(path);
    EXPECT_TRUE(log2.WriteLine("next run"));
  }
  ExpectLines(ReadLog(path).substr(old.size()), {"one", "", "three", "next run"});
}

TEST(LogFileTest, TextIsStoredAsGivenUpToFirstZero) {
  testkit::ScratchDir dir;
  const std::wstring path = dir.File(L"Log.log");
  // "证书更新" in UTF-8.
  const std::string chinese = "\xE8\xAF\x81\xE4\xB9\xA6\xE6\x9B\xB4\xE6\x96\xB0";
  const char embeddedZero[] = "before\0after";
  {
    LogFile log(path);
    EXPECT_TRUE(log.WriteLine(chinese.c_str()));
    EXPECT_TRUE(log.WriteLine(embeddedZero));
    EXPECT_FALSE(log.WriteLine(nullptr));
  }
  std::string log = ReadLog(path);
  ExpectLines(log, {chinese, "before"});
  EXPECT_EQ(std::string::npos, log.find("after"));
}

TEST(LogFileTest, LockedFileFailsThenRetries) {
  testkit::ScratchDir dir;
  const std::wstring path = dir.File(L"Log.log");
  ASSERT_TRUE(testkit::WriteFileBytes(path, "kept\r\n"));
  LogFile log(path);

  HANDLE other = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, other);
  EXPECT_FALSE(log.WriteLine("lost"));
  EXPECT_FALSE(log.WriteLine("lost too"));
  CloseHandle(other);

  EXPECT_TRUE(log.WriteLine("after unlock"));
  std::string bytes = ReadLog(path);
  ASSERT_EQ(0u, bytes.compare(0, 6, "kept\r\n"));
  ExpectLines(bytes.substr(6), {"after unlock"});
}

TEST(LogFileTest, OpenLogCanBeReadButNotWrittenByOthers) {
  testkit::ScratchDir dir;
  const std::wstring path = dir.File(L"Log.log");
  LogFile log(path);
  ASSERT_TRUE(log.WriteLine("open"));

  HANDLE reader = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(INVALID_HANDLE_VALUE, reader);
  if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);

  SetLastError(0xdeadbeef);
  HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_EQ(INVALID_HANDLE_VALUE, writer);
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
}

TEST(LogFileTest, MissingFolderFails) {
  testkit::ScratchDir dir;
  LogFile log(dir.File(L"no such folder\\Log.log"));
  EXPECT_FALSE(log.WriteLine("lost"));
}

struct Writer {
  LogFile* log;
  char tag;
  int failures;
};

DWORD WINAPI WriteMany(void* parameter) {
  auto* writer = static_cast<Writer*>(parameter);
  const std::string text(200, writer->tag);
  for (int i = 0; i < 200; ++i)
    if (!writer->log->WriteLine(text.c_str())) ++writer->failures;
  return 0;
}

// Two threads logging at once still leave whole lines.
TEST(LogFileTest, ConcurrentLinesStayWhole) {
  testkit::ScratchDir dir;
  const std::wstring path = dir.File(L"Log.log");
  {
    LogFile log(path);
    Writer writers[2] = {{&log, 'a', 0}, {&log, 'b', 0}};
    HANDLE threads[2] = {};
    for (int i = 0; i < 2; ++i) threads[i] = CreateThread(nullptr, 0, WriteMany, &writers[i], 0, nullptr);
    for (HANDLE thread : threads) {
      if (!thread) continue;
      WaitForSingleObject(thread, INFINITE);
      CloseHandle(thread);
    }
    ASSERT_TRUE(threads[0] && threads[1]);
    EXPECT_EQ(0, writers[0].failures);
    EXPECT_EQ(0, writers[1].failures);
  }
  std::string log = ReadLog(path);
  const std::regex line("\\(\\d+\\) \\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3}000: (a{200}|b{200})\r\n");
  size_t position = 0;
  int lines = 0;
  while (position < log.size()) {
    size_t end = log.find("\r\n", position);
    ASSERT_NE(std::string::npos, end);
    ASSERT_TRUE(std::regex_match(log.substr(position, end + 2 - position), line))
        << "line " << lines;
    position = end + 2;
    ++lines;
  }
  EXPECT_EQ(400, lines);
}

// The process-wide writer: the file beside the executable, opened once and
// kept, each call appending after whatever earlier runs left there.
TEST(LogFileTest, WriteLogLineAppendsToTheProgramLog) {
  const std::wstring path = Zentrava::Tools::ProgramLogPath();
  ASSERT_FALSE(path.empty());
  std::string before;
  if (testkit::FileExists(path)) before = ReadLog(path);
  EXPECT_TRUE(Zentrava::Tools::WriteLogLine("first of this run"));
  EXPECT_TRUE(Zentrava::Tools::WriteLogLine("\xE8\xAF\x81\xE4\xB9\xA6"));
  const std::string after = ReadLog(path);
  ASSERT_GE(after.size(), before.size());
  ASSERT_EQ(0u, after.compare(0, before.size(), before)) << "earlier lines were changed";
  ExpectLines(after.substr(before.size()), {"first of this run", "\xE8\xAF\x81\xE4\xB9\xA6"});
}

TEST(LogFileTest, ProgramLogSitsBesideExecutable) {
  wchar_t exe[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  ASSERT_GT(length, 0u);
  std::wstring expected(exe, length);
  expected = expected.substr(0, expected.find_last_of(L'\\') + 1) + L"Log.log";
  EXPECT_EQ(expected, Zentrava::Tools::ProgramLogPath());
}

}  // namespace
