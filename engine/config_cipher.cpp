#include "engine/config_cipher.h"

#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <memory>
#include <vector>

namespace Zentrava {
namespace Assistant {

namespace {

constexpr size_t kRsaBlock = 512;
constexpr size_t kKeyMaterial = 64;
constexpr size_t kDigestSize = 16;

struct PkeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct PkeyCtxFree {
  void operator()(EVP_PKEY_CTX* ctx) const { EVP_PKEY_CTX_free(ctx); }
};
struct CipherCtxFree {
  void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
struct EncodeCtxFree {
  void operator()(EVP_ENCODE_CTX* ctx) const { EVP_ENCODE_CTX_free(ctx); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;
using PkeyCtx = std::unique_ptr<EVP_PKEY_CTX, PkeyCtxFree>;
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree>;
using EncodeCtx = std::unique_ptr<EVP_ENCODE_CTX, EncodeCtxFree>;

Pkey LoadKey() {
  size_t size = 0;
  const unsigned char* der = ConfigPrivateKeyDer(&size);
  return Pkey(d2i_PrivateKey(EVP_PKEY_RSA, nullptr, &der, static_cast<long>(size)));
}

// Base64 with line breaks allowed; padding is taken off the decoded length.
bool DecodeBase64(const std::string& text, std::vector<unsigned char>* bytes) {
  if (text.size() > 0x7FFFFFF0u) return false;
  EncodeCtx ctx(EVP_ENCODE_CTX_new());
  if (!ctx) return false;
  std::vector<unsigned char> out(text.size() / 4 * 3 + 80);
  int length = 0, tail = 0;
  EVP_DecodeInit(ctx.get());
  if (EVP_DecodeUpdate(ctx.get(), out.data(), &length,
                       reinterpret_cast<const unsigned char*>(text.data()),
                       static_cast<int>(text.size())) < 0)
    return false;
  if (EVP_DecodeFinal(ctx.get(), out.data() + length, &tail) < 0) return false;
  out.resize(static_cast<size_t>(length + tail));
  bytes->swap(out);
  return true;
}

std::string EncodeBase64(const std::vector<unsigned char>& bytes) {
  std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&text[0]), bytes.data(),
                               static_cast<int>(bytes.size()));
  text.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return text;
}

bool RsaDecrypt(EVP_PKEY* key, const unsigned char* block, std::vector<unsigned char>* out) {
  PkeyCtx ctx(EVP_PKEY_CTX_new(key, nullptr));
  if (!ctx || EVP_PKEY_decrypt_init(ctx.get()) <= 0 ||
      EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) <= 0)
    return false;
  size_t length = 0;
  if (EVP_PKEY_decrypt(ctx.get(), nullptr, &length, block, kRsaBlock) <= 0) return false;
  std::vector<unsigned char> plain(length);
  if (EVP_PKEY_decrypt(ctx.get(), plain.data(), &length, block, kRsaBlock) <= 0) return false;
  plain.resize(length);
  out->swap(plain);
  return true;
}

// 64 bytes: the block repeated when shorter, or its first 64 bytes.
std::vector<unsigned char> KeyMaterial(const std::vector<unsigned char>& block) {
  std::vector<unsigned char> material(kKeyMaterial);
  for (size_t i = 0; i < kKeyMaterial; ++i) material[i] = block[i % block.size()];
  return material;
}

bool AesCbc(bool encrypt, const std::vector<unsigned char>& material, const unsigned char* in,
            size_t size, std::vector<unsigned char>* out) {
  if (size > 0x7FFFFFF0u) return false;
  CipherCtx ctx(EVP_CIPHER_CTX_new());
  if (!ctx ||
      EVP_CipherInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, material.data(), material.data(),
                        encrypt ? 1 : 0) != 1)
    return false;
  std::vector<unsigned char> result(size + 32);
  int length = 0, tail = 0;
  if (EVP_CipherUpdate(ctx.get(), result.data(), &length, in, static_cast<int>(size)) != 1 ||
      EVP_CipherFinal_ex(ctx.get(), result.data() + length, &tail) != 1)
    return false;
  result.resize(static_cast<size_t>(length + tail));
  out->swap(result);
  return true;
}

bool Md5(const unsigned char* data, size_t size, unsigned char digest[kDigestSize]) {
  unsigned int length = 0;
  return EVP_Digest(data, size, digest, &length, EVP_md5(), nullptr) == 1 &&
         length == kDigestSize;
}

}  // namespace

bool DecipherConfigDocument(const std::string& text, std::string* plain) {
  std::vector<unsigned char> bytes;
  if (!DecodeBase64(text, &bytes) || bytes.size() <= kRsaBlock) return false;
  Pkey key = LoadKey();
  if (!key) return false;
  std::vector<unsigned char> block;
  if (!RsaDecrypt(key.get(), bytes.data(), &block) || block.size() < kDigestSize) return false;
  std::vector<unsigned char> document;
  if (!AesCbc(false, KeyMaterial(block), bytes.data() + kRsaBlock, bytes.size() - kRsaBlock,
              &document))
    return false;
  unsigned char digest[kDigestSize];
  if (!Md5(document.data(), document.size(), digest) ||
      CRYPTO_memcmp(digest, block.data(), kDigestSize) != 0)
    return false;
  plain->assign(document.begin(), document.end());
  return true;
}

bool EncipherConfigDocument(const std::string& plain, const std::string& blockTail,
                            std::string* text) {
  std::vector<unsigned char> block(kDigestSize);
  if (!Md5(reinterpret_cast<const unsigned char*>(plain.data()), plain.size(), block.data()))
    return false;
  block.insert(block.end(), blockTail.begin(), blockTail.end());

  Pkey key = LoadKey();
  if (!key) return false;
  PkeyCtx ctx(EVP_PKEY_CTX_new(key.get(), nullptr));
  size_t length = 0;
  if (!ctx || EVP_PKEY_encrypt_init(ctx.get()) <= 0 ||
      EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) <= 0 ||
      EVP_PKEY_encrypt(ctx.get(), nullptr, &length, block.data(), block.size()) <= 0)
    return false;
  std::vector<unsigned char> bytes(length);
  if (EVP_PKEY_encrypt(ctx.get(), bytes.data(), &length, block.data(), block.size()) <= 0 ||
      length != kRsaBlock)
    return false;
  bytes.resize(length);

  std::vector<unsigned char> body;
  if (!AesCbc(true, KeyMaterial(block), reinterpret_cast<const unsigned char*>(plain.data()),
              plain.size(), &body))
    return false;
  bytes.insert(bytes.end(), body.begin(), body.end());
  *text = EncodeBase64(bytes);
  return true;
}

}  // namespace Assistant
}  // namespace Zentrava
