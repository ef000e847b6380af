// A small self-contained HTTP client for one request at a time: every call
// opens and closes its own session, connection and request, and never uses a
// proxy. Serves the http_post script command.
#pragma once

#include <string>
#include <vector>

namespace Zentrava {
namespace Network {

struct WebRequest {
  std::wstring server;
  int port = 0;
  std::wstring path;  // path and query, starting with "/"
  bool secure = false;
  std::wstring userName;  // basic authentication when both are set
  std::wstring password;
  std::wstring method;
  std::wstring cookie;  // value of a "Cookie:" request header
  std::vector<unsigned char> body;
  std::wstring contentType;  // value of a "Content-type:" request header
  std::vector<std::wstring> acceptTypes;
};

struct WebResponse {
  int statusCode = -1;  // stays -1 when no status was read
  std::vector<unsigned char> body;
  std::wstring cookie;  // cookie text found in the response headers
};

// Fills server, port, path and secure from an "http://" or "https://" URL
// that has a path; false (server left empty) for anything else.
bool SetRequestTarget(WebRequest* request, const std::wstring& url);

// Sends the request; true when a status code was read, whatever it was.
bool SendWebRequest(const WebRequest& request, WebResponse* response);

// The body decoded as UTF-8, ending at the first zero character.
std::wstring BodyAsText(const WebResponse& response);

}  // namespace Network
}  // namespace Zentrava
