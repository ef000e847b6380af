#include "support/scoped_handle.h"

#include <gtest/gtest.h>

using Zentrava::ScopedHandle;
using Zentrava::ScopedFile;

TEST(ScopedHandle, ClosesOnceAndKeepsLastError) {
  HANDLE raw = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(raw, nullptr);
  {
    ScopedHandle owner(raw);
    ScopedHandle moved(std::move(owner));
    EXPECT_FALSE(owner.valid());
    EXPECT_EQ(moved.get(), raw);
    SetLastError(0xdeadbeef);
  }
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);
  DWORD flags = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetHandleInformation(raw, &flags));
}

TEST(ScopedHandle, FileOwnerTreatsInvalidHandleAsEmpty) {
  ScopedFile file(CreateFileW(L"C:\\does\\not\\exist.txt", GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(file.valid());
  HANDLE* slot = file.put();
  EXPECT_EQ(*slot, INVALID_HANDLE_VALUE);
}
