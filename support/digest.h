// Message digests of byte strings and files, written as lowercase hex text.
// The selector numbers are part of the program's contract (configuration
// documents and cache names rely on MD5 and SHA-1 of exactly this form).
#pragma once

#include <string>

namespace Zentrava {

enum DigestKind : int {
  kDigestMd4 = 0,
  kDigestMd5 = 1,
  kDigestSha1 = 2,
  kDigestSha256 = 3,
};

// Digest of `bytes` as lowercase hexadecimal, two digits per byte in digest
// order (MD5: 32 digits, SHA-1: 40). An unknown selector, or a digest the
// crypto library cannot compute, gives the empty text.
std::string DigestHex(const void* bytes, size_t size, int selector);
std::string DigestHex(const std::string& bytes, int selector);

// Digest of a whole file's contents (read with ReadWholeFile). A file that
// cannot be read gives the empty text, which never equals a real digest.
std::string FileDigestHex(const std::wstring& path, int selector);

}  // namespace Zentrava
