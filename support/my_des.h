// The assistant's own DES variant, used to encipher the caller block handed to
// the trojan-scan library. It keeps the FIPS 46-3 tables and rounds but numbers
// bits from the least significant end, skips the final swap of the halves and
// writes S-box values lowest bit first, so its output is NOT standard DES: the
// library on the other side expects exactly this variant.
#pragma once

#include <cstddef>

namespace Zentrava {

class CMyDesClass {
 public:
  static constexpr std::size_t kBlockSize = 8;

  CMyDesClass() = default;
  virtual ~CMyDesClass() = default;

  // Enciphers one raw 8-byte block with the built-in key. `output` is cleared
  // and then written in full; it may be the same buffer as `input`.
  void Encrypt(unsigned char* output, const unsigned char* input);

  // The same cipher under any 8-byte key. Encrypt() is this with the built-in
  // key; the keyed form exists so the cipher can be checked on its own.
  static void EncryptWithKey(const unsigned char* key, unsigned char* output,
                             const unsigned char* input);
};

}  // namespace Zentrava
