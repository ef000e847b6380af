#!/usr/bin/env python3
"""Reference model of the assistant's DES variant, kept apart from the C++ code.

The variant uses the FIPS 46-3 tables and round structure but differs from
standard DES in three places:
  1. bit n of an 8-byte string (n = 1..64) is bit (n-1) % 8 of byte (n-1) // 8,
     counting from the least significant bit (FIPS counts from the most
     significant bit);
  2. IP^-1 is applied to L16 R16 as they stand, without the final swap;
  3. each S-box value is written into its four output bits lowest bit first.

With all three switched back to the FIPS behaviour the model must reproduce
the standard DES answers below; that check runs first, so a mistyped table
cannot go unnoticed.

Run:  python3 tests/support/des_model.py
It prints the C++ table used by my_des_test.cpp (kKnownAnswers).
"""

import sys

IP = [58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
      62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
      57, 49, 41, 33, 25, 17, 9, 1, 59, 51, 43, 35, 27, 19, 11, 3,
      61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7]

IP_INV = [40, 8, 48, 16, 56, 24, 64, 32, 39, 7, 47, 15, 55, 23, 63, 31,
          38, 6, 46, 14, 54, 22, 62, 30, 37, 5, 45, 13, 53, 21, 61, 29,
          36, 4, 44, 12, 52, 20, 60, 28, 35, 3, 43, 11, 51, 19, 59, 27,
          34, 2, 42, 10, 50, 18, 58, 26, 33, 1, 41, 9, 49, 17, 57, 25]

E = [32, 1, 2, 3, 4, 5, 4, 5, 6, 7, 8, 9,
     8, 9, 10, 11, 12, 13, 12, 13, 14, 15, 16, 17,
     16, 17, 18, 19, 20, 21, 20, 21, 22, 23, 24, 25,
     24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1]

P = [16, 7, 20, 21, 29, 12, 28, 17, 1, 15, 23, 26, 5, 18, 31, 10,
     2, 8, 24, 14, 32, 27, 3, 9, 19, 13, 30, 6, 22, 11, 4, 25]

PC1 = [57, 49, 41, 33, 25, 17, 9, 1, 58, 50, 42, 34, 26, 18,
       10, 2, 59, 51, 43, 35, 27, 19, 11, 3, 60, 52, 44, 36,
       63, 55, 47, 39, 31, 23, 15, 7, 62, 54, 46, 38, 30, 22,
       14, 6, 61, 53, 45, 37, 29, 21, 13, 5, 28, 20, 12, 4]

PC2 = [14, 17, 11, 24, 1, 5, 3, 28, 15, 6, 21, 10,
       23, 19, 12, 4, 26, 8, 16, 7, 27, 20, 13, 2,
       41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48,
       44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32]

SHIFTS = [1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1]

S = [
    [[14, 4, 13, 1, 2, 15, 11, 8, 3, 10, 6, 12, 5, 9, 0, 7],
     [0, 15, 7, 4, 14, 2, 13, 1, 10, 6, 12, 11, 9, 5, 3, 8],
     [4, 1, 14, 8, 13, 6, 2, 11, 15, 12, 9, 7, 3, 10, 5, 0],
     [15, 12, 8, 2, 4, 9, 1, 7, 5, 11, 3, 14, 10, 0, 6, 13]],
    [[15, 1, 8, 14, 6, 11, 3, 4, 9, 7, 2, 13, 12, 0, 5, 10],
     [3, 13, 4, 7, 15, 2, 8, 14, 12, 0, 1, 10, 6, 9, 11, 5],
     [0, 14, 7, 11, 10, 4, 13, 1, 5, 8, 12, 6, 9, 3, 2, 15],
     [13, 8, 10, 1, 3, 15, 4, 2, 11, 6, 7, 12, 0, 5, 14, 9]],
    [[10, 0, 9, 14, 6, 3, 15, 5, 1, 13, 12, 7, 11, 4, 2, 8],
     [13, 7, 0, 9, 3, 4, 6, 10, 2, 8, 5, 14, 12, 11, 15, 1],
     [13, 6, 4, 9, 8, 15, 3, 0, 11, 1, 2, 12, 5, 10, 14, 7],
     [1, 10, 13, 0, 6, 9, 8, 7, 4, 15, 14, 3, 11, 5, 2, 12]],
    [[7, 13, 14, 3, 0, 6, 9, 10, 1, 2, 8, 5, 11, 12, 4, 15],
     [13, 8, 11, 5, 6, 15, 0, 3, 4, 7, 2, 12, 1, 10, 14, 9],
     [10, 6, 9, 0, 12, 11, 7, 13, 15, 1, 3, 14, 5, 2, 8, 4],
     [3, 15, 0, 6, 10, 1, 13, 8, 9, 4, 5, 11, 12, 7, 2, 14]],
    [[2, 12, 4, 1, 7, 10, 11, 6, 8, 5, 3, 15, 13, 0, 14, 9],
     [14, 11, 2, 12, 4, 7, 13, 1, 5, 0, 15, 10, 3, 9, 8, 6],
     [4, 2, 1, 11, 10, 13, 7, 8, 15, 9, 12, 5, 6, 3, 0, 14],
     [11, 8, 12, 7, 1, 14, 2, 13, 6, 15, 0, 9, 10, 4, 5, 3]],
    [[12, 1, 10, 15, 9, 2, 6, 8, 0, 13, 3, 4, 14, 7, 5, 11],
     [10, 15, 4, 2, 7, 12, 9, 5, 6, 1, 13, 14, 0, 11, 3, 8],
     [9, 14, 15, 5, 2, 8, 12, 3, 7, 0, 4, 10, 1, 13, 11, 6],
     [4, 3, 2, 12, 9, 5, 15, 10, 11, 14, 1, 7, 6, 0, 8, 13]],
    [[4, 11, 2, 14, 15, 0, 8, 13, 3, 12, 9, 7, 5, 10, 6, 1],
     [13, 0, 11, 7, 4, 9, 1, 10, 14, 3, 5, 12, 2, 15, 8, 6],
     [1, 4, 11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5, 9, 2],
     [6, 11, 13, 8, 1, 4, 10, 7, 9, 5, 0, 15, 14, 2, 3, 12]],
    [[13, 2, 8, 4, 6, 15, 11, 1, 10, 9, 3, 14, 5, 0, 12, 7],
     [1, 15, 13, 8, 10, 3, 7, 4, 12, 5, 6, 11, 0, 14, 9, 2],
     [7, 11, 4, 1, 9, 12, 14, 2, 0, 6, 10, 13, 15, 3, 5, 8],
     [2, 1, 14, 7, 4, 10, 8, 13, 15, 12, 9, 0, 3, 5, 6, 11]],
]


def bits_of(data, lsb_first):
    """Index 0 holds bit 1 of the string."""
    out = []
    for byte in data:
        for k in range(8):
            shift = k if lsb_first else 7 - k
            out.append((byte >> shift) & 1)
    return out


def bytes_of(bits, lsb_first):
    out = bytearray(len(bits) // 8)
    for n, bit in enumerate(bits):
        k = n % 8
        shift = k if lsb_first else 7 - k
        out[n // 8] |= bit << shift
    return bytes(out)


def permute(bits, table):
    return [bits[t - 1] for t in table]


def rotate(half, count):
    return half[count:] + half[:count]


def subkeys(key, variant):
    cd = permute(bits_of(key, variant), PC1)
    c, d = cd[:28], cd[28:]
    keys = []
    for s in SHIFTS:
        c, d = rotate(c, s), rotate(d, s)
        keys.append(permute(c + d, PC2))
    return keys


def f(r, k, variant):
    x = [a ^ b for a, b in zip(permute(r, E), k)]
    out = []
    for j in range(8):
        b = x[6 * j:6 * j + 6]
        row = 2 * b[0] + b[5]
        col = 8 * b[1] + 4 * b[2] + 2 * b[3] + b[4]
        v = S[j][row][col]
        order = (0, 1, 2, 3) if variant else (3, 2, 1, 0)
        out.extend((v >> i) & 1 for i in order)
    return permute(out, P)


def encrypt(key, block, variant=True):
    ks = subkeys(key, variant)
    bits = permute(bits_of(block, variant), IP)
    left, right = bits[:32], bits[32:]
    for k in ks:
        left, right = right, [a ^ b for a, b in zip(f(right, k, variant), left)]
    pre = left + right if variant else right + left
    return bytes_of(permute(pre, IP_INV), variant)


def self_check():
    # Standard DES answers (FIPS 81 / NBS validation vectors).
    standard = [
        ("133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"),
        ("0123456789ABCDEF", "4E6F772069732074", "3FA40E8A984D4815"),
        ("0101010101010101", "95F8A5E5DD31D900", "8000000000000000"),
        ("8001010101010101", "0000000000000000", "95A8D72813DAA94D"),
    ]
    for k, p, c in standard:
        got = encrypt(bytes.fromhex(k), bytes.fromhex(p), variant=False).hex().upper()
        if got != c:
            sys.exit("table error: DES(%s, %s) = %s, expected %s" % (k, p, got, c))


def cpp_bytes(data):
    return "{" + ", ".join("0x%02X" % b for b in data) + "}"


def main():
    self_check()
    key = b"wqtnzhkp"
    cases = []

    def add(label, k, block):
        cases.append((label, k, block, encrypt(k, block)))

    add("zero block", key, bytes(8))
    add("all ones", key, b"\xff" * 8)
    add("0x01 first", key, b"\x01" + bytes(7))
    add("0x80 first", key, b"\x80" + bytes(7))
    add("0x80 last", key, bytes(7) + b"\x80")
    add("ascending", key, bytes(range(8)))
    add("hex text", key, bytes.fromhex("0123456789ABCDEF"))
    add("the key itself", key, key)
    for tick in (0, 1, 0x12345678, 0xFFFFFFFF):
        add("tick %#x + QVX" % tick, key, tick.to_bytes(4, "little") + b"QVX\x00")
    # An input whose answer holds a zero byte: the output is binary, not text.
    tick = 0
    while 0 not in encrypt(key, tick.to_bytes(4, "little") + b"QVX\x00"):
        tick += 1
    add("tick %#x + QVX (zero byte out)" % tick, key, tick.to_bytes(4, "little") + b"QVX\x00")
    # Other keys, through the keyed entry point.
    add("FIPS key", bytes.fromhex("133457799BBCDFF1"), bytes.fromhex("0123456789ABCDEF"))
    add("parity bits set", bytes(b | 0x80 for b in key), bytes(range(8)))
    add("zero key", bytes(8), bytes(8))

    print("// Generated by: python3 tests/support/des_model.py")
    print("const KnownAnswer kKnownAnswers[] = {")
    for label, k, block, out in cases:
        print("    {\"%s\",\n     %s,\n     %s,\n     %s}," % (label, cpp_bytes(k), cpp_bytes(block), cpp_bytes(out)))
    print("};")


if __name__ == "__main__":
    main()
