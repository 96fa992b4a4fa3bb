// The table of optional system functions: every entry resolves to the
// function of the system directory's DLL, the same one the platform itself
// hands out, and a missing DLL or function gives null.
#include "base/system_functions.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "process.h"

namespace {

// A function imported without dllimport is a jump through its slot of the
// import table (jmp [slot]): the slot holds what the loader resolved.
void* ThroughImportThunk(void* code) {
  const auto* bytes = static_cast<const unsigned char*>(code);
  if (bytes[0] != 0xFF || bytes[1] != 0x25) return code;
  int32_t operand = 0;
  memcpy(&operand, bytes + 2, sizeof operand);
#ifdef _WIN64
  const unsigned char* slot = bytes + 6 + operand;  // relative to the next instruction
#else
  const auto* slot = reinterpret_cast<const unsigned char*>(static_cast<uintptr_t>(
      static_cast<uint32_t>(operand)));
#endif
  void* target = nullptr;
  memcpy(&target, slot, sizeof target);
  return target;
}

// The address this test's own import of a function got from the loader: an
// account of what each entry must resolve to that owes nothing to the
// table's names and libraries.
template <SystemFunction function, typename Function>
void ExpectTheImportedFunction(Function* imported, const char* what) {
  SCOPED_TRACE(what);
  void* address = SystemFunctionAddress(function);
  ASSERT_NE(nullptr, address);
  EXPECT_EQ(ThroughImportThunk(reinterpret_cast<void*>(imported)), address);
  EXPECT_EQ(address, SystemFunctionAddress(function)) << "resolved once, kept";
  EXPECT_EQ(reinterpret_cast<void*>(GetSystemFunction<function>()), address) << "typed form";
  // From the system directory's DLL, which the table keeps loaded.
  HMODULE owner = nullptr;
  ASSERT_TRUE(GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      static_cast<const char*>(address), &owner));
  char ownerPath[MAX_PATH] = {}, systemDirectory[MAX_PATH] = {};
  ASSERT_NE(0u, GetModuleFileNameA(owner, ownerPath, MAX_PATH));
  ASSERT_NE(0u, GetSystemDirectoryA(systemDirectory, MAX_PATH));
  const std::string path = ownerPath;
  EXPECT_EQ(0, _strnicmp(path.c_str(), systemDirectory, strlen(systemDirectory))) << path;
  EXPECT_EQ(std::string::npos, path.find('\\', strlen(systemDirectory) + 1)) << path;
}

TEST(SystemFunctions, EachResolvesToItsSystemDll) {
  using F = SystemFunction;
  ExpectTheImportedFunction<F::kSetDefaultDllDirectories>(&SetDefaultDllDirectories,
                                                          "SetDefaultDllDirectories");
  ExpectTheImportedFunction<F::kCreateToolhelp32Snapshot>(&CreateToolhelp32Snapshot,
                                                          "CreateToolhelp32Snapshot");
  ExpectTheImportedFunction<F::kProcess32First>(&Process32First, "Process32First");
  ExpectTheImportedFunction<F::kProcess32Next>(&Process32Next, "Process32Next");
  ExpectTheImportedFunction<F::kIsWow64Process>(&IsWow64Process, "IsWow64Process");
  ExpectTheImportedFunction<F::kGetProcessId>(&GetProcessId, "GetProcessId");
  ExpectTheImportedFunction<F::kGetSystemTime>(&GetSystemTime, "GetSystemTime");
  ExpectTheImportedFunction<F::kWinVerifyTrust>(&WinVerifyTrust, "WinVerifyTrust");
  ExpectTheImportedFunction<F::kURLDownloadToFileA>(&URLDownloadToFileA, "URLDownloadToFileA");
  ExpectTheImportedFunction<F::kInitCommonControlsEx>(&InitCommonControlsEx,
                                                      "InitCommonControlsEx");
  ExpectTheImportedFunction<F::kCoInitialize>(&CoInitialize, "CoInitialize");
  ExpectTheImportedFunction<F::kCoUninitialize>(&CoUninitialize, "CoUninitialize");
  ExpectTheImportedFunction<F::kCoCreateInstance>(&CoCreateInstance, "CoCreateInstance");
  ExpectTheImportedFunction<F::kSysAllocStringLen>(&SysAllocStringLen, "SysAllocStringLen");
  ExpectTheImportedFunction<F::kSysFreeString>(&SysFreeString, "SysFreeString");
  static_assert(static_cast<int>(SystemFunction::kCount) == 15, "a new entry is checked above");
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
