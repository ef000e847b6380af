// WinINet lives in its own file: its header cannot share a translation unit
// with WinHTTP's.
#include "engine/check_fix_url.h"

#include <wininet.h>

namespace Zentrava {
namespace Assistant {

int32_t CheckFixUrl::Check(ConfigEntry& entry) {
  std::wstring url = Utf8ToWide(entry.text);
  return InternetCheckConnectionW(url.c_str(), FLAG_ICC_FORCE_CONNECTION, 0) ? ResultPass
                                                                            : ResultFail;
}

bool IsProxyConfigured() {
  INTERNET_PER_CONN_OPTIONW options[5] = {};
  options[0].dwOption = INTERNET_PER_CONN_AUTOCONFIG_URL;
  options[1].dwOption = INTERNET_PER_CONN_AUTODISCOVERY_FLAGS;
  options[2].dwOption = INTERNET_PER_CONN_FLAGS;
  options[3].dwOption = INTERNET_PER_CONN_PROXY_BYPASS;
  options[4].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
  INTERNET_PER_CONN_OPTION_LISTW list = {};
  list.dwSize = sizeof(list);
  list.pszConnection = nullptr;
  list.dwOptionCount = 5;
  list.pOptions = options;
  DWORD size = sizeof(list);
  if (!InternetQueryOptionW(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &size))
    return false;
  DWORD flags = options[2].Value.dwValue;
  for (int i : {0, 3, 4}) {
    if (options[i].Value.pszValue) GlobalFree(options[i].Value.pszValue);
  }
  return (flags & (PROXY_TYPE_PROXY | PROXY_TYPE_AUTO_PROXY_URL)) != 0;
}

}  // namespace Assistant
}  // namespace Zentrava
