#include "net/web_request.h"

#include <windows.h>
#include <winhttp.h>

#include <vector>

#include "net/win_http.h"
#include "net/url_text.h"

namespace Zentrava {
namespace Network {

namespace {

const wchar_t kUserAgent[] = L"kivra";

// Leading decimal digits, 0 when there are none; saturates instead of
// wrapping so that an absurd port cannot turn into a real one.
long LeadingNumber(const std::wstring& text) {
  long value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') break;
    value = value * 10 + (c - L'0');
    if (value > 0xFFFFF) return 0xFFFFF;
  }
  return value;
}

bool AddHeader(HINTERNET request, const wchar_t* name, const std::wstring& value) {
  std::wstring line = name + value;
  return WinHttpAddRequestHeaders(request, line.c_str(), static_cast<DWORD>(-1),
                                  WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE) != FALSE;
}

std::wstring RawHeaders(HINTERNET request) {
  DWORD size = 0;
  WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                      WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return std::wstring();
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                           buffer.data(), &size, WINHTTP_NO_HEADER_INDEX))
    return std::wstring();
  return std::wstring(buffer.data());
}

// The text after the first "Cookie:" (which also ends "Set-Cookie:") up to
// its ";". The search stays on that header's line, so a cookie without
// attributes never swallows the headers after it.
std::wstring CookieFromHeaders(const std::wstring& headers) {
  size_t start = headers.find(L"Cookie:");
  if (start == std::wstring::npos) return std::wstring();
  start += 7;
  size_t end = headers.find_first_of(L";\r\n", start);
  if (end == std::wstring::npos || headers[end] != L';') return std::wstring();
  return headers.substr(start, end - start);
}

std::vector<unsigned char> ReadWholeBody(HINTERNET request) {
  std::vector<unsigned char> body;
  DWORD available = 0;
  while (WinHttpQueryDataAvailable(request, &available) && available > 0) {
    size_t at = body.size();
    body.resize(at + available);
    DWORD read = 0;
    if (!WinHttpReadData(request, body.data() + at, available, &read)) read = 0;
    body.resize(at + read);
    available = 0;
  }
  return body;
}

}  // namespace

bool SetRequestTarget(WebRequest* request, const std::wstring& url) {
  request->server.clear();
  request->path.clear();
  request->port = 0;
  request->secure = false;

  std::wstring rest;
  int defaultPort = 0;
  if (url.size() > 7 && StartsWithNoCase(url, L"https://")) {
    rest = url.substr(8);
    defaultPort = INTERNET_DEFAULT_HTTPS_PORT;
    request->secure = true;
  } else if (url.size() > 6 && StartsWithNoCase(url, L"http://")) {
    rest = url.substr(7);
    defaultPort = INTERNET_DEFAULT_HTTP_PORT;
  } else {
    return false;
  }
  size_t slash = rest.find(L'/');
  if (slash == std::wstring::npos) {
    request->secure = false;
    return false;
  }
  request->path = rest.substr(slash);
  size_t colon = rest.find(L':');
  if (colon != std::wstring::npos && colon < slash) {
    request->server = rest.substr(0, colon);
    request->port = static_cast<int>(LeadingNumber(rest.substr(colon + 1, slash - colon - 1)));
  } else {
    request->server = rest.substr(0, slash);
    request->port = defaultPort;
  }
  return true;
}

bool SendWebRequest(const WebRequest& request, WebResponse* response) {
  response->statusCode = -1;
  // A port WinHTTP cannot take would be cut to 16 bits and reach another
  // service.
  if (request.port < 0 || request.port > 0xFFFF) return false;

  CWinHttpSession session(WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_NO_PROXY,
                                      WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return false;
  CWinHttpConnect connection(WinHttpConnect(session.get(), request.server.c_str(),
                                            static_cast<INTERNET_PORT>(request.port), 0));
  if (!connection) return false;

  std::vector<LPCWSTR> acceptTypes;
  for (const std::wstring& type : request.acceptTypes) acceptTypes.push_back(type.c_str());
  acceptTypes.push_back(nullptr);

  CWinHttpRequest handle(WinHttpOpenRequest(
      connection.get(), request.method.empty() ? nullptr : request.method.c_str(),
      request.path.c_str(), nullptr, WINHTTP_NO_REFERER, acceptTypes.data(),
      request.secure ? WINHTTP_FLAG_SECURE : 0));
  if (!handle) return false;

  if (!request.userName.empty() && !request.password.empty())
    WinHttpSetCredentials(handle.get(), WINHTTP_AUTH_TARGET_SERVER, WINHTTP_AUTH_SCHEME_BASIC,
                          request.userName.c_str(), request.password.c_str(), nullptr);
  if (!request.contentType.empty()) AddHeader(handle.get(), L"Content-type:", request.contentType);
  if (!request.cookie.empty()) AddHeader(handle.get(), L"Cookie:", request.cookie);

  LPVOID data = WINHTTP_NO_REQUEST_DATA;
  DWORD length = 0;
  if (!request.body.empty()) {
    data = const_cast<unsigned char*>(request.body.data());
    length = static_cast<DWORD>(request.body.size());
  }
  if (!WinHttpSendRequest(handle.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, data, length, length, 0))
    return false;
  if (!WinHttpReceiveResponse(handle.get(), nullptr)) return false;

  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!WinHttpQueryHeaders(handle.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
    return false;
  response->statusCode = static_cast<int>(status);
  response->cookie = CookieFromHeaders(RawHeaders(handle.get()));
  response->body = ReadWholeBody(handle.get());
  return true;
}

std::wstring BodyAsText(const WebResponse& response) {
  if (response.body.empty() || response.body.size() > 0x7FFFFFFF) return std::wstring();
  const char* bytes = reinterpret_cast<const char*>(response.body.data());
  int size = static_cast<int>(response.body.size());
  int n = MultiByteToWideChar(CP_UTF8, 0, bytes, size, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring text(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes, size, &text[0], n);
  return std::wstring(text.c_str());
}

}  // namespace Network
}  // namespace Zentrava
