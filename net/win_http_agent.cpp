#include "net/win_http_agent.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <vector>

#include "net/http_result.h"
#include "net/url_text.h"
#include "support/scoped_handle.h"

namespace Zentrava {
namespace Network {

namespace {

const wchar_t kUserAgent[] = L"Mozilla/5.0";

// The platform hands out its strings with GlobalAlloc.
void FreeGlobalString(LPWSTR text) {
  if (text) GlobalFree(text);
}

DWORD QueryNumberHeader(HINTERNET request, DWORD query, DWORD fallback) {
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (!WinHttpQueryHeaders(request, query | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                           &value, &size, WINHTTP_NO_HEADER_INDEX))
    return fallback;
  return value;
}

int32_t ClampToInt32(uint64_t value) {
  return value > 0x7FFFFFFFull ? 0x7FFFFFFF : static_cast<int32_t>(value);
}

void Notify(const DownloadNotify* notify, DownloadNotifyKind kind, int32_t value, int32_t total) {
  if (!notify || !notify->callback) return;
  DownloadProgress progress = MakeDownloadProgress(*notify, kind, value, total);
  notify->callback(&progress);
}

}  // namespace

DownloadProgress MakeDownloadProgress(const DownloadNotify& notify, DownloadNotifyKind kind,
                                      int32_t value, int32_t total) {
  DownloadProgress progress = {};
  progress.url = notify.url;
  progress.filePath = notify.filePath;
  progress.para = notify.para;
  progress.total = total;
  if (kind == DownloadNotifyKind::Progress || kind == DownloadNotifyKind::Completion) {
    progress.received = value;
    progress.ok = true;
    if (total > 0) {
      // 64-bit so that received * 100 cannot overflow for any 32-bit size.
      int64_t percent = static_cast<int64_t>(std::max(value, 0)) * 100 / total;
      progress.percent = static_cast<int32_t>(std::min<int64_t>(percent, 100));
    } else {
      progress.percent = kind == DownloadNotifyKind::Completion ? 100 : 0;
    }
  } else {
    // The value (an HRESULT or a status code) is not passed on.
    progress.received = 0;
    progress.ok = false;
    progress.percent = 0;
  }
  return progress;
}

CWinHttpAgent::CWinHttpAgent() {
  InitializeCriticalSection(&lock_);
  HINTERNET session = WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                  WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  if (!session) {
    // The agent is a process-wide object built before anything can report a
    // problem; its requests fail with this error instead.
    sessionError_ = GetLastError();
    if (sessionError_ == 0) sessionError_ = ERROR_INVALID_HANDLE;
    return;
  }
  session_.reset(session);

  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
  SetLastError(0);
  if (WinHttpGetIEProxyConfigForCurrentUser(&config) || GetLastError() == 0) {
    if (config.lpszAutoConfigUrl) autoConfigUrl_ = config.lpszAutoConfigUrl;
    if (config.lpszProxy) {
      WINHTTP_PROXY_INFO proxy = {};
      proxy.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
      proxy.lpszProxy = config.lpszProxy;
      proxy.lpszProxyBypass = config.lpszProxyBypass;
      // Without the user's proxy the direct route may still work.
      WinHttpSetOption(session, WINHTTP_OPTION_PROXY, &proxy, sizeof(proxy));
    }
  }
  FreeGlobalString(config.lpszAutoConfigUrl);
  FreeGlobalString(config.lpszProxy);
  FreeGlobalString(config.lpszProxyBypass);
}

CWinHttpAgent::~CWinHttpAgent() {
  connection_.reset();
  session_.reset();
  DeleteCriticalSection(&lock_);
}

void CWinHttpAgent::OnConnected(HttpHandle) {}
void CWinHttpAgent::OnBeforeSend(HttpHandle) {}
bool CWinHttpAgent::AcceptResponse(HttpHandle, DWORD) { return true; }

HRESULT CWinHttpAgent::ResolveUrl(const std::wstring& url, std::wstring* path) {
  if (!StartsWithNoCase(url, L"http://") && !StartsWithNoCase(url, L"https://")) {
    *path = basePath_ + url;
    return S_OK;
  }
  wchar_t scheme[10], hostName[100], urlPath[512], extra[512];
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.lpszScheme = scheme;
  parts.dwSchemeLength = ARRAYSIZE(scheme);
  parts.lpszHostName = hostName;
  parts.dwHostNameLength = ARRAYSIZE(hostName);
  parts.lpszUrlPath = urlPath;
  parts.dwUrlPathLength = ARRAYSIZE(urlPath);
  parts.lpszExtraInfo = extra;
  parts.dwExtraInfoLength = ARRAYSIZE(extra);
  if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) return LastErrorResult();

  std::wstring resolved(urlPath, parts.dwUrlPathLength);
  if (!Connect(std::wstring(hostName, parts.dwHostNameLength), parts.nPort))
    return LastErrorResult();
  basePath_ = resolved;
  requestFlags_ = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
  // The extra information (query, fragment) is deliberately not sent.
  *path = resolved;
  return S_OK;
}

bool CWinHttpAgent::Connect(const std::wstring& host, unsigned short port) {
  if (connection_ && host == host_ && port == port_) return true;
  connection_.reset();
  basePath_.clear();
  SetLastError(0);
  HINTERNET connection = WinHttpConnect(session_.get(), host.c_str(), port, 0);
  if (!connection) {
    DWORD error = GetLastError();
    host_.clear();
    port_ = 0;
    SetLastError(error ? error : ERROR_INVALID_HANDLE);
    return false;
  }
  connection_.reset(connection);
  OnConnected(connection);
  host_ = host;
  port_ = port;
  return true;
}

void CWinHttpAgent::ApplyAutoProxy(HttpHandle request, const std::wstring& url) {
  if (autoConfigUrl_.empty()) return;
  // The script decides by the full URL; a relative one is asked about in
  // the absolute form it resolved to.
  std::wstring absolute = url;
  if (!StartsWithNoCase(url, L"http://") && !StartsWithNoCase(url, L"https://")) {
    absolute = (requestFlags_ & WINHTTP_FLAG_SECURE ? L"https://" : L"http://") + host_ + L":" +
               std::to_wstring(port_) + basePath_ + url;
  }
  WINHTTP_AUTOPROXY_OPTIONS options = {};
  options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
  options.dwAutoDetectFlags = 0;
  options.lpszAutoConfigUrl = autoConfigUrl_.c_str();
  options.fAutoLogonIfChallenged = TRUE;
  WINHTTP_PROXY_INFO proxy = {};
  if (!WinHttpGetProxyForUrl(session_.get(), absolute.c_str(), &options, &proxy)) return;
  // A lookup that fails leaves the session's proxy in charge.
  WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &proxy, sizeof(proxy));
  FreeGlobalString(proxy.lpszProxy);
  FreeGlobalString(proxy.lpszProxyBypass);
}

HRESULT CWinHttpAgent::OpenAndSend(const std::wstring& url, const std::string& query,
                                   CWinHttpRequest* request, DWORD* statusCode, bool* accepted) {
  *accepted = false;
  if (!session_) return HRESULT_FROM_WIN32(sessionError_);
  std::wstring path;
  HRESULT hr = ResolveUrl(url, &path);
  if (FAILED(hr)) return hr;
  if (!query.empty()) {
    int n = MultiByteToWideChar(CP_ACP, 0, query.data(), static_cast<int>(query.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(std::max(n, 0)), L'\0');
    if (n > 0)
      MultiByteToWideChar(CP_ACP, 0, query.data(), static_cast<int>(query.size()), &wide[0], n);
    path += L"?";
    path += wide;
  }

  SetLastError(0);
  request->reset(WinHttpOpenRequest(connection_.get(), nullptr, path.c_str(), nullptr,
                                    WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                    requestFlags_));
  if (!*request) return LastErrorResult();
  ApplyAutoProxy(request->get(), url);
  OnBeforeSend(request->get());

  if (!WinHttpSendRequest(request->get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                          WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
    return LastErrorResult();
  if (!WinHttpReceiveResponse(request->get(), nullptr)) return LastErrorResult();

  *statusCode = QueryNumberHeader(request->get(), WINHTTP_QUERY_STATUS_CODE, 0);
  *accepted = AcceptResponse(request->get(), *statusCode);
  return S_OK;
}

HRESULT CWinHttpAgent::GetText(const std::wstring& url, const std::string& query,
                               std::string* body) {
  Lock hold(*this);
  CWinHttpRequest request;
  DWORD status = 0;
  bool accepted = false;
  HRESULT hr = OpenAndSend(url, query, &request, &status, &accepted);
  if (FAILED(hr) || !accepted || status >= 400) return hr;

  // A text cut short would otherwise be taken for the whole document.
  DWORD expected = QueryNumberHeader(request.get(), WINHTTP_QUERY_CONTENT_LENGTH, 0);
  std::string text;
  std::vector<char> buffer;
  for (;;) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request.get(), &available)) return LastErrorResult();
    if (available == 0) break;
    if (buffer.size() < available) buffer.resize(available);
    DWORD read = 0;
    if (!WinHttpReadData(request.get(), buffer.data(), available, &read)) return LastErrorResult();
    text.append(buffer.data(), read);
  }
  if (expected != 0 && text.size() != expected) return E_FAIL;
  body->swap(text);
  return S_OK;
}

HRESULT CWinHttpAgent::Download(const std::wstring& url, const std::wstring& filePath,
                                const DownloadNotify* notify) {
  Lock hold(*this);
  CWinHttpRequest request;
  DWORD status = 0;
  bool accepted = false;
  HRESULT hr = OpenAndSend(url, std::string(), &request, &status, &accepted);
  if (FAILED(hr) || !accepted) return hr;
  if (status >= 400) {
    Notify(notify, DownloadNotifyKind::HttpError, static_cast<int32_t>(status), 0);
    return S_OK;
  }
  return WriteBodyToFile(request.get(), filePath, notify);
}

HRESULT CWinHttpAgent::WriteBodyToFile(HttpHandle request, const std::wstring& filePath,
                                       const DownloadNotify* notify) {
  DWORD total = QueryNumberHeader(request, WINHTTP_QUERY_CONTENT_LENGTH, 0);
  int32_t totalForReport = ClampToInt32(total);
  uint64_t received = 0;
  HRESULT hr = S_OK;
  {
    HANDLE file = CreateFileW(filePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      hr = LastErrorResult();
    } else {
      ScopedFile owner(file);
      std::vector<char> buffer;
      for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available)) {
          hr = LastErrorResult();
          break;
        }
        if (available == 0) break;
        if (buffer.size() < available) buffer.resize(available);
        DWORD read = 0;
        if (!WinHttpReadData(request, buffer.data(), available, &read)) {
          hr = LastErrorResult();
          break;
        }
        DWORD written = 0;
        if (read && (!WriteFile(file, buffer.data(), read, &written, nullptr) || written != read)) {
          hr = LastErrorResult();
          break;
        }
        received += read;
        Notify(notify, DownloadNotifyKind::Progress, ClampToInt32(received), totalForReport);
      }
    }
  }
  // WinHTTP does not report a body that ends before its Content-Length, so
  // the count is the only witness.
  if (SUCCEEDED(hr) && total != 0 && received != total) hr = E_FAIL;
  if (FAILED(hr))
    Notify(notify, DownloadNotifyKind::Failure, hr, totalForReport);
  else
    Notify(notify, DownloadNotifyKind::Completion, ClampToInt32(received), totalForReport);
  return hr;
}

}  // namespace Network
}  // namespace Zentrava
