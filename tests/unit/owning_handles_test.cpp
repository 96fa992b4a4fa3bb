// The owning handle types: a kernel handle and a registry key are closed
// exactly once, on every way out of their scope, and never when given up.
#include <windows.h>

#include <gtest/gtest.h>

#include <utility>

#include "base/registry_key.h"
#include "base/unique_handle.h"

namespace {

bool IsOpenHandle(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != FALSE;
}

HANDLE NewEvent() { return CreateEventA(nullptr, TRUE, FALSE, nullptr); }

TEST(UniqueHandle, ClosesOnceAtScopeEndAndNotWhenReleased) {
  HANDLE raw = NewEvent();
  { const UniqueHandle owner(raw); }
  EXPECT_FALSE(IsOpenHandle(raw)) << "closed when the owner went away";

  raw = NewEvent();
  UniqueHandle moved;
  {
    UniqueHandle first(raw);
    moved = std::move(first);
    EXPECT_FALSE(first.valid());
  }
  EXPECT_TRUE(IsOpenHandle(raw)) << "the moved-from owner closed nothing";
  EXPECT_TRUE(moved.Close());
  EXPECT_FALSE(IsOpenHandle(raw));
  EXPECT_TRUE(moved.Close()) << "nothing left to close counts as closed";

  raw = NewEvent();
  {
    UniqueHandle owner(raw);
    EXPECT_EQ(raw, owner.release());
  }
  EXPECT_TRUE(IsOpenHandle(raw));
  CloseHandle(raw);
}

TEST(UniqueHandle, NoneIsNullOrInvalidAndAFailedCloseIsReported) {
  EXPECT_FALSE(UniqueHandle().valid());
  EXPECT_FALSE(UniqueHandle(INVALID_HANDLE_VALUE).valid());
  EXPECT_TRUE(UniqueHandle(INVALID_HANDLE_VALUE).Close());

  // A value that is no handle: the close fails and says why.
  UniqueHandle bogus(reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x7FFC)));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(bogus.Close());
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());

  UniqueHandle slot(NewEvent());
  HANDLE previous = slot.get();
  HANDLE* out = slot.receive();
  EXPECT_FALSE(IsOpenHandle(previous)) << "receive() closes what was held";
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), out,
                              0, FALSE, DUPLICATE_SAME_ACCESS));
  EXPECT_TRUE(slot.valid());
}

TEST(RegistryKey, OpensCreatesAndClosesOnce) {
  const char* path = "Software\\BootstrapperTests\\OwningHandles";
  RegDeleteTreeA(HKEY_CURRENT_USER, path);
  {
    RegistryKey key;
    EXPECT_FALSE(key.OpenForReading(HKEY_CURRENT_USER, path));
    EXPECT_FALSE(key.open()) << "a failed open holds nothing";
    ASSERT_EQ(ERROR_SUCCESS, key.Create(HKEY_CURRENT_USER, path, KEY_READ | KEY_WRITE));
    EXPECT_TRUE(key.open());
    EXPECT_TRUE(key.OpenForReading(HKEY_CURRENT_USER, path)) << "reopening closes the first";
    EXPECT_EQ(ERROR_SUCCESS, key.Close());
    EXPECT_FALSE(key.open());
    EXPECT_EQ(ERROR_SUCCESS, key.Close());
  }
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeA(HKEY_CURRENT_USER, path));
}

}  // namespace
