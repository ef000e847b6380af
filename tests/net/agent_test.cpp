// The HTTP agent against plain HTTP servers on loopback: URL resolution and
// connection reuse, status handling, downloads and their notifications, and
// that requests from two threads never overlap.
#include <winsock2.h>
#include <windows.h>
#include <winhttp.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "net/assistant_http.h"
#include "net/net_test_util.h"
#include "testkit/net_loopback_server.h"
#include "testkit/scratch_dir.h"

using Zentrava::Network::AssistantHttp;
using Zentrava::Network::CWinHttpAgent;
using Zentrava::Network::DownloadNotify;
using Zentrava::Network::DownloadNotifyKind;
using Zentrava::Network::DownloadProgress;
using Zentrava::Network::HttpHandle;
using Zentrava::Network::MakeDownloadProgress;
using testkit::LoopbackHttpServer;
using testkit::NetReply;
using testkit::NetRequestRecord;

namespace {

NetReply EchoTarget(const NetRequestRecord& r) { return testkit::NetText("target=" + r.target); }

std::string Payload(size_t size) {
  std::string data(size, '\0');
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>('a' + (i * 7) % 26);
  return data;
}

TEST(AgentUrls, RelativeUrlsGlueOntoTheLastAbsolutePathAndQueriesAreNotSent) {
  LoopbackHttpServer server(EchoTarget);
  ASSERT_TRUE(server.Start());
  AssistantHttp agent;
  std::string body;

  struct Step {
    std::wstring url;
    std::string expectedTarget;
  } steps[] = {
      {server.Url(L"/dir/"), "/dir/"},
      {L"file.txt", "/dir/file.txt"},  // after a directory: the directory plus the name
      {server.Url(L"/dir/page.html?secret=1#frag"), "/dir/page.html"},
      {L"more.txt", "/dir/page.htmlmore.txt"},  // after a file: glued onto the file name
  };
  for (const Step& step : steps) {
    body = "poison";
    EXPECT_EQ(S_OK, agent.GetText(step.url, "", &body));
    EXPECT_EQ("target=" + step.expectedTarget, body);
  }
  EXPECT_EQ(L"/dir/page.html", agent.basePath());
  EXPECT_EQ(1, server.connections()) << "one connection serves the whole host and port";
}

TEST(AgentUrls, QueryArgumentIsAppendedAfterQuestionMark) {
  LoopbackHttpServer server(EchoTarget);
  ASSERT_TRUE(server.Start());
  AssistantHttp agent;
  std::string body;
  EXPECT_EQ(S_OK, agent.GetText(server.Url(L"/q"), "a=1&b=two", &body));
  EXPECT_EQ("target=/q?a=1&b=two", body);
}

TEST(AgentUrls, AnotherPortOpensANewConnectionAndClearsTheBasePath) {
  LoopbackHttpServer first(EchoTarget), second(EchoTarget);
  ASSERT_TRUE(first.Start());
  ASSERT_TRUE(second.Start());
  AssistantHttp agent;
  std::string body;
  ASSERT_EQ(S_OK, agent.GetText(first.Url(L"/one/"), "", &body));
  ASSERT_EQ(S_OK, agent.GetText(first.Url(L"/one/a"), "", &body));
  EXPECT_EQ(1, first.connections());
  ASSERT_EQ(S_OK, agent.GetText(second.Url(L"/two/"), "", &body));
  EXPECT_EQ(1, second.connections());
  EXPECT_EQ(L"/two/", agent.basePath());
  EXPECT_EQ(second.port(), agent.port());
  ASSERT_EQ(S_OK, agent.GetText(L"x", "", &body));
  EXPECT_EQ("target=/two/x", body);
}

// Hangs up on every connection, so a TLS client fails at once.
class HangUpTransport : public testkit::NetTransport {
 public:
  std::unique_ptr<testkit::NetStream> Accept(SOCKET) override { return nullptr; }
};

TEST(AgentUrls, SecureFlagFollowsTheLastAbsoluteScheme) {
  LoopbackHttpServer plain(EchoTarget, std::make_shared<HangUpTransport>()), other(EchoTarget);
  ASSERT_TRUE(plain.Start());
  ASSERT_TRUE(other.Start());
  AssistantHttp agent;
  std::string body;
  // No handshake completes here; the flag is set by the resolution all the
  // same.
  EXPECT_TRUE(FAILED(agent.GetText(plain.Url(L"/", true), "", &body)));
  EXPECT_EQ(static_cast<DWORD>(WINHTTP_FLAG_SECURE), agent.requestFlags());
  EXPECT_EQ(S_OK, agent.GetText(other.Url(L"/"), "", &body));
  EXPECT_EQ(0u, agent.requestFlags());
}

TEST(AgentUrls, UnsplittableUrlFailsWithoutSending) {
  LoopbackHttpServer server(EchoTarget);
  ASSERT_TRUE(server.Start());
  AssistantHttp agent;
  std::string body = "kept";
  std::wstring longHost = L"http://" + std::wstring(150, L'h') + L".example/";
  HRESULT hr = agent.GetText(longHost, "", &body);
  EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
  EXPECT_EQ("kept", body);
  EXPECT_EQ(0, server.connections());
}

TEST(AgentUrls, UnreachableServerFailsWithTheWinHttpErrorAndNoNotification) {
  LoopbackHttpServer server(EchoTarget);
  ASSERT_TRUE(server.Start());
  std::wstring url = server.Url(L"/gone.bin");
  server.Stop();  // the port is now closed
  testkit::ScratchDir dir;
  nettest::ProgressLog log;
  std::wstring file = dir.File(L"gone.bin");
  DownloadNotify notify = log.Notify(url.c_str(), file.c_str());
  AssistantHttp agent;
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_WINHTTP_CANNOT_CONNECT), agent.Download(url, file, &notify));
  EXPECT_FALSE(testkit::FileExists(file));
  EXPECT_TRUE(log.entries().empty());
}

TEST(AgentGetText, ErrorStatusLeavesTheBodyUntouched) {
  LoopbackHttpServer server([](const NetRequestRecord&) { return testkit::NetText("missing", 404); });
  ASSERT_TRUE(server.Start());
  AssistantHttp agent;
  std::string body = "unchanged";
  EXPECT_EQ(S_OK, agent.GetText(server.Url(L"/item.xml"), "", &body));
  EXPECT_EQ("unchanged", body);
}

TEST(AgentGetText, BodyShorterThanItsLengthIsAFailure) {
  LoopbackHttpServer server([](const NetRequestRecord&) {
    NetReply reply = testkit::NetText("<config>");
    reply.length = NetReply::Length::Declared;
    reply.declaredLength = 1000;
    return reply;
  });
  ASSERT_TRUE(server.Start());
  AssistantHttp agent;
  std::string body = "unchanged";
  EXPECT_EQ(E_FAIL, agent.GetText(server.Url(L"/item.xml"), "", &body));
  EXPECT_EQ("unchanged", body);
}

class AgentDownload : public ::testing::Test {
 protected:
  void StartServing(std::function<NetReply(const NetRequestRecord&)> handler) {
    server_ = std::make_unique<LoopbackHttpServer>(std::move(handler));
    ASSERT_TRUE(server_->Start());
    url_ = server_->Url(L"/files/setup.exe");
    file_ = dir_.File(L"setup.exe");
    notify_ = log_.Notify(url_.c_str(), file_.c_str());
    notify_.para = reinterpret_cast<uintptr_t>(&log_);
  }
  std::string FileContents() {
    std::string bytes;
    EXPECT_TRUE(testkit::ReadFileBytes(file_, &bytes));
    return bytes;
  }

  testkit::ScratchDir dir_;
  std::unique_ptr<LoopbackHttpServer> server_;
  std::wstring url_, file_;
  nettest::ProgressLog log_;
  DownloadNotify notify_;
  AssistantHttp agent_;
};

TEST_F(AgentDownload, CompleteBodyReportsProgressThenCompletion) {
  const std::string data = Payload(3 * 1024 * 1024 + 17);
  StartServing([&](const NetRequestRecord&) { return testkit::NetText(data); });
  ASSERT_EQ(S_OK, agent_.Download(url_, file_, &notify_));
  EXPECT_EQ(data, FileContents());

  auto entries = log_.entries();
  ASSERT_GE(entries.size(), 2u);
  int previous = 0;
  for (const auto& e : entries) {
    EXPECT_TRUE(e.ok);
    EXPECT_EQ(static_cast<int>(data.size()), e.total);
    EXPECT_GE(e.received, previous);
    EXPECT_EQ(static_cast<int>(static_cast<long long>(e.received) * 100 / e.total), e.percent);
    EXPECT_EQ(url_, e.url);
    EXPECT_EQ(file_, e.filePath);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(&log_), e.para);
    previous = e.received;
  }
  EXPECT_EQ(static_cast<int>(data.size()), entries.back().received);
  EXPECT_EQ(100, entries.back().percent);
}

TEST_F(AgentDownload, ErrorStatusGivesOneNotificationAndNoFile) {
  StartServing([](const NetRequestRecord&) { return testkit::NetText("not here", 404); });
  ASSERT_EQ(S_OK, agent_.Download(url_, file_, &notify_));
  EXPECT_FALSE(testkit::FileExists(file_));
  auto entries = log_.entries();
  ASSERT_EQ(1u, entries.size());
  EXPECT_FALSE(entries[0].ok);
  EXPECT_EQ(0, entries[0].received);
  EXPECT_EQ(0, entries[0].total);
  EXPECT_EQ(0, entries[0].percent);
}

TEST_F(AgentDownload, ShortBodyFailsKeepsThePartialFileAndNotifiesOnce) {
  const std::string sent = Payload(5000);
  StartServing([&](const NetRequestRecord&) {
    NetReply reply = testkit::NetText(sent);
    reply.length = NetReply::Length::Declared;
    reply.declaredLength = 8000;
    return reply;
  });
  EXPECT_EQ(E_FAIL, agent_.Download(url_, file_, &notify_));
  EXPECT_EQ(sent, FileContents());
  auto entries = log_.entries();
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(1, log_.failures());
  EXPECT_FALSE(entries.back().ok);
  EXPECT_EQ(0, entries.back().received);
  EXPECT_EQ(8000, entries.back().total);
}

TEST_F(AgentDownload, NoContentLengthCompletesWithTotalZero) {
  const std::string data = Payload(200000);
  StartServing([&](const NetRequestRecord&) {
    NetReply reply = testkit::NetText(data);
    reply.length = NetReply::Length::None;
    return reply;
  });
  ASSERT_EQ(S_OK, agent_.Download(url_, file_, &notify_));
  EXPECT_EQ(data, FileContents());
  auto entries = log_.entries();
  ASSERT_GE(entries.size(), 2u);
  for (size_t i = 0; i + 1 < entries.size(); ++i) {
    EXPECT_EQ(0, entries[i].total);
    EXPECT_EQ(0, entries[i].percent) << "size unknown while it runs";
  }
  EXPECT_TRUE(entries.back().ok);
  EXPECT_EQ(0, entries.back().total);
  EXPECT_EQ(static_cast<int>(data.size()), entries.back().received);
  EXPECT_EQ(100, entries.back().percent);
}

TEST_F(AgentDownload, RunsWithoutANotifyContext) {
  const std::string data = Payload(70000);
  StartServing([&](const NetRequestRecord&) { return testkit::NetText(data); });
  ASSERT_EQ(S_OK, agent_.Download(url_, file_, nullptr));
  EXPECT_EQ(data, FileContents());
}

TEST_F(AgentDownload, UncreatableFileFailsWithItsErrorAndOneFailureNotification) {
  StartServing([](const NetRequestRecord&) { return testkit::NetText("x"); });
  file_ = dir_.File(L"no-such-folder\\setup.exe");
  notify_ = log_.Notify(url_.c_str(), file_.c_str());
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), agent_.Download(url_, file_, &notify_));
  auto entries = log_.entries();
  ASSERT_EQ(1u, entries.size());
  EXPECT_FALSE(entries[0].ok);
}

// A derived agent sees the hooks in their places.
class HookedAgent : public CWinHttpAgent {
 public:
  void OnConnected(HttpHandle) override { ++connects; }
  void OnBeforeSend(HttpHandle) override { ++sends; }
  bool AcceptResponse(HttpHandle, DWORD status) override {
    lastStatus = status;
    return accept;
  }
  int connects = 0, sends = 0;
  DWORD lastStatus = 0;
  bool accept = true;
};

TEST_F(AgentDownload, RejectedResponseEndsWithSuccessAndProducesNothing) {
  StartServing([](const NetRequestRecord&) { return testkit::NetText("body", 203); });
  HookedAgent agent;
  agent.accept = false;
  EXPECT_EQ(S_OK, agent.Download(url_, file_, &notify_));
  EXPECT_FALSE(testkit::FileExists(file_));
  EXPECT_TRUE(log_.entries().empty());
  std::string body = "kept";
  EXPECT_EQ(S_OK, agent.GetText(url_, "", &body));
  EXPECT_EQ("kept", body);
  EXPECT_EQ(203u, agent.lastStatus);
  EXPECT_EQ(1, agent.connects);
  EXPECT_EQ(2, agent.sends);
}

TEST(AgentConcurrency, RequestsFromTwoThreadsNeverOverlap) {
  std::atomic<int> inside{0}, most{0};
  LoopbackHttpServer server([&](const NetRequestRecord&) {
    int now = ++inside;
    int seen = most.load();
    while (now > seen && !most.compare_exchange_weak(seen, now)) {
    }
    Sleep(30);
    --inside;
    return testkit::NetText("ok");
  });
  ASSERT_TRUE(server.Start());
  AssistantHttp agent;
  auto worker = [&](const wchar_t* path) {
    for (int i = 0; i < 5; ++i) {
      Zentrava::Network::CWinHttpAgent::Lock hold(agent);
      agent.SetIgnoreCertErrors(false);
      std::string body;
      EXPECT_EQ(S_OK, agent.GetText(server.Url(path), "", &body));
      EXPECT_EQ("ok", body);
    }
  };
  std::thread a(worker, L"/a"), b(worker, L"/b");
  a.join();
  b.join();
  EXPECT_EQ(1, most.load());
  EXPECT_EQ(10u, server.requests().size());
}

TEST(AgentNotifications, PercentArithmeticCannotOverflow) {
  DownloadNotify notify;
  struct Case {
    DownloadNotifyKind kind;
    int32_t value, total;
    int32_t received, percent;
    bool ok;
  } cases[] = {
      {DownloadNotifyKind::Progress, 2000000000, 2100000000, 2000000000, 95, true},
      {DownloadNotifyKind::Progress, 50, 0, 50, 0, true},
      {DownloadNotifyKind::Completion, 50, 0, 50, 100, true},
      {DownloadNotifyKind::Completion, 10, 10, 10, 100, true},
      {DownloadNotifyKind::Failure, static_cast<int32_t>(E_FAIL), 10, 0, 0, false},
      {DownloadNotifyKind::HttpError, 404, 0, 0, 0, false},
  };
  for (const Case& c : cases) {
    DownloadProgress p = MakeDownloadProgress(notify, c.kind, c.value, c.total);
    EXPECT_EQ(c.received, p.received) << static_cast<int>(c.kind);
    EXPECT_EQ(c.total, p.total);
    EXPECT_EQ(c.percent, p.percent) << static_cast<int>(c.kind) << " " << c.value;
    EXPECT_EQ(c.ok, p.ok);
  }
}

}  // namespace
