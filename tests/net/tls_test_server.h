// TLS under the loopback test server: a certificate made for the test run
// (self-signed, RSA 2048, CN 127.0.0.1) and OpenSSL's server side on every
// accepted connection.
#pragma once

#include <memory>
#include <string>

#include "testkit/net_loopback_server.h"

namespace nettest {

class TlsTransport : public testkit::NetTransport {
 public:
  // Null when the key, the certificate or the TLS context cannot be made.
  static std::shared_ptr<TlsTransport> CreateSelfSigned();
  ~TlsTransport() override;

  std::unique_ptr<testkit::NetStream> Accept(SOCKET socket) override;
  // Connections whose handshake completed.
  int handshakes() const { return handshakes_.load(); }

 private:
  TlsTransport() = default;
  void* context_ = nullptr;  // SSL_CTX
  std::atomic<int> handshakes_{0};
};

}  // namespace nettest
