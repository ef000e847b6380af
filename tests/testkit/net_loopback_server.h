// A small HTTP/1.1 server on 127.0.0.1 for network tests: runs on its own
// threads inside the test process, answers every request through a handler
// the test supplies, and records what arrived (request lines, headers, bodies,
// how many TCP connections were opened). The transport is replaceable so a
// test can put TLS under it.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testkit {

struct NetRequestRecord {
  std::string method;
  std::string target;  // as sent: "/a/b?q" or, to a proxy, "http://host:port/a"
  std::map<std::string, std::string> headers;  // names lower-cased
  std::string body;
  int connection = 0;  // 1 for the first connection accepted, 2 for the next...
};

struct NetReply {
  int status = 200;
  std::string reason = "OK";
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  // How the length is told: the real length, a declared length different
  // from the body sent (>= 0), or none at all (the connection then closes
  // after the body).
  enum class Length { Exact, Declared, None } length = Length::Exact;
  size_t declaredLength = 0;
  bool close = false;  // close the connection after this reply
};

using NetHandler = std::function<NetReply(const NetRequestRecord&)>;

// One accepted connection's byte stream.
class NetStream {
 public:
  virtual ~NetStream() = default;
  // Bytes read, 0 at the end of the stream, negative on error.
  virtual int Read(char* buffer, int size) = 0;
  virtual bool WriteAll(const char* data, size_t size) = 0;
  // Bytes already decoded and waiting (TLS records); the server then reads
  // without waiting for the socket first.
  virtual bool HasBuffered() { return false; }
};

// Turns an accepted socket into a stream (plain TCP by default); returns null
// to drop the connection (a failed TLS handshake, say). The stream does not
// own the socket.
class NetTransport {
 public:
  virtual ~NetTransport() = default;
  virtual std::unique_ptr<NetStream> Accept(SOCKET socket) = 0;
};

class LoopbackHttpServer {
 public:
  explicit LoopbackHttpServer(NetHandler handler, std::shared_ptr<NetTransport> transport = nullptr);
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  // Listens on 127.0.0.1 at a free port; false when that is not possible.
  bool Start();
  // Closes the listener and every open connection and waits for the threads.
  void Stop();

  unsigned short port() const { return port_; }
  // "http://127.0.0.1:<port>" (or https when `secure`).
  std::wstring Url(const std::wstring& path, bool secure = false) const;
  int connections() const { return connections_.load(); }
  std::vector<NetRequestRecord> requests() const;

 private:
  void AcceptLoop();
  void Serve(SOCKET socket, int connection);
  // Waits until the socket can be read or the server stops; closing a socket
  // does not wake a blocked call under Wine, so nothing blocks unbounded.
  bool WaitReadable(SOCKET socket);

  NetHandler handler_;
  std::shared_ptr<NetTransport> transport_;
  SOCKET listener_ = INVALID_SOCKET;
  unsigned short port_ = 0;
  std::atomic<int> connections_{0};
  std::atomic<bool> stopping_{false};
  std::thread acceptThread_;
  mutable std::mutex mutex_;
  std::vector<std::thread> workers_;
  std::vector<SOCKET> open_;
  std::vector<NetRequestRecord> requests_;
};

// A reply with a body and a status.
NetReply NetText(const std::string& body, int status = 200);

}  // namespace testkit
