#include "engine/config_cache.h"

#include <shlobj.h>

#include "engine/config_store.h"
#include "support/digest.h"
#include "support/file_util.h"

namespace Zentrava {
namespace Assistant {

std::wstring ConfigCachePath(const std::wstring& url) {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_INTERNET_CACHE, nullptr, SHGFP_TYPE_CURRENT, folder)))
    return std::wstring();
  std::wstring name = Utf8ToWide(DigestHex(WideToUtf8(url), kDigestMd5)) + L".mdc";
  return AppendPath(AppendPath(folder, L"Content.IE5"), name);
}

HRESULT ReadConfigCopy(const std::wstring& url, std::string* text) {
  std::wstring path = ConfigCachePath(url);
  if (path.empty()) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
  return ReadWholeFile(path, FILE_ATTRIBUTE_NORMAL, text);
}

HRESULT WriteConfigCopy(const std::wstring& url, const std::string& text) {
  std::wstring path = ConfigCachePath(url);
  if (path.empty()) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
  // The folder may not exist yet on a profile whose browser never ran.
  size_t slash = path.find_last_of(L'\\');
  if (slash != std::wstring::npos) CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
  // A hidden, system file cannot be replaced by CREATE_ALWAYS with other
  // attributes; clear them first.
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return WriteWholeFile(path, text, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
}

}  // namespace Assistant
}  // namespace Zentrava
