#include "engine/check_fix_host.h"

#include "support/file_util.h"
#include "support/scoped_handle.h"
#include "support/wow64.h"

namespace Zentrava {
namespace Assistant {

namespace {

// The system's hosts file is read and written in the real system directory,
// not the 32-bit one WOW64 would redirect to.
class RedirectionOff {
 public:
  RedirectionOff() : off_(IsWow64() && DisableFsRedirection()) {}
  ~RedirectionOff() {
    if (off_) RevertFsRedirection();
  }
  RedirectionOff(const RedirectionOff&) = delete;
  RedirectionOff& operator=(const RedirectionOff&) = delete;

 private:
  bool off_;
};

std::string ReplaceAll(const std::string& text, const char* from, const char* to, bool* replaced) {
  const size_t fromLength = strlen(from);
  std::string result;
  result.reserve(text.size() + text.size() / 16);
  size_t pos = 0;
  bool any = false;
  for (size_t hit; (hit = text.find(from, pos)) != std::string::npos; pos = hit + fromLength) {
    result.append(text, pos, hit - pos);
    result.append(to);
    any = true;
  }
  result.append(text, pos, std::string::npos);
  if (replaced) *replaced = any;
  return result;
}

HRESULT LastErrorResult() {
  DWORD error = GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

}  // namespace

CheckFixHost::CheckFixHost() : pathTemplate_(L"%windir%\\system32\\drivers\\etc\\hosts") {}

CheckFixHost::CheckFixHost(std::wstring pathTemplate) : pathTemplate_(std::move(pathTemplate)) {}

std::wstring CheckFixHost::HostsPath() const { return ExpandEnvPath(pathTemplate_); }

HRESULT CheckFixHost::Load() {
  std::string bytes;
  HRESULT hr;
  {
    RedirectionOff redirection;
    hr = ReadWholeFile(HostsPath(), FILE_ATTRIBUTE_NORMAL, &bytes);
  }
  if (FAILED(hr)) {
    // The text of an earlier run is no longer the file's: a fix run must not
    // write it back over whatever the file holds now.
    hostsText_.Assign(std::string());
    usesCrLf_ = false;
    loaded_ = false;
    return hr;
  }
  bool crLf = false;
  std::string text = "\n";
  text += ReplaceAll(bytes, "\r\n", "\n", &crLf);
  text += "\n";
  hostsText_.Assign(std::move(text));
  usesCrLf_ = crLf;
  loaded_ = true;
  return S_OK;
}

HRESULT CheckFixHost::Store() const {
  std::string bytes = hostsText_.text();
  if (bytes.size() > 1) {
    if (bytes.front() == '\n') bytes.erase(0, 1);
    if (!bytes.empty() && bytes.back() == '\n') bytes.pop_back();
  }
  if (usesCrLf_) bytes = ReplaceAll(bytes, "\n", "\r\n", nullptr);
  RedirectionOff redirection;
  return ReplaceFileContents(HostsPath(), bytes);
}

int32_t CheckFixHost::BeginCheck() { return SUCCEEDED(Load()) ? ResultPass : ResultFail; }

int32_t CheckFixHost::Check(ConfigEntry& entry) {
  return hostsText_.Contains(entry.text) ? ResultFail : ResultPass;
}

int32_t CheckFixHost::BeginFix() {
  // The fix works on the text of the last check run. Without one there is no
  // text to work on, and writing an empty one back would wipe the file.
  if (!loaded_ && FAILED(Load())) return ResultFail;
  return ResultPass;
}

int32_t CheckFixHost::Fix(ConfigEntry& entry) {
  hostsText_.RemoveAll(entry.text);
  return ResultPass;
}

int32_t CheckFixHost::EndFix() {
  if (!loaded_) return ResultFail;
  return SUCCEEDED(Store()) ? ResultPass : ResultFail;
}

HRESULT ReplaceFileContents(const std::wstring& path, const std::string& bytes) {
  if (path.empty()) return E_INVALIDARG;
  const std::wstring temporary = path + L".new";
  {
    ScopedFile file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return LastErrorResult();
    DWORD written = 0;
    bool ok = bytes.size() <= MAXDWORD &&
              WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                        nullptr) &&
              written == bytes.size() && FlushFileBuffers(file.get());
    if (!ok) {
      HRESULT hr = LastErrorResult();
      file.reset();
      DeleteFileW(temporary.c_str());
      return hr;
    }
  }

  DWORD attributes = GetFileAttributesW(path.c_str());
  BOOL replaced;
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    replaced = MoveFileExW(temporary.c_str(), path.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  } else {
    // Takes over the old file's attributes, security and creation time.
    replaced = ReplaceFileW(path.c_str(), temporary.c_str(), nullptr,
                            REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
  }
  if (!replaced) {
    HRESULT hr = LastErrorResult();
    DeleteFileW(temporary.c_str());
    return hr;
  }
  if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(path.c_str(), attributes);
  return S_OK;
}

}  // namespace Assistant
}  // namespace Zentrava
