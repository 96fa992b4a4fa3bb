// The owning handle types close exactly once, on every way out of their
// scope, and never what they gave up.
#include <windows.h>

#include <gtest/gtest.h>

#include <utility>

#include "base/registry_key.h"
#include "base/unique_handle.h"

namespace {

bool IsOpen(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != FALSE;
}

TEST(UniqueHandle, ClosesOnceAndNotWhatItGaveUp) {
  HANDLE closed = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE kept = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  UniqueHandle moved;
  {
    UniqueHandle first(closed);
    moved = std::move(first);
    UniqueHandle(kept).release();
  }
  EXPECT_TRUE(IsOpen(closed)) << "the moved-from owner closed it";
  EXPECT_TRUE(moved.Close());
  EXPECT_FALSE(IsOpen(closed));
  EXPECT_TRUE(moved.Close()) << "nothing left to close counts as closed";
  EXPECT_TRUE(IsOpen(kept));
  CloseHandle(kept);

  EXPECT_FALSE(UniqueHandle(INVALID_HANDLE_VALUE).valid());
  UniqueHandle bogus(reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x7FFC)));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(bogus.Close()) << "a failed close is reported";
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

TEST(RegistryKey, FailedOpenHoldsNothingAndReopeningClosesTheFirst) {
  const char* path = "Software\\BootstrapperTests\\OwningHandles";
  RegDeleteTreeA(HKEY_CURRENT_USER, path);
  RegistryKey key;
  EXPECT_FALSE(key.OpenForReading(HKEY_CURRENT_USER, path));
  EXPECT_FALSE(key.open());
  ASSERT_EQ(ERROR_SUCCESS, key.Create(HKEY_CURRENT_USER, path, KEY_READ | KEY_WRITE));
  EXPECT_TRUE(key.OpenForReading(HKEY_CURRENT_USER, path));
  EXPECT_EQ(ERROR_SUCCESS, key.Close());
  EXPECT_FALSE(key.open());
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeA(HKEY_CURRENT_USER, path));
}

}  // namespace
