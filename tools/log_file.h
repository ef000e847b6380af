// The page's trace log: "Log.log" beside the program, one line per set_Log
// call, "(pid) yyyy/mm/dd hh:mm:ss.mmm000: " followed by the page's UTF-8 text
// and CRLF. Appends forever; no rotation, no byte-order mark.
#pragma once

#include <windows.h>

#include <string>

#include "support/scoped_handle.h"

namespace Zentrava::Tools {

// Appends one line to the program's log. `text` is UTF-8 and ends at its first
// zero byte. True when the whole line was written and flushed; on false the
// line is lost and the next call tries to open the file again.
bool WriteLogLine(const char* text);

// "(pid) yyyy/mm/dd hh:mm:ss.mmm000: ", the prefix of every log line.
std::string FormatLogPrefix(DWORD processId, const SYSTEMTIME& localTime);

// The program's own log path: its executable's folder followed by "Log.log".
// Empty when the executable's path cannot be had in full.
std::wstring ProgramLogPath();

// One append-only log file. The file is opened on the first line written and
// stays open, shared for reading only, so other processes can watch it but
// not write to it, until the object goes away. Lines from several threads are
// written whole, one after another.
class LogFile {
 public:
  // A log at `path`; an empty path means the program's own log, whose path is
  // worked out when the file is first opened.
  explicit LogFile(std::wstring path = std::wstring());
  ~LogFile();
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  // See WriteLogLine.
  bool WriteLine(const char* text);

 private:
  bool EnsureOpen();
  bool WriteBytes(const char* bytes, DWORD length);

  CRITICAL_SECTION lock_;
  std::wstring path_;
  ScopedFile file_;
};

}  // namespace Zentrava::Tools
