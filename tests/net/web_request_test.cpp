// The HTTP utility and the http_post command: URL splitting, the request as
// the server receives it, status and body handling, and the text decoding.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "net/http_post_command.h"
#include "net/web_request.h"
#include "testkit/net_loopback_server.h"

using Zentrava::Network::BodyAsText;
using Zentrava::Network::HttpPostCommand;
using Zentrava::Network::SendWebRequest;
using Zentrava::Network::SetRequestTarget;
using Zentrava::Network::WebRequest;
using Zentrava::Network::WebResponse;
using testkit::LoopbackHttpServer;
using testkit::NetReply;
using testkit::NetRequestRecord;

namespace {

TEST(SetRequestTarget, SplitsServerPortPathAndScheme) {
  struct Case {
    const wchar_t* url;
    bool ok;
    const wchar_t* server;
    int port;
    const wchar_t* path;
    bool secure;
  } cases[] = {
      {L"https://bank.example:8443/api/x?a=1", true, L"bank.example", 8443, L"/api/x?a=1", true},
      {L"HTTPS://bank.example/api", true, L"bank.example", 443, L"/api", true},
      {L"http://bank.example/", true, L"bank.example", 80, L"/", false},
      {L"http://h/p?t=12:30", true, L"h", 80, L"/p?t=12:30", false},  // colon after the slash
      {L"http://h:abc/p", true, L"h", 0, L"/p", false},                // no digits: port 0
      {L"http://h:81x/p", true, L"h", 81, L"/p", false},               // leading digits only
      {L"https://bank.example", false, L"", 0, L"", false},             // no path
      {L"http://bank.example", false, L"", 0, L"", false},
      {L"ftp://bank.example/x", false, L"", 0, L"", false},
      {L"https://", false, L"", 0, L"", false},
      {L"", false, L"", 0, L"", false},
  };
  for (const Case& c : cases) {
    WebRequest request;
    request.server = L"stale";
    request.path = L"/stale";
    request.port = 9;
    request.secure = true;
    EXPECT_EQ(c.ok, SetRequestTarget(&request, c.url)) << c.url;
    EXPECT_EQ(c.server, request.server) << c.url;
    EXPECT_EQ(c.port, request.port) << c.url;
    EXPECT_EQ(c.path, request.path) << c.url;
    EXPECT_EQ(c.secure, request.secure) << c.url;
  }
}

TEST(BodyAsText, DecodesUtf8AndStopsAtZero) {
  struct Case {
    std::string bytes;
    std::wstring text;
  } cases[] = {
      {"", L""},
      {"plain", L"plain"},
      {"\xe5\xae\x89\xe8\xa3\x85 ok", L"\x5b89\x88c5 ok"},
      {"a\xff" "b", L"a\xfffd" L"b"},  // invalid sequence replaced
      {std::string("ab\0cd", 5), L"ab"},
  };
  for (const Case& c : cases) {
    WebResponse response;
    response.body.assign(c.bytes.begin(), c.bytes.end());
    EXPECT_EQ(c.text, BodyAsText(response));
  }
}

class WebRequestServer : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Start()); }
  std::wstring Post(const VARIANT& url) {
    VARIANT result;
    VariantInit(&result);
    result.vt = VT_I4;  // whatever was there goes
    HttpPostCommand(url, &result);
    EXPECT_EQ(VT_BSTR, result.vt);
    std::wstring text = result.vt == VT_BSTR && result.bstrVal ? result.bstrVal : L"<none>";
    VariantClear(&result);
    return text;
  }
  std::wstring Post(const std::wstring& url) {
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(url.c_str());
    std::wstring text = Post(v);
    VariantClear(&v);
    return text;
  }

  NetReply reply_ = testkit::NetText("ok");
  LoopbackHttpServer server_{[this](const NetRequestRecord&) { return reply_; }};
};

TEST_F(WebRequestServer, HttpPostSendsAnEmptyPostAndReturnsTheBody) {
  reply_ = testkit::NetText("{\"r\":\"\xe6\x88\x90\xe5\x8a\x9f\"}");
  EXPECT_EQ(L"{\"r\":\"\x6210\x529f\"}", Post(server_.Url(L"/api/report?id=7:1")));
  auto requests = server_.requests();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("POST", requests[0].method);
  EXPECT_EQ("/api/report?id=7:1", requests[0].target);
  EXPECT_EQ("", requests[0].body);
  EXPECT_EQ("kivra", requests[0].headers["user-agent"]);
}

TEST_F(WebRequestServer, HttpPostReturnsTheBodyOfAnErrorStatus) {
  reply_ = testkit::NetText("no such page", 404);
  EXPECT_EQ(L"no such page", Post(server_.Url(L"/missing")));
}

TEST_F(WebRequestServer, HttpPostGivesEmptyTextForBadArguments) {
  VARIANT number;
  number.vt = VT_I4;
  number.lVal = 42;
  EXPECT_EQ(L"", Post(number));
  EXPECT_EQ(L"", Post(L"http://127.0.0.1:" + std::to_wstring(server_.port())));  // no path
  EXPECT_TRUE(server_.requests().empty());
}

TEST_F(WebRequestServer, RequestFieldsReachTheServer) {
  NetReply reply = testkit::NetText("created", 201);
  reply.headers.push_back({"Set-Cookie", "sid=abc123; Path=/"});
  reply_ = reply;
  WebRequest request;
  ASSERT_TRUE(SetRequestTarget(&request, server_.Url(L"/submit")));
  request.method = L"PUT";
  request.body = {'k', '=', 'v'};
  request.contentType = L"application/x-www-form-urlencoded";
  request.cookie = L"lang=zh";
  request.acceptTypes = {L"text/plain"};
  WebResponse response;
  ASSERT_TRUE(SendWebRequest(request, &response));
  EXPECT_EQ(201, response.statusCode);
  EXPECT_EQ(L"created", BodyAsText(response));
  EXPECT_EQ(L" sid=abc123", response.cookie);

  auto requests = server_.requests();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("PUT", requests[0].method);
  EXPECT_EQ("k=v", requests[0].body);
  EXPECT_EQ("application/x-www-form-urlencoded", requests[0].headers["content-type"]);
  EXPECT_EQ("lang=zh", requests[0].headers["cookie"]);
  EXPECT_EQ("text/plain", requests[0].headers["accept"]);
}

TEST_F(WebRequestServer, CookieWithoutAttributesDoesNotSwallowLaterHeaders) {
  NetReply reply = testkit::NetText("x");
  reply.headers.push_back({"Set-Cookie", "sid=abc"});
  reply.headers.push_back({"X-Later", "a;b"});
  reply_ = reply;
  WebRequest request;
  ASSERT_TRUE(SetRequestTarget(&request, server_.Url(L"/")));
  WebResponse response;
  ASSERT_TRUE(SendWebRequest(request, &response));
  EXPECT_EQ(L"", response.cookie);
}

TEST_F(WebRequestServer, FailuresLeaveStatusAtMinusOne) {
  WebRequest request;
  ASSERT_TRUE(SetRequestTarget(&request, L"http://127.0.0.1:99999/x"));
  WebResponse response;
  response.statusCode = 5;
  EXPECT_FALSE(SendWebRequest(request, &response)) << "a port beyond 16 bits is refused";
  EXPECT_EQ(-1, response.statusCode);

  std::wstring closed = server_.Url(L"/x");
  server_.Stop();
  ASSERT_TRUE(SetRequestTarget(&request, closed));
  EXPECT_FALSE(SendWebRequest(request, &response));
  EXPECT_EQ(-1, response.statusCode);
}

// Records the first byte each connection sends: 0x16 opens a TLS handshake.
class FirstByteTransport : public testkit::NetTransport {
 public:
  std::unique_ptr<testkit::NetStream> Accept(SOCKET socket) override {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval wait = {5, 0};
    char byte = 0;
    if (select(0, &set, nullptr, nullptr, &wait) > 0 && recv(socket, &byte, 1, 0) == 1)
      first = static_cast<unsigned char>(byte);
    return nullptr;  // hang up: the handshake cannot go on
  }
  std::atomic<int> first{-1};
};

TEST(WebRequestTls, HttpsWithAPortUsesThatPortAndTls) {
  auto transport = std::make_shared<FirstByteTransport>();
  LoopbackHttpServer server([](const NetRequestRecord&) { return testkit::NetText("x"); }, transport);
  ASSERT_TRUE(server.Start());
  VARIANT url;
  url.vt = VT_BSTR;
  url.bstrVal = SysAllocString(server.Url(L"/api", true).c_str());
  VARIANT result;
  VariantInit(&result);
  HttpPostCommand(url, &result);
  EXPECT_EQ(VT_BSTR, result.vt);
  EXPECT_EQ(0u, SysStringLen(result.bstrVal));
  VariantClear(&result);
  VariantClear(&url);
  EXPECT_EQ(1, server.connections());
  EXPECT_EQ(0x16, transport->first.load());
}

}  // namespace
