#include "net/tls_test_server.h"

#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace nettest {

namespace {

class TlsStream : public testkit::NetStream {
 public:
  explicit TlsStream(SSL* ssl) : ssl_(ssl) {}
  ~TlsStream() override {
    SSL_shutdown(ssl_);
    SSL_free(ssl_);
  }
  int Read(char* buffer, int size) override {
    int n = SSL_read(ssl_, buffer, size);
    return n > 0 ? n : (SSL_get_error(ssl_, n) == SSL_ERROR_ZERO_RETURN ? 0 : -1);
  }
  bool HasBuffered() override { return SSL_pending(ssl_) > 0; }
  bool WriteAll(const char* data, size_t size) override {
    while (size > 0) {
      int chunk = static_cast<int>(size > (1u << 20) ? (1u << 20) : size);
      int n = SSL_write(ssl_, data, chunk);
      if (n <= 0) return false;
      data += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }

 private:
  SSL* ssl_;
};

X509* MakeCertificate(EVP_PKEY* key) {
  X509* certificate = X509_new();
  if (!certificate) return nullptr;
  X509_set_version(certificate, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
  X509_gmtime_adj(X509_getm_notBefore(certificate), -3600);
  X509_gmtime_adj(X509_getm_notAfter(certificate), 86400);
  X509_set_pubkey(certificate, key);
  X509_NAME* name = X509_get_subject_name(certificate);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
  X509_set_issuer_name(certificate, name);
  if (X509_sign(certificate, key, EVP_sha256()) == 0) {
    X509_free(certificate);
    return nullptr;
  }
  return certificate;
}

}  // namespace

std::shared_ptr<TlsTransport> TlsTransport::CreateSelfSigned() {
  std::shared_ptr<TlsTransport> transport(new TlsTransport());
  EVP_PKEY* key = EVP_RSA_gen(2048);
  if (!key) return nullptr;
  X509* certificate = MakeCertificate(key);
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  bool ok = certificate && context && SSL_CTX_use_certificate(context, certificate) == 1 &&
            SSL_CTX_use_PrivateKey(context, key) == 1;
  X509_free(certificate);
  EVP_PKEY_free(key);
  if (!ok) {
    SSL_CTX_free(context);
    return nullptr;
  }
  transport->context_ = context;
  return transport;
}

TlsTransport::~TlsTransport() { SSL_CTX_free(static_cast<SSL_CTX*>(context_)); }

std::unique_ptr<testkit::NetStream> TlsTransport::Accept(SOCKET socket) {
  SSL* ssl = SSL_new(static_cast<SSL_CTX*>(context_));
  if (!ssl) return nullptr;
  SSL_set_fd(ssl, static_cast<int>(socket));
  if (SSL_accept(ssl) <= 0) {
    SSL_free(ssl);
    return nullptr;
  }
  ++handshakes_;
  return std::make_unique<TlsStream>(ssl);
}

}  // namespace nettest
