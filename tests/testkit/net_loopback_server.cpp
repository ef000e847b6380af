#include "testkit/net_loopback_server.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace testkit {

namespace {

class PlainStream : public NetStream {
 public:
  explicit PlainStream(SOCKET socket) : socket_(socket) {}
  int Read(char* buffer, int size) override { return recv(socket_, buffer, size, 0); }
  bool WriteAll(const char* data, size_t size) override {
    while (size > 0) {
      int chunk = static_cast<int>(std::min<size_t>(size, 1 << 20));
      int sent = send(socket_, data, chunk, 0);
      if (sent <= 0) return false;
      data += sent;
      size -= static_cast<size_t>(sent);
    }
    return true;
  }

 private:
  SOCKET socket_;
};

class PlainTransport : public NetTransport {
 public:
  std::unique_ptr<NetStream> Accept(SOCKET socket) override {
    return std::make_unique<PlainStream>(socket);
  }
};

struct WinsockInit {
  WinsockInit() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trim(const std::string& text) {
  size_t a = text.find_first_not_of(" \t");
  if (a == std::string::npos) return std::string();
  size_t b = text.find_last_not_of(" \t");
  return text.substr(a, b - a + 1);
}

// Parses the head (request line and headers, without the blank line).
bool ParseHead(const std::string& head, NetRequestRecord* record) {
  size_t lineEnd = head.find("\r\n");
  std::string line = head.substr(0, lineEnd);
  size_t s1 = line.find(' ');
  size_t s2 = line.rfind(' ');
  if (s1 == std::string::npos || s2 == s1) return false;
  record->method = line.substr(0, s1);
  record->target = line.substr(s1 + 1, s2 - s1 - 1);
  size_t at = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
  while (at < head.size()) {
    size_t end = head.find("\r\n", at);
    if (end == std::string::npos) end = head.size();
    std::string header = head.substr(at, end - at);
    size_t colon = header.find(':');
    if (colon != std::string::npos)
      record->headers[Lower(Trim(header.substr(0, colon)))] = Trim(header.substr(colon + 1));
    at = end + 2;
  }
  return true;
}

}  // namespace

NetReply NetText(const std::string& body, int status) {
  NetReply reply;
  reply.status = status;
  reply.reason = status == 200 ? "OK" : status == 404 ? "Not Found" : "Status";
  reply.body = body;
  return reply;
}

LoopbackHttpServer::LoopbackHttpServer(NetHandler handler, std::shared_ptr<NetTransport> transport)
    : handler_(std::move(handler)), transport_(std::move(transport)) {
  static WinsockInit init;
  if (!transport_) transport_ = std::make_shared<PlainTransport>();
}

LoopbackHttpServer::~LoopbackHttpServer() { Stop(); }

bool LoopbackHttpServer::Start() {
  listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener_ == INVALID_SOCKET) return false;
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  int size = sizeof(address);
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(listener_, 16) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    closesocket(listener_);
    listener_ = INVALID_SOCKET;
    return false;
  }
  port_ = ntohs(address.sin_port);
  acceptThread_ = std::thread([this] { AcceptLoop(); });
  return true;
}

void LoopbackHttpServer::Stop() {
  if (listener_ == INVALID_SOCKET && !acceptThread_.joinable()) return;
  stopping_ = true;
  if (acceptThread_.joinable()) acceptThread_.join();
  if (listener_ != INVALID_SOCKET) {
    closesocket(listener_);
    listener_ = INVALID_SOCKET;
  }
  std::vector<std::thread> workers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (SOCKET s : open_) shutdown(s, SD_BOTH);
    workers.swap(workers_);
  }
  for (std::thread& t : workers) t.join();
}

std::wstring LoopbackHttpServer::Url(const std::wstring& path, bool secure) const {
  return (secure ? L"https://127.0.0.1:" : L"http://127.0.0.1:") + std::to_wstring(port_) + path;
}

std::vector<NetRequestRecord> LoopbackHttpServer::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

bool LoopbackHttpServer::WaitReadable(SOCKET socket) {
  while (!stopping_) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval wait = {0, 50 * 1000};
    int n = select(0, &set, nullptr, nullptr, &wait);
    if (n < 0) return false;
    if (n > 0) return true;
  }
  return false;
}

void LoopbackHttpServer::AcceptLoop() {
  for (;;) {
    if (!WaitReadable(listener_)) return;
    SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) {
      if (stopping_) return;
      continue;
    }
    int number = ++connections_;
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) {
      closesocket(client);
      return;
    }
    open_.push_back(client);
    workers_.emplace_back([this, client, number] { Serve(client, number); });
  }
}

void LoopbackHttpServer::Serve(SOCKET socket, int connection) {
  std::unique_ptr<NetStream> stream = transport_->Accept(socket);
  std::string pending;
  char buffer[16384];
  while (stream && !stopping_) {
    size_t headEnd;
    while ((headEnd = pending.find("\r\n\r\n")) == std::string::npos) {
      if (!stream->HasBuffered() && !WaitReadable(socket)) goto done;
      int n = stream->Read(buffer, sizeof(buffer));
      if (n <= 0) goto done;
      pending.append(buffer, static_cast<size_t>(n));
    }
    NetRequestRecord record;
    record.connection = connection;
    if (!ParseHead(pending.substr(0, headEnd), &record)) break;
    pending.erase(0, headEnd + 4);
    size_t length = 0;
    auto it = record.headers.find("content-length");
    if (it != record.headers.end()) length = std::strtoul(it->second.c_str(), nullptr, 10);
    while (pending.size() < length) {
      if (!stream->HasBuffered() && !WaitReadable(socket)) goto done;
      int n = stream->Read(buffer, sizeof(buffer));
      if (n <= 0) goto done;
      pending.append(buffer, static_cast<size_t>(n));
    }
    record.body = pending.substr(0, length);
    pending.erase(0, length);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(record);
    }

    NetReply reply = handler_(record);
    bool close = reply.close || reply.length == NetReply::Length::None ||
                 reply.length == NetReply::Length::Declared ||
                 Lower(record.headers["connection"]) == "close";
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + reply.reason + "\r\n";
    for (const auto& header : reply.headers) head += header.first + ": " + header.second + "\r\n";
    if (reply.length == NetReply::Length::Exact)
      head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    else if (reply.length == NetReply::Length::Declared)
      head += "Content-Length: " + std::to_string(reply.declaredLength) + "\r\n";
    if (close) head += "Connection: close\r\n";
    head += "\r\n";
    if (!stream->WriteAll(head.data(), head.size())) break;
    if (record.method != "HEAD" && !stream->WriteAll(reply.body.data(), reply.body.size())) break;
    if (close) break;
  }
done:
  stream.reset();
  shutdown(socket, SD_SEND);
  closesocket(socket);
  std::lock_guard<std::mutex> lock(mutex_);
  open_.erase(std::remove(open_.begin(), open_.end(), socket), open_.end());
}

}  // namespace testkit
