// Enciphered configuration documents: Base64 text of an RSA-enciphered key
// block (PKCS#1 v1.5, 512 bytes) followed by the document under AES-256-CBC.
// The key block starts with the MD5 of the plain document, which proves that
// the right key deciphered it.
#pragma once

#include <cstddef>
#include <string>

namespace Zentrava {
namespace Assistant {

// The program's built-in private key (DER).
const unsigned char* ConfigPrivateKeyDer(size_t* size);

// Deciphers `text` into `plain`. False on any failure (bad Base64, a block
// the key does not open, bad padding, a digest that does not match, nothing
// after the key block); `plain` is left untouched then.
bool DecipherConfigDocument(const std::string& text, std::string* plain);

// The inverse, for publishing documents and for tests: enciphers `plain` for
// the program's key with the given 64-byte key block tail (bytes 16 to 63 of
// the block; the first 16 are the document's MD5). False on failure.
bool EncipherConfigDocument(const std::string& plain, const std::string& blockTail,
                            std::string* text);

}  // namespace Assistant
}  // namespace Zentrava
