#include "support/wow64.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace Zentrava {
namespace {

BOOL PlatformSaysWow64() {
  using Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
  auto fn = reinterpret_cast<Fn>(GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process"));
  BOOL wow64 = FALSE;
  if (fn) fn(GetCurrentProcess(), &wow64);
  return wow64;
}

TEST(Wow64Test, AgreesWithThePlatform) {
  EXPECT_EQ(PlatformSaysWow64() != FALSE, IsWow64());
}

// A native process (this 64-bit test, or the program on 32-bit Windows)
// must not touch redirection at all: both calls answer false and leave the
// thread's last error as it was, showing that nothing was called.
TEST(Wow64Test, RedirectionSwitchDoesNothingOutsideWow64) {
  if (IsWow64()) GTEST_SKIP() << "runs only in a native process";
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DisableFsRedirection());
  EXPECT_EQ(0xdeadbeefu, GetLastError());
  EXPECT_FALSE(RevertFsRedirection());
  EXPECT_EQ(0xdeadbeefu, GetLastError());
}

TEST(Wow64Test, RedirectionPairRoundTripsUnderWow64) {
  if (!IsWow64()) GTEST_SKIP() << "needs a 32-bit process on 64-bit Windows";
  ASSERT_TRUE(DisableFsRedirection());
  EXPECT_TRUE(RevertFsRedirection());
}

}  // namespace
}  // namespace Zentrava
