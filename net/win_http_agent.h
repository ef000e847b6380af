// The HTTP agent: one WinHTTP session in synchronous mode that follows the
// user's browser proxy settings (including an auto-configuration script),
// keeps one connection open while host and port stay the same, and fetches
// text or downloads files with progress notifications.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "net/download_notify.h"
#include "net/win_http.h"

namespace Zentrava {
namespace Network {

class CWinHttpAgent {
 public:
  // Opens the session and reads the user's proxy settings. When the session
  // cannot be opened every request fails with the open's error.
  CWinHttpAgent();
  virtual ~CWinHttpAgent();
  CWinHttpAgent(const CWinHttpAgent&) = delete;
  CWinHttpAgent& operator=(const CWinHttpAgent&) = delete;

  // Never invoked by the agent; kept so derived classes keep their slots.
  virtual void Reserved() {}
  // After every new connection is opened.
  virtual void OnConnected(HttpHandle connection);
  // After a request is opened and its proxy applied, before it is sent.
  virtual void OnBeforeSend(HttpHandle request);
  // After the status code is read; false ends the request with S_OK and
  // produces neither body nor file.
  virtual bool AcceptResponse(HttpHandle request, DWORD statusCode);

  // GET; on a status below 400 the raw body replaces *body. `query` is ANSI
  // text appended after "?" when non-empty. A status of 400 or above is
  // S_OK with *body untouched.
  HRESULT GetText(const std::wstring& url, const std::string& query, std::string* body);
  // GET written to filePath with notifications through notify (may be null).
  // A status of 400 or above is S_OK with one HTTP-error notification and no
  // file; a body shorter than its Content-Length is E_FAIL and the partial
  // file stays.
  HRESULT Download(const std::wstring& url, const std::wstring& filePath,
                   const DownloadNotify* notify);

  // Holds the agent for one caller. The request methods take it themselves;
  // a caller that changes the agent's settings for its request (the
  // certificate switch) holds it across both, so no other thread's request
  // runs in between. Re-entrant on one thread.
  class Lock {
   public:
    explicit Lock(CWinHttpAgent& agent) : agent_(agent) { EnterCriticalSection(&agent_.lock_); }
    ~Lock() { LeaveCriticalSection(&agent_.lock_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

   private:
    CWinHttpAgent& agent_;
  };

  // State between requests, for callers that need to look (and for tests).
  DWORD requestFlags() const { return requestFlags_; }
  const std::wstring& autoConfigUrl() const { return autoConfigUrl_; }
  const std::wstring& host() const { return host_; }
  const std::wstring& basePath() const { return basePath_; }
  unsigned short port() const { return port_; }
  bool connected() const { return connection_.valid(); }

 private:
  // Absolute URLs move the connection; relative ones are glued to the base
  // path. On success *path is what goes into the request line.
  HRESULT ResolveUrl(const std::wstring& url, std::wstring* path);
  bool Connect(const std::wstring& host, unsigned short port);
  void ApplyAutoProxy(HttpHandle request, const std::wstring& url);
  // Steps shared by both requests, up to and including AcceptResponse.
  // *accepted is false when the hook turned the response down.
  HRESULT OpenAndSend(const std::wstring& url, const std::string& query, CWinHttpRequest* request,
                      DWORD* statusCode, bool* accepted);
  HRESULT WriteBodyToFile(HttpHandle request, const std::wstring& filePath,
                          const DownloadNotify* notify);

  DWORD requestFlags_ = 0;
  std::wstring autoConfigUrl_;
  CWinHttpSession session_;
  CWinHttpConnect connection_;
  std::wstring host_;
  std::wstring basePath_;
  unsigned short port_ = 0;

  DWORD sessionError_ = 0;
  CRITICAL_SECTION lock_;
};

}  // namespace Network
}  // namespace Zentrava
