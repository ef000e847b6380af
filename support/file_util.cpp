#include "support/file_util.h"

#include <shlwapi.h>

#include <new>
#include <stdexcept>

#include "support/scoped_handle.h"

namespace Zentrava {
namespace {

constexpr size_t kPathChars = MAX_PATH;  // 260, terminating zero included

HRESULT LastErrorResult() {
  DWORD error = GetLastError();
  // A failing call that left no error must not read as success.
  return HRESULT_FROM_WIN32(error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE);
}

ScopedFile OpenForReading(const std::wstring& path, DWORD flagsAndAttributes) {
  return ScopedFile(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, flagsAndAttributes, nullptr));
}

// Reads everything from an open file; `bytes` is filled only on success.
template <typename Buffer>
HRESULT ReadOpenFile(HANDLE file, Buffer* bytes) {
  DWORD high = 0;
  DWORD size = GetFileSize(file, &high);
  if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return LastErrorResult();
  // Only the low 32 bits fit one read; a larger file would come back cut.
  if (high != 0) return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);

  Buffer contents;
  try {
    contents.resize(size);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::length_error&) {
    return E_OUTOFMEMORY;
  }
  DWORD read = 0;
  if (size != 0 && !ReadFile(file, &contents[0], size, &read, nullptr)) return LastErrorResult();
  if (read != size) return HRESULT_FROM_WIN32(ERROR_HANDLE_EOF);
  bytes->swap(contents);
  return S_OK;
}

// A copy inherits the original's attributes; a read-only one must be made
// writable before it can go, or it would be left behind.
void DeleteCopy(const std::wstring& copy) {
  if (DeleteFileW(copy.c_str())) return;
  if (GetLastError() == ERROR_ACCESS_DENIED) {
    SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(copy.c_str());
  }
}

template <typename Buffer>
HRESULT ReadWholeFileImpl(const std::wstring& path, DWORD flagsAndAttributes, Buffer* bytes) {
  if (!bytes) return E_POINTER;
  ScopedFile file = OpenForReading(path, flagsAndAttributes);
  if (file) return ReadOpenFile(file.get(), bytes);

  // Another program may hold the file open for writing (the hosts file under
  // some security tools); copying still works then, because the copy shares
  // writes. The copy exists only while it is being read.
  const HRESULT openResult = LastErrorResult();
  const std::wstring copy = path + L".copy";
  if (!CopyFileW(path.c_str(), copy.c_str(), FALSE)) return openResult;

  HRESULT hr;
  {
    ScopedFile copyFile = OpenForReading(copy, flagsAndAttributes);
    hr = copyFile ? ReadOpenFile(copyFile.get(), bytes) : LastErrorResult();
  }
  DeleteCopy(copy);
  return hr;
}

}  // namespace

HRESULT ReadWholeFile(const std::wstring& path, DWORD flagsAndAttributes, std::string* bytes) {
  return ReadWholeFileImpl(path, flagsAndAttributes, bytes);
}

HRESULT ReadWholeFile(const std::wstring& path, DWORD flagsAndAttributes,
                      std::vector<unsigned char>* bytes) {
  return ReadWholeFileImpl(path, flagsAndAttributes, bytes);
}

HRESULT WriteWholeFile(const std::wstring& path, const void* bytes, size_t size,
                       DWORD flagsAndAttributes) {
  if (!bytes && size != 0) return E_POINTER;
  if (size > MAXDWORD) return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
  ScopedFile file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              flagsAndAttributes, nullptr));
  if (!file) return LastErrorResult();
  DWORD written = 0;
  if (size != 0 &&
      !WriteFile(file.get(), bytes, static_cast<DWORD>(size), &written, nullptr)) {
    return LastErrorResult();
  }
  if (written != size) return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
  return S_OK;
}

HRESULT WriteWholeFile(const std::wstring& path, const std::string& bytes,
                       DWORD flagsAndAttributes) {
  return WriteWholeFile(path, bytes.data(), bytes.size(), flagsAndAttributes);
}

std::wstring ExpandEnvPath(const std::wstring& text) {
  if (text.empty()) return text;
  WCHAR buffer[kPathChars];
  DWORD needed = ExpandEnvironmentStringsW(text.c_str(), buffer, ARRAYSIZE(buffer));
  // `needed` counts the terminating zero; 0 is a failure, more than the
  // buffer means the text did not fit and the buffer holds no usable path.
  if (needed == 0 || needed > ARRAYSIZE(buffer)) return std::wstring();
  return std::wstring(buffer);
}

std::wstring AppendPath(const std::wstring& directory, const std::wstring& more) {
  WCHAR buffer[kPathChars];
  const size_t dirChars = wcsnlen(directory.c_str(), directory.size());
  if (dirChars >= ARRAYSIZE(buffer)) return std::wstring();
  wmemcpy(buffer, directory.c_str(), dirChars);
  buffer[dirChars] = L'\0';
  if (!PathAppendW(buffer, more.c_str())) return std::wstring();
  return std::wstring(buffer);
}

}  // namespace Zentrava
