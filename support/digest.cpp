// Digests go through OpenSSL's EVP interface. OpenSSL 3 keeps MD4 in its
// "legacy" provider, which a static libcrypto built without loadable modules
// does not carry; the low-level MD4 routines are still compiled in, so MD4
// falls back to them when the EVP route has no implementation to offer.
#define OPENSSL_SUPPRESS_DEPRECATED 1

#include "support/digest.h"

#include <windows.h>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/md4.h>

#include "support/file_util.h"

namespace Zentrava {
namespace {

const EVP_MD* DigestFor(int selector) {
  switch (selector) {
    case kDigestMd4: return EVP_md4();
    case kDigestMd5: return EVP_md5();
    case kDigestSha1: return EVP_sha1();
    case kDigestSha256: return EVP_sha256();
    default: return nullptr;
  }
}

// False when the library cannot compute this digest (no provider for it).
bool EvpDigest(const EVP_MD* md, const void* bytes, size_t size, unsigned char* out,
               unsigned int* outSize) {
  EVP_MD_CTX* raw = EVP_MD_CTX_new();
  if (!raw) return false;
  struct Owner {
    EVP_MD_CTX* ctx;
    ~Owner() { EVP_MD_CTX_free(ctx); }
  } owner{raw};
  // A digest without an implementation leaves errors on this thread's
  // queue; they are ours to drop, not for the next OpenSSL caller to find.
  ERR_set_mark();
  bool ok = EVP_DigestInit_ex(raw, md, nullptr) == 1 &&
            EVP_DigestUpdate(raw, bytes, size) == 1 &&
            EVP_DigestFinal_ex(raw, out, outSize) == 1;
  ERR_pop_to_mark();
  return ok;
}

void LowLevelMd4(const void* bytes, size_t size, unsigned char* out, unsigned int* outSize) {
  MD4_CTX ctx;
  MD4_Init(&ctx);
  MD4_Update(&ctx, bytes, size);
  MD4_Final(out, &ctx);
  *outSize = MD4_DIGEST_LENGTH;
}

std::string LowerHex(const unsigned char* digest, unsigned int size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(size * 2);
  for (unsigned int i = 0; i < size; ++i) {
    hex.push_back(kDigits[digest[i] >> 4]);
    hex.push_back(kDigits[digest[i] & 0x0F]);
  }
  return hex;
}

}  // namespace

std::string DigestHex(const void* bytes, size_t size, int selector) {
  const EVP_MD* md = DigestFor(selector);
  if (!md) return std::string();
  static const unsigned char kNothing = 0;
  if (!bytes) {
    if (size != 0) return std::string();
    bytes = &kNothing;
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int digestSize = 0;
  if (!EvpDigest(md, bytes, size, digest, &digestSize)) {
    if (selector != kDigestMd4) return std::string();
    LowLevelMd4(bytes, size, digest, &digestSize);
  }
  return LowerHex(digest, digestSize);
}

std::string DigestHex(const std::string& bytes, int selector) {
  return DigestHex(bytes.data(), bytes.size(), selector);
}

std::string FileDigestHex(const std::wstring& path, int selector) {
  std::string contents;
  if (FAILED(ReadWholeFile(path, FILE_ATTRIBUTE_NORMAL, &contents))) return std::string();
  return DigestHex(contents, selector);
}

}  // namespace Zentrava
