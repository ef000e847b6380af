// Whole-file read and write, environment expansion and path joining within
// the classic 260-character path limit. Results are HRESULTs: S_OK, or the
// failing call's Win32 error through HRESULT_FROM_WIN32.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace Zentrava {

// Reads the whole file at `path` (opened for reading, sharing reads only,
// with `flagsAndAttributes` as CreateFileW's). When another program holds the
// file so that it cannot be opened that way, the file is copied beside itself
// as path + ".copy", the copy is read and then deleted on every path. The
// original open's error is returned when the copy cannot be made.
// `bytes` receives the contents only on success; files of 4 GiB or more give
// HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE); a short read gives
// HRESULT_FROM_WIN32(ERROR_HANDLE_EOF).
HRESULT ReadWholeFile(const std::wstring& path, DWORD flagsAndAttributes, std::string* bytes);
HRESULT ReadWholeFile(const std::wstring& path, DWORD flagsAndAttributes,
                      std::vector<unsigned char>* bytes);

// Creates or replaces `path` with `bytes` (sharing reads while writing).
HRESULT WriteWholeFile(const std::wstring& path, const void* bytes, size_t size,
                       DWORD flagsAndAttributes);
HRESULT WriteWholeFile(const std::wstring& path, const std::string& bytes,
                       DWORD flagsAndAttributes);

// Expands %VAR% references. The empty text is returned as it is; a result
// longer than 259 characters (it would not fit a 260-character path buffer)
// gives the empty text rather than a silently truncated path.
std::wstring ExpandEnvPath(const std::wstring& text);

// Joins `more` to `directory` with exactly one backslash, resolving "." and
// ".." (PathAppendW). The result ends at its first zero character; a result
// that does not fit a 260-character buffer gives the empty text.
std::wstring AppendPath(const std::wstring& directory, const std::wstring& more);

}  // namespace Zentrava
