// The local copy of the configuration document (kept while option 1000 is
// on): the document exactly as downloaded, in the browser's cache folder,
// named by the MD5 of the configuration URL, hidden and system.
#pragma once

#include <windows.h>

#include <string>

namespace Zentrava {
namespace Assistant {

// "<Temporary Internet Files>\Content.IE5\<md5 of the UTF-8 url>.mdc", or
// empty when the cache folder cannot be determined.
std::wstring ConfigCachePath(const std::wstring& url);

HRESULT ReadConfigCopy(const std::wstring& url, std::string* text);
HRESULT WriteConfigCopy(const std::wstring& url, const std::string& text);

}  // namespace Assistant
}  // namespace Zentrava
