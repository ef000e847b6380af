// set_Log's writer. The file handle is kept for the life of the process so the
// log costs one write per line; the lock keeps a line's three writes together
// when the dialog thread and a worker log at the same moment.
#include "tools/log_file.h"

#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <utility>

namespace Zentrava::Tools {

std::string FormatLogPrefix(DWORD processId, const SYSTEMTIME& t) {
  char prefix[96];
  int length = std::snprintf(prefix, sizeof prefix, "(%lu) %04u/%02u/%02u %02u:%02u:%02u.%03u000: ",
                             static_cast<unsigned long>(processId), t.wYear, t.wMonth, t.wDay,
                             t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
  // The widest possible prefix is about 70 characters.
  if (length < 0 || static_cast<size_t>(length) >= sizeof prefix) return std::string();
  return std::string(prefix, static_cast<size_t>(length));
}

std::wstring ProgramLogPath() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  // A full buffer means the name was cut short; a log beside a truncated
  // path would land in the wrong folder.
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  if (!PathRemoveFileSpecW(path) || !PathAppendW(path, L"Log.log")) return std::wstring();
  return path;
}

LogFile::LogFile(std::wstring path) : path_(std::move(path)) {
  InitializeCriticalSection(&lock_);
}

LogFile::~LogFile() {
  file_.reset();
  DeleteCriticalSection(&lock_);
}

bool LogFile::EnsureOpen() {
  if (file_) return true;
  if (path_.empty()) path_ = ProgramLogPath();
  if (path_.empty()) return false;
  ScopedFile file(CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  // Old lines stay; every new one goes after them.
  LARGE_INTEGER zero = {};
  if (!SetFilePointerEx(file.get(), zero, nullptr, FILE_END)) return false;
  file_ = std::move(file);
  return true;
}

bool LogFile::WriteBytes(const char* bytes, DWORD length) {
  DWORD written = 0;
  return WriteFile(file_.get(), bytes, length, &written, nullptr) && written == length;
}

bool LogFile::WriteLine(const char* text) {
  if (!text) return false;
  size_t textLength = std::strlen(text);
  if (textLength > MAXDWORD) return false;

  EnterCriticalSection(&lock_);
  bool written = false;
  if (EnsureOpen()) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::string prefix = FormatLogPrefix(GetCurrentProcessId(), now);
    // A lost prefix still leaves the text worth keeping, so only the text and
    // the line end decide the result.
    WriteBytes(prefix.data(), static_cast<DWORD>(prefix.size()));
    written = WriteBytes(text, static_cast<DWORD>(textLength)) && WriteBytes("\r\n", 2) &&
              FlushFileBuffers(file_.get());
  }
  LeaveCriticalSection(&lock_);
  return written;
}

bool WriteLogLine(const char* text) {
  // Never destroyed: a worker thread may still log while the process runs its
  // exit handlers, and the system closes the handle when the process ends.
  // Every line is flushed, so nothing waits for a close.
  static LogFile* const programLog = new LogFile();
  return programLog->WriteLine(text);
}

}  // namespace Zentrava::Tools
