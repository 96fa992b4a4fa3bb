// The DLL search of the program: once restricted, a DLL lying beside the
// program (planted.dll, built next to this test) is not found, and system
// DLLs load from the system directory. Each test runs in its own process, so
// the restriction does not leak into other tests.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "base/system_functions.h"
#include "driver/dll_safety.h"

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

TEST(DllSafety, PlantedDllBesideTheProgramIsFoundOnlyBeforeTheRestriction) {
  HMODULE planted = LoadLibraryA("planted.dll");
  ASSERT_NE(nullptr, planted) << "the fixture DLL must be found by the default search";
  FreeLibrary(planted);

  RestrictDllSearch();
  SetLastError(0xdeadbeef);
  planted = LoadLibraryA("planted.dll");
  const DWORD error = GetLastError();
  EXPECT_EQ(nullptr, planted);
  EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), error);
  if (planted) FreeLibrary(planted);
}

TEST(DllSafety, SystemLibrariesLoadFromTheSystemDirectory) {
  RestrictDllSearch();
  char system[MAX_PATH];
  ASSERT_GT(GetSystemDirectoryA(system, MAX_PATH), 0u);
  for (const char* name : {"version.dll", "urlmon.dll", "wintrust.dll"}) {
    SCOPED_TRACE(name);
    HMODULE module = LoadSystemLibrary(name);
    ASSERT_NE(nullptr, module);
    char path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(module, path, MAX_PATH), 0u);
    EXPECT_EQ(Lower(std::string(system) + "\\" + name), Lower(path));
    FreeLibrary(module);
  }
  EXPECT_EQ(nullptr, LoadSystemLibrary("planted.dll"));
}

}  // namespace
