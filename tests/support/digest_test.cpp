#include "support/digest.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <openssl/err.h>

#include <string>

namespace Zentrava {
namespace {

struct DigestCase {
  int selector;
  std::string input;
  const char* expected;
};

const std::string kAlphaNumeric =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
const std::string kEightyDigits =
    "12345678901234567890123456789012345678901234567890123456789012345678901234567890";

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

class DigestVectorTest : public testing::TestWithParam<DigestCase> {};

TEST_P(DigestVectorTest, MatchesPublishedVector) {
  const DigestCase& c = GetParam();
  EXPECT_EQ(c.expected, DigestHex(c.input, c.selector));
}

// MD4 from RFC 1320, MD5 from RFC 1321, SHA-1 from RFC 3174, SHA-256 FIPS 180-2.
INSTANTIATE_TEST_SUITE_P(
    PublishedVectors, DigestVectorTest,
    testing::Values(
        DigestCase{kDigestMd4, "", "31d6cfe0d16ae931b73c59d7e0c089c0"},
        DigestCase{kDigestMd4, "a", "bde52cb31de33e46245e05fbdbd6fb24"},
        DigestCase{kDigestMd4, "abc", "a448017aaf21d8525fc10ae87aa6729d"},
        DigestCase{kDigestMd4, "message digest", "d9130a8164549fe818874806e1c7014b"},
        DigestCase{kDigestMd4, "abcdefghijklmnopqrstuvwxyz", "d79e1c308aa5bbcdeea8ed63df412da9"},
        DigestCase{kDigestMd4, kAlphaNumeric, "043f8582f241db351ce627e153e7f0e4"},
        DigestCase{kDigestMd4, kEightyDigits, "e33b4ddc9c38f2199c3e7b164fcc0536"},
        DigestCase{kDigestMd5, "", "d41d8cd98f00b204e9800998ecf8427e"},
        DigestCase{kDigestMd5, "a", "0cc175b9c0f1b6a831c399e269772661"},
        DigestCase{kDigestMd5, "abc", "900150983cd24fb0d6963f7d28e17f72"},
        DigestCase{kDigestMd5, "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        DigestCase{kDigestMd5, "abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        DigestCase{kDigestMd5, kAlphaNumeric, "d174ab98d277d9f5a5611c2c9f419d9f"},
        DigestCase{kDigestMd5, kEightyDigits, "57edf4a22be3c955ac49da2e2107b67a"},
        DigestCase{kDigestSha1, "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        DigestCase{kDigestSha1, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
                   "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        DigestCase{kDigestSha1, std::string(1000000, 'a'),
                   "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
        DigestCase{kDigestSha1,
                   Repeat("0123456701234567012345670123456701234567012345670123456701234567", 10),
                   "dea356a2cddd90c7a7ecedc5ebb563934f460452"},
        DigestCase{kDigestSha256, "abc",
                   "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        DigestCase{kDigestSha256, "",
                   "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"}));

TEST(DigestHexTest, UnknownSelectorGivesEmptyText) {
  for (int selector : {-1, 4, 100}) {
    EXPECT_EQ("", DigestHex("abc", selector)) << selector;
  }
}

// MD4 has no EVP implementation in this libcrypto; finding that out must
// leave no error behind for the next caller of the library on this thread.
TEST(DigestHexTest, LeavesNoErrorOnTheLibraryQueue) {
  ERR_clear_error();
  for (int selector = kDigestMd4; selector <= kDigestSha256; ++selector) {
    EXPECT_FALSE(DigestHex("abc", selector).empty()) << selector;
    EXPECT_EQ(0ul, ERR_peek_error()) << selector;
  }
}

TEST(DigestHexTest, BinaryInputIsHashedByteForByte) {
  const std::string withZeros("a\0b\0", 4);
  EXPECT_EQ(DigestHex(withZeros.data(), withZeros.size(), kDigestMd5),
            DigestHex(withZeros, kDigestMd5));
  EXPECT_NE(DigestHex("a", kDigestMd5), DigestHex(withZeros, kDigestMd5));
}

std::wstring TempFilePath(const wchar_t* name) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  return std::wstring(dir) + name;
}

TEST(FileDigestHexTest, DigestsTheFileContents) {
  const std::wstring path = TempFilePath(L"digest_test_contents.bin");
  const std::string contents = "message digest";
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written,
                        nullptr));
  CloseHandle(file);

  EXPECT_EQ("f96b697d7cb7938d525a2f31aaf161d0", FileDigestHex(path, kDigestMd5));
  EXPECT_EQ(DigestHex(contents, kDigestSha1), FileDigestHex(path, kDigestSha1));
  EXPECT_EQ("", FileDigestHex(path, 4));
  DeleteFileW(path.c_str());
}

TEST(FileDigestHexTest, MissingFileGivesEmptyText) {
  EXPECT_EQ("", FileDigestHex(TempFilePath(L"digest_test_missing.bin"), kDigestMd5));
}

}  // namespace
}  // namespace Zentrava
