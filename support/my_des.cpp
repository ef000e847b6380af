// One-block encipherment for the trojan-scan handshake. Every bit lives in its
// own byte (0 or 1) so each table is applied literally, one entry per bit, as
// FIPS 46-3 writes it; the three places where this variant departs from the
// standard are marked where they happen.
#include "support/my_des.h"

#include <cstring>

namespace Zentrava {
namespace {

// The key the trojan-scan library was built with.
constexpr unsigned char kBuiltInKey[CMyDesClass::kBlockSize] = {'w', 'q', 't', 'n',
                                                                 'z', 'h', 'k', 'p'};

// FIPS 46-3 tables; entries count bits from 1.
constexpr unsigned char kIP[64] = {
    58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
    62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
    57, 49, 41, 33, 25, 17, 9, 1, 59, 51, 43, 35, 27, 19, 11, 3,
    61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7,
};
constexpr unsigned char kIPInverse[64] = {
    40, 8, 48, 16, 56, 24, 64, 32, 39, 7, 47, 15, 55, 23, 63, 31,
    38, 6, 46, 14, 54, 22, 62, 30, 37, 5, 45, 13, 53, 21, 61, 29,
    36, 4, 44, 12, 52, 20, 60, 28, 35, 3, 43, 11, 51, 19, 59, 27,
    34, 2, 42, 10, 50, 18, 58, 26, 33, 1, 41, 9, 49, 17, 57, 25,
};
constexpr unsigned char kE[48] = {
    32, 1, 2, 3, 4, 5, 4, 5, 6, 7, 8, 9,
    8, 9, 10, 11, 12, 13, 12, 13, 14, 15, 16, 17,
    16, 17, 18, 19, 20, 21, 20, 21, 22, 23, 24, 25,
    24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1,
};
constexpr unsigned char kP[32] = {
    16, 7, 20, 21, 29, 12, 28, 17, 1, 15, 23, 26, 5, 18, 31, 10,
    2, 8, 24, 14, 32, 27, 3, 9, 19, 13, 30, 6, 22, 11, 4, 25,
};
constexpr unsigned char kPC1[56] = {
    57, 49, 41, 33, 25, 17, 9, 1, 58, 50, 42, 34, 26, 18,
    10, 2, 59, 51, 43, 35, 27, 19, 11, 3, 60, 52, 44, 36,
    63, 55, 47, 39, 31, 23, 15, 7, 62, 54, 46, 38, 30, 22,
    14, 6, 61, 53, 45, 37, 29, 21, 13, 5, 28, 20, 12, 4,
};
constexpr unsigned char kPC2[48] = {
    14, 17, 11, 24, 1, 5, 3, 28, 15, 6, 21, 10,
    23, 19, 12, 4, 26, 8, 16, 7, 27, 20, 13, 2,
    41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48,
    44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32,
};
constexpr unsigned char kShifts[16] = {
    1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1,
};
constexpr unsigned char kS[8][4][16] = {
    {
        {14,  4, 13,  1,  2, 15, 11,  8,  3, 10,  6, 12,  5,  9,  0,  7},
        { 0, 15,  7,  4, 14,  2, 13,  1, 10,  6, 12, 11,  9,  5,  3,  8},
        { 4,  1, 14,  8, 13,  6,  2, 11, 15, 12,  9,  7,  3, 10,  5,  0},
        {15, 12,  8,  2,  4,  9,  1,  7,  5, 11,  3, 14, 10,  0,  6, 13},
    },
    {
        {15,  1,  8, 14,  6, 11,  3,  4,  9,  7,  2, 13, 12,  0,  5, 10},
        { 3, 13,  4,  7, 15,  2,  8, 14, 12,  0,  1, 10,  6,  9, 11,  5},
        { 0, 14,  7, 11, 10,  4, 13,  1,  5,  8, 12,  6,  9,  3,  2, 15},
        {13,  8, 10,  1,  3, 15,  4,  2, 11,  6,  7, 12,  0,  5, 14,  9},
    },
    {
        {10,  0,  9, 14,  6,  3, 15,  5,  1, 13, 12,  7, 11,  4,  2,  8},
        {13,  7,  0,  9,  3,  4,  6, 10,  2,  8,  5, 14, 12, 11, 15,  1},
        {13,  6,  4,  9,  8, 15,  3,  0, 11,  1,  2, 12,  5, 10, 14,  7},
        { 1, 10, 13,  0,  6,  9,  8,  7,  4, 15, 14,  3, 11,  5,  2, 12},
    },
    {
        { 7, 13, 14,  3,  0,  6,  9, 10,  1,  2,  8,  5, 11, 12,  4, 15},
        {13,  8, 11,  5,  6, 15,  0,  3,  4,  7,  2, 12,  1, 10, 14,  9},
        {10,  6,  9,  0, 12, 11,  7, 13, 15,  1,  3, 14,  5,  2,  8,  4},
        { 3, 15,  0,  6, 10,  1, 13,  8,  9,  4,  5, 11, 12,  7,  2, 14},
    },
    {
        { 2, 12,  4,  1,  7, 10, 11,  6,  8,  5,  3, 15, 13,  0, 14,  9},
        {14, 11,  2, 12,  4,  7, 13,  1,  5,  0, 15, 10,  3,  9,  8,  6},
        { 4,  2,  1, 11, 10, 13,  7,  8, 15,  9, 12,  5,  6,  3,  0, 14},
        {11,  8, 12,  7,  1, 14,  2, 13,  6, 15,  0,  9, 10,  4,  5,  3},
    },
    {
        {12,  1, 10, 15,  9,  2,  6,  8,  0, 13,  3,  4, 14,  7,  5, 11},
        {10, 15,  4,  2,  7, 12,  9,  5,  6,  1, 13, 14,  0, 11,  3,  8},
        { 9, 14, 15,  5,  2,  8, 12,  3,  7,  0,  4, 10,  1, 13, 11,  6},
        { 4,  3,  2, 12,  9,  5, 15, 10, 11, 14,  1,  7,  6,  0,  8, 13},
    },
    {
        { 4, 11,  2, 14, 15,  0,  8, 13,  3, 12,  9,  7,  5, 10,  6,  1},
        {13,  0, 11,  7,  4,  9,  1, 10, 14,  3,  5, 12,  2, 15,  8,  6},
        { 1,  4, 11, 13, 12,  3,  7, 14, 10, 15,  6,  8,  0,  5,  9,  2},
        { 6, 11, 13,  8,  1,  4, 10,  7,  9,  5,  0, 15, 14,  2,  3, 12},
    },
    {
        {13,  2,  8,  4,  6, 15, 11,  1, 10,  9,  3, 14,  5,  0, 12,  7},
        { 1, 15, 13,  8, 10,  3,  7,  4, 12,  5,  6, 11,  0, 14,  9,  2},
        { 7, 11,  4,  1,  9, 12, 14,  2,  0,  6, 10, 13, 15,  3,  5,  8},
        { 2,  1, 14,  7,  4, 10,  8, 13, 15, 12,  9,  0,  3,  5,  6, 11},
    },
};

constexpr int kRounds = 16;

// The working storage of one encipherment. Kept per call rather than
// process-wide, so two threads may encipher at once.
struct Bits {
  unsigned char subkeys[kRounds][48];
  unsigned char block[64];
};

// Bit n (from 1) of an 8-byte string is bit (n - 1) % 8 of byte (n - 1) / 8,
// counting from the least significant bit: the variant's own numbering
// (FIPS starts at the most significant bit).
void Spread(const unsigned char* bytes, unsigned char* bits) {
  for (int n = 0; n < 64; ++n) bits[n] = (bytes[n / 8] >> (n % 8)) & 1;
}

void Pack(const unsigned char* bits, unsigned char* bytes) {
  std::memset(bytes, 0, CMyDesClass::kBlockSize);
  for (int n = 0; n < 64; ++n) bytes[n / 8] |= static_cast<unsigned char>(bits[n] << (n % 8));
}

// out[i] = in[table[i] - 1]; `out` and `in` must not overlap.
template <std::size_t N>
void Permute(const unsigned char (&table)[N], const unsigned char* in, unsigned char* out) {
  for (std::size_t i = 0; i < N; ++i) out[i] = in[table[i] - 1];
}

void RotateLeft(unsigned char* half28, int count) {
  unsigned char rotated[28];
  for (int i = 0; i < 28; ++i) rotated[i] = half28[(i + count) % 28];
  std::memcpy(half28, rotated, sizeof rotated);
}

void MakeSubkeys(const unsigned char* key, Bits* bits) {
  unsigned char keyBits[64];
  unsigned char cd[56];  // C = cd[0..27], D = cd[28..55]
  Spread(key, keyBits);
  Permute(kPC1, keyBits, cd);
  for (int round = 0; round < kRounds; ++round) {
    RotateLeft(cd, kShifts[round]);
    RotateLeft(cd + 28, kShifts[round]);
    Permute(kPC2, cd, bits->subkeys[round]);
  }
}

// f(R, K) into `out` (32 entries).
void RoundFunction(const unsigned char* right, const unsigned char* subkey, unsigned char* out) {
  unsigned char expanded[48];
  Permute(kE, right, expanded);
  for (int i = 0; i < 48; ++i) expanded[i] ^= subkey[i];

  unsigned char substituted[32];
  for (int box = 0; box < 8; ++box) {
    const unsigned char* b = expanded + 6 * box;
    int row = 2 * b[0] + b[5];
    int column = 8 * b[1] + 4 * b[2] + 2 * b[3] + b[4];
    unsigned value = kS[box][row][column];
    // Lowest bit first; FIPS writes the most significant bit first.
    for (int k = 0; k < 4; ++k) substituted[4 * box + k] = (value >> k) & 1;
  }
  Permute(kP, substituted, out);
}

void EncipherBlock(Bits* bits) {
  unsigned char permuted[64];
  Permute(kIP, bits->block, permuted);
  unsigned char* left = permuted;
  unsigned char* right = permuted + 32;
  for (int round = 0; round < kRounds; ++round) {
    unsigned char mixed[32];
    RoundFunction(right, bits->subkeys[round], mixed);
    for (int i = 0; i < 32; ++i) mixed[i] ^= left[i];
    std::memcpy(left, right, 32);
    std::memcpy(right, mixed, 32);
  }
  // IP^-1 of L16 R16 as they stand: FIPS would swap the halves first.
  Permute(kIPInverse, permuted, bits->block);
}

}  // namespace

void CMyDesClass::Encrypt(unsigned char* output, const unsigned char* input) {
  EncryptWithKey(kBuiltInKey, output, input);
}

void CMyDesClass::EncryptWithKey(const unsigned char* key, unsigned char* output,
                                 const unsigned char* input) {
  Bits bits;
  MakeSubkeys(key, &bits);
  // The input is taken before the output is touched, so both may be one buffer.
  Spread(input, bits.block);
  EncipherBlock(&bits);
  Pack(bits.block, output);
}

}  // namespace Zentrava
