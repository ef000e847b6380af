#include "net/assistant_http.h"

#include <windows.h>
#include <winhttp.h>

#include "app/app_state.h"

namespace Zentrava {
namespace Network {

AssistantHttp g_assistantHttp;

bool IgnoreCertErrorsOption() {
  return App::GetAppOption(App::kOptionIgnoreCertErrors) != 0;
}

void AssistantHttp::OnBeforeSend(HttpHandle request) {
  if (!ignoreCertErrors_) return;
  DWORD flags = 0;
  DWORD size = sizeof(flags);
  SetLastError(0);
  if (!WinHttpQueryOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &flags, &size) &&
      GetLastError() != 0)
    return;
  flags |= SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE |
           SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
  WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof(flags));

  // WinHTTP pools TLS connections per session, and a pooled connection keeps
  // the certificate decision it was opened with. One accepted without checks
  // must not serve a later request that does check, so it is never pooled.
  if (requestFlags() & WINHTTP_FLAG_SECURE) {
    DWORD feature = WINHTTP_DISABLE_KEEP_ALIVE;
    WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &feature, sizeof(feature));
  }
}

HRESULT AssistantHttp::FetchText(const std::wstring& url, std::string* body) {
  Lock hold(*this);
  SetIgnoreCertErrors(IgnoreCertErrorsOption());
  return GetText(url, std::string(), body);
}

HRESULT AssistantHttp::FetchFile(const std::wstring& url, const std::wstring& filePath,
                                 const DownloadNotify* notify) {
  Lock hold(*this);
  SetIgnoreCertErrors(IgnoreCertErrorsOption());
  return Download(url, filePath, notify);
}

}  // namespace Network
}  // namespace Zentrava
