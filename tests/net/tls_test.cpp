// The HTTP agent against a TLS server on loopback whose certificate was made
// for this run and is trusted by nobody: refused without the certificate
// switch, accepted with it, and an accepted connection never carries over to
// a request that checks.
#include <winsock2.h>
#include <windows.h>
#include <winhttp.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "app/app_state.h"
#include "net/assistant_http.h"
#include "net/net_test_util.h"
#include "net/tls_test_server.h"
#include "testkit/net_loopback_server.h"
#include "testkit/scratch_dir.h"

using Zentrava::Network::AssistantHttp;
using testkit::LoopbackHttpServer;
using testkit::NetRequestRecord;

namespace {

// Windows reports an untrusted server certificate as a secure failure; Wine's
// TLS layer fails the channel itself. Each platform has exactly one answer.
bool RunningOnWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool IsCertificateRejection(HRESULT hr) {
  static const DWORD expected =
      RunningOnWine() ? ERROR_WINHTTP_SECURE_CHANNEL_ERROR : ERROR_WINHTTP_SECURE_FAILURE;
  return hr == HRESULT_FROM_WIN32(expected);
}

class TlsAgent : public ::testing::Test {
 protected:
  void SetUp() override {
    tls_ = nettest::TlsTransport::CreateSelfSigned();
    ASSERT_TRUE(tls_);
    server_ = std::make_unique<LoopbackHttpServer>(
        [](const NetRequestRecord& r) { return testkit::NetText("secret " + r.target); }, tls_);
    ASSERT_TRUE(server_->Start());
  }
  void TearDown() override { Zentrava::App::AppOptions().Set(Zentrava::App::kOptionIgnoreCertErrors, 0); }

  std::shared_ptr<nettest::TlsTransport> tls_;
  std::unique_ptr<LoopbackHttpServer> server_;
};

TEST_F(TlsAgent, SelfSignedServerIsRefusedWithoutTheSwitchAndAcceptedWithIt) {
  AssistantHttp agent;
  std::string body = "untouched";

  HRESULT refused = agent.GetText(server_->Url(L"/a", true), "", &body);
  EXPECT_TRUE(IsCertificateRejection(refused)) << std::hex << refused;
  EXPECT_EQ("untouched", body);
  std::printf("certificate refusal: 0x%08lx\n", static_cast<unsigned long>(refused));

  agent.SetIgnoreCertErrors(true);
  EXPECT_EQ(S_OK, agent.GetText(server_->Url(L"/b", true), "", &body));
  EXPECT_EQ("secret /b", body);

  // The connection accepted without checks must not serve this request.
  agent.SetIgnoreCertErrors(false);
  body = "untouched";
  refused = agent.GetText(server_->Url(L"/c", true), "", &body);
  EXPECT_TRUE(IsCertificateRejection(refused)) << std::hex << refused;
  EXPECT_EQ("untouched", body);
  EXPECT_EQ(3, server_->connections()) << "every request opened its own connection";
}

TEST_F(TlsAgent, FetchTakesTheSwitchFromTheOptionTable) {
  AssistantHttp agent;
  std::string body;
  EXPECT_TRUE(IsCertificateRejection(agent.FetchText(server_->Url(L"/item.xml", true), &body)));
  EXPECT_FALSE(agent.ignoreCertErrors());

  Zentrava::App::AppOptions().Set(Zentrava::App::kOptionIgnoreCertErrors, 1);
  EXPECT_EQ(S_OK, agent.FetchText(server_->Url(L"/item.xml", true), &body));
  EXPECT_EQ("secret /item.xml", body);

  testkit::ScratchDir dir;
  std::wstring file = dir.File(L"setup.exe");
  nettest::ProgressLog log;
  std::wstring url = server_->Url(L"/setup.exe", true);
  Zentrava::Network::DownloadNotify notify = log.Notify(url.c_str(), file.c_str());
  EXPECT_EQ(S_OK, agent.FetchFile(url, file, &notify));
  std::string bytes;
  ASSERT_TRUE(testkit::ReadFileBytes(file, &bytes));
  EXPECT_EQ("secret /setup.exe", bytes);
  ASSERT_FALSE(log.entries().empty());
  EXPECT_TRUE(log.entries().back().ok);
  EXPECT_EQ(100, log.entries().back().percent);
}

}  // namespace
