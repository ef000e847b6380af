// Proxies from the user's browser settings: a proxy auto-configuration
// script and a named proxy are followed by the HTTP agent, and ignored by the
// HTTP utility. The script, the proxy and the origin are servers on loopback;
// the proxy answers in place of the origin so the route is visible.
#include <winsock2.h>
#include <windows.h>
#include <winhttp.h>

#include <gtest/gtest.h>

#include "net/assistant_http.h"
#include "net/http_post_command.h"
#include "net/win_http.h"
#include "support/scoped_handle.h"
#include "testkit/net_loopback_server.h"

using Zentrava::Network::AssistantHttp;
using testkit::LoopbackHttpServer;
using testkit::NetReply;
using testkit::NetRequestRecord;

namespace {

const wchar_t kConnections[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";

void AppendCounted(std::string* blob, const std::string& text) {
  DWORD n = static_cast<DWORD>(text.size());
  blob->append(reinterpret_cast<const char*>(&n), sizeof(n));
  blob->append(text);
}

// The browser's own record of the connection settings, which WinHTTP reads
// for the current user: version, counter, flags, proxy, bypass list, script.
void WriteBrowserProxySettings(const std::string& proxy, const std::string& autoConfigUrl) {
  const DWORD kDirect = 1, kProxy = 2, kAutoProxyUrl = 4;
  DWORD header[3] = {0x46, 1, kDirect};
  if (!proxy.empty()) header[2] |= kProxy;
  if (!autoConfigUrl.empty()) header[2] |= kAutoProxyUrl;
  std::string blob(reinterpret_cast<const char*>(header), sizeof(header));
  AppendCounted(&blob, proxy);
  AppendCounted(&blob, "");
  AppendCounted(&blob, autoConfigUrl);
  blob.append(32, '\0');
  Zentrava::ScopedHKey key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kConnections, 0, nullptr, 0,
                                           KEY_SET_VALUE, nullptr, key.put(), nullptr));
  ASSERT_EQ(ERROR_SUCCESS,
            RegSetValueExW(key.get(), L"DefaultConnectionSettings", 0, REG_BINARY,
                           reinterpret_cast<const BYTE*>(blob.data()), static_cast<DWORD>(blob.size())));
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// Whether this WinHTTP routes a request through a proxy record set on it
// (Wine accepts the option and ignores it). Asked with plain WinHTTP calls,
// so the answer does not depend on the code under test.
bool PlatformHonoursRequestProxy(LoopbackHttpServer& origin, LoopbackHttpServer& proxy) {
  size_t before = origin.requests().size();
  Zentrava::Network::CWinHttpSession session(
      WinHttpOpen(L"probe", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0));
  Zentrava::Network::CWinHttpConnect connect(
      WinHttpConnect(session.get(), L"127.0.0.1", origin.port(), 0));
  Zentrava::Network::CWinHttpRequest request(WinHttpOpenRequest(
      connect.get(), nullptr, L"/probe", nullptr, nullptr, nullptr, 0));
  std::wstring address = L"127.0.0.1:" + std::to_wstring(proxy.port());
  WINHTTP_PROXY_INFO info = {WINHTTP_ACCESS_TYPE_NAMED_PROXY, &address[0], nullptr};
  WinHttpSetOption(request.get(), WINHTTP_OPTION_PROXY, &info, sizeof(info));
  if (!WinHttpSendRequest(request.get(), nullptr, 0, nullptr, 0, 0, 0) ||
      !WinHttpReceiveResponse(request.get(), nullptr))
    return false;
  return origin.requests().size() == before;
}

class UserProxy : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(origin_.Start());
    ASSERT_TRUE(proxy_.Start());
    ASSERT_TRUE(pac_.Start());
  }
  void TearDown() override {
    Zentrava::ScopedHKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kConnections, 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS)
      RegDeleteValueW(key.get(), L"DefaultConnectionSettings");
  }
  std::string ProxyAddress() const { return "127.0.0.1:" + std::to_string(proxy_.port()); }
  std::wstring PacUrl() const { return pac_.Url(L"/proxy.pac"); }

  LoopbackHttpServer origin_{[](const NetRequestRecord& r) { return testkit::NetText("origin " + r.target); }};
  LoopbackHttpServer proxy_{[](const NetRequestRecord& r) { return testkit::NetText("proxy " + r.target); }};
  // Sends only the paths with "/viaproxy/" through the proxy.
  LoopbackHttpServer pac_{[this](const NetRequestRecord&) {
    NetReply reply = testkit::NetText(
        "function FindProxyForURL(url, host) {\n"
        "  if (url.indexOf('/viaproxy/') >= 0) return 'PROXY " + ProxyAddress() + "';\n"
        "  return 'DIRECT';\n"
        "}\n");
    reply.headers.push_back({"Content-Type", "application/x-ns-proxy-autoconfig"});
    return reply;
  }};
};

TEST_F(UserProxy, AutoConfigScriptChoosesTheRoutePerRequest) {
  WriteBrowserProxySettings("", Narrow(PacUrl()));
  AssistantHttp agent;
  EXPECT_EQ(PacUrl(), agent.autoConfigUrl());

  std::string viaProxy, direct, relative;
  ASSERT_EQ(S_OK, agent.GetText(origin_.Url(L"/viaproxy/item.xml"), "", &viaProxy));
  ASSERT_EQ(S_OK, agent.GetText(origin_.Url(L"/direct/item.xml"), "", &direct));
  ASSERT_EQ(S_OK, agent.GetText(origin_.Url(L"/viaproxy/"), "", &relative));
  ASSERT_EQ(S_OK, agent.GetText(L"setup.exe", "", &relative));
  EXPECT_EQ("origin /direct/item.xml", direct);
  EXPECT_FALSE(pac_.requests().empty()) << "the script was consulted";

  if (!PlatformHonoursRequestProxy(origin_, proxy_))
    GTEST_SKIP() << "this WinHTTP ignores proxy records set with WinHttpSetOption; the route cannot be seen";
  EXPECT_EQ(Narrow(L"proxy " + origin_.Url(L"/viaproxy/item.xml")), viaProxy);
  // A relative URL is routed by the absolute URL it resolves to.
  EXPECT_EQ(Narrow(L"proxy " + origin_.Url(L"/viaproxy/setup.exe")), relative);
}

TEST_F(UserProxy, NamedProxyCarriesEveryRequest) {
  WriteBrowserProxySettings(ProxyAddress(), "");
  AssistantHttp agent;
  EXPECT_TRUE(agent.autoConfigUrl().empty());
  std::string body;
  ASSERT_EQ(S_OK, agent.GetText(origin_.Url(L"/item.xml"), "", &body));
  if (!PlatformHonoursRequestProxy(origin_, proxy_))
    GTEST_SKIP() << "this WinHTTP ignores proxy records set with WinHttpSetOption; the route cannot be seen";
  EXPECT_EQ(Narrow(L"proxy " + origin_.Url(L"/item.xml")), body);
}

TEST_F(UserProxy, HttpUtilityGoesDirectWhateverTheUserSet) {
  WriteBrowserProxySettings(ProxyAddress(), Narrow(PacUrl()));
  VARIANT url;
  url.vt = VT_BSTR;
  std::wstring target = origin_.Url(L"/viaproxy/post");
  url.bstrVal = SysAllocString(target.c_str());
  VARIANT result;
  VariantInit(&result);
  Zentrava::Network::HttpPostCommand(url, &result);
  ASSERT_EQ(VT_BSTR, result.vt);
  EXPECT_STREQ(L"origin /viaproxy/post", result.bstrVal);
  VariantClear(&result);
  VariantClear(&url);
  EXPECT_TRUE(proxy_.requests().empty());
  EXPECT_TRUE(pac_.requests().empty());
}

}  // namespace
