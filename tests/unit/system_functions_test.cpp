// The table of optional system functions: every entry resolves to the
// function of the system directory's DLL, the same one the platform itself
// hands out, and a missing DLL or function gives null.
#include "base/system_functions.h"

#include <gtest/gtest.h>

#include <string>

#include "process.h"

namespace {

struct Entry {
  SystemFunction function;
  const char* library;
  const char* name;
};

const Entry kEntries[] = {
    {SystemFunction::kSetDefaultDllDirectories, "kernel32.dll", "SetDefaultDllDirectories"},
    {SystemFunction::kCreateToolhelp32Snapshot, "kernel32.dll", "CreateToolhelp32Snapshot"},
    {SystemFunction::kProcess32First, "kernel32.dll", "Process32First"},
    {SystemFunction::kProcess32Next, "kernel32.dll", "Process32Next"},
    {SystemFunction::kWinVerifyTrust, "wintrust.dll", "WinVerifyTrust"},
    {SystemFunction::kURLDownloadToFileA, "urlmon.dll", "URLDownloadToFileA"},
    {SystemFunction::kInitCommonControlsEx, "comctl32.dll", "InitCommonControlsEx"},
    {SystemFunction::kCoInitialize, "ole32.dll", "CoInitialize"},
    {SystemFunction::kCoUninitialize, "ole32.dll", "CoUninitialize"},
    {SystemFunction::kCoCreateInstance, "ole32.dll", "CoCreateInstance"},
    {SystemFunction::kSysAllocStringLen, "oleaut32.dll", "SysAllocStringLen"},
    {SystemFunction::kSysFreeString, "oleaut32.dll", "SysFreeString"},
};
static_assert(sizeof kEntries / sizeof *kEntries == static_cast<size_t>(SystemFunction::kCount),
              "every function is listed");

TEST(SystemFunctions, EachResolvesToItsSystemDll) {
  for (const Entry& e : kEntries) {
    SCOPED_TRACE(e.name);
    void* address = SystemFunctionAddress(e.function);
    ASSERT_NE(nullptr, address);
    EXPECT_EQ(address, SystemFunctionAddress(e.function)) << "resolved once, kept";
    // The table keeps its DLL loaded: it is the one the process now has.
    HMODULE loaded = GetModuleHandleA(e.library);
    ASSERT_NE(nullptr, loaded);
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(loaded, e.name)), address);
  }
  // The typed form is the same address.
  EXPECT_EQ(reinterpret_cast<void*>(GetSystemFunction<SystemFunction::kProcess32Next>()),
            SystemFunctionAddress(SystemFunction::kProcess32Next));
}

// One look-up as the table makes it, without keeping anything: whether the
// system directory's DLL library has the function name.
bool SystemLibraryHas(const char* library, const char* name) {
  HMODULE module = LoadSystemLibrary(library);
  const bool found = module && GetProcAddress(module, name) != nullptr;
  if (module) FreeLibrary(module);
  return found;
}

TEST(SystemFunctions, MissingLibraryOrFunctionIsNull) {
  EXPECT_TRUE(SystemLibraryHas("kernel32.dll", "CreateToolhelp32Snapshot"));
  EXPECT_FALSE(SystemLibraryHas("kernel32.dll", "NoSuchFunction"));
  EXPECT_FALSE(SystemLibraryHas("nosuch.dll", "DllMain"));
  // planted.dll lies beside this test, not in the system directory.
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(BuiltProgram("planted.dll").c_str()));
  EXPECT_FALSE(SystemLibraryHas("planted.dll", "PlantedMarker"));
  EXPECT_EQ(nullptr, LoadSystemLibrary(std::string(MAX_PATH, 'x').c_str()));
}

// A DLL of the system directory whose own dependency is not there: the
// altered search would take the dependency from the current directory (here
// the one beside this test, where planted.dll lies), the system-directory
// search does not. Wine's loader has the flag, so the table uses it.
TEST(SystemFunctions, DependencyOfASystemDllComesFromTheSystemDirectoryOnly) {
  EXPECT_EQ(static_cast<DWORD>(LOAD_LIBRARY_SEARCH_SYSTEM32), SystemLibraryLoadFlags());
  char system[MAX_PATH];
  ASSERT_GT(GetSystemDirectoryA(system, MAX_PATH), 0u);
  // The test bed's system directory is writable; a real one needs an
  // administrator.
  const std::string inSystem = std::string(system) + "\\needs_planted.dll";
  ASSERT_TRUE(CopyFileA(BuiltProgram("needs_planted.dll").c_str(), inSystem.c_str(), FALSE));
  char previous[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, previous), 0u);
  ASSERT_TRUE(SetCurrentDirectoryA(ModuleDirectory().c_str()));
  ASSERT_EQ(nullptr, GetModuleHandleA("planted.dll"));

  SetLastError(0xdeadbeef);
  HMODULE module = LoadSystemLibrary("needs_planted.dll");
  const DWORD error = GetLastError();
  EXPECT_EQ(nullptr, module);
  EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), error);
  EXPECT_EQ(nullptr, GetModuleHandleA("planted.dll"));
  if (module) FreeLibrary(module);

  // The same DLL loaded the old way brings planted.dll in from beside the
  // test: the case above is one that catches the fault.
  HMODULE altered = LoadLibraryExA(inSystem.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  EXPECT_NE(nullptr, altered);
  EXPECT_NE(nullptr, GetModuleHandleA("planted.dll"));
  if (altered) FreeLibrary(altered);

  SetCurrentDirectoryA(previous);
  // Wine keeps the file of the failed load mapped until this process ends,
  // so the deletion fails here (Windows unmaps it); the next run's copy
  // replaces what stays.
  DeleteFileA(inSystem.c_str());
}

}  // namespace
