#include "base/system_functions.h"

#include <cstring>
#include <iterator>

#include "base/report.h"
#include "base/string_ops.h"

namespace {

enum class SystemLibrary { kKernel32, kWintrust, kUrlmon, kComctl32, kOle32, kOleaut32, kCount };
constexpr const char* kLibraryNames[] = {"kernel32.dll", "wintrust.dll", "urlmon.dll",
                                         "comctl32.dll", "ole32.dll",    "oleaut32.dll"};
static_assert(std::size(kLibraryNames) == static_cast<size_t>(SystemLibrary::kCount),
              "one name per library");

struct Row {
  SystemFunction function;
  SystemLibrary library;
  const char* name;
};

// Adding a function takes a row here, an enumerator and a signature line.
constexpr Row kTable[] = {
    {SystemFunction::kSetDefaultDllDirectories, SystemLibrary::kKernel32,
     "SetDefaultDllDirectories"},
    {SystemFunction::kCreateToolhelp32Snapshot, SystemLibrary::kKernel32,
     "CreateToolhelp32Snapshot"},
    {SystemFunction::kProcess32First, SystemLibrary::kKernel32, "Process32First"},
    {SystemFunction::kProcess32Next, SystemLibrary::kKernel32, "Process32Next"},
    {SystemFunction::kIsWow64Process, SystemLibrary::kKernel32, "IsWow64Process"},
    {SystemFunction::kGetProcessId, SystemLibrary::kKernel32, "GetProcessId"},
    {SystemFunction::kGetSystemTime, SystemLibrary::kKernel32, "GetSystemTime"},
    {SystemFunction::kWinVerifyTrust, SystemLibrary::kWintrust, "WinVerifyTrust"},
    {SystemFunction::kURLDownloadToFileA, SystemLibrary::kUrlmon, "URLDownloadToFileA"},
    {SystemFunction::kInitCommonControlsEx, SystemLibrary::kComctl32, "InitCommonControlsEx"},
    {SystemFunction::kCoInitialize, SystemLibrary::kOle32, "CoInitialize"},
    {SystemFunction::kCoUninitialize, SystemLibrary::kOle32, "CoUninitialize"},
    {SystemFunction::kCoCreateInstance, SystemLibrary::kOle32, "CoCreateInstance"},
    {SystemFunction::kSysAllocStringLen, SystemLibrary::kOleaut32, "SysAllocStringLen"},
    {SystemFunction::kSysFreeString, SystemLibrary::kOleaut32, "SysFreeString"},
};

constexpr bool OneRowPerFunctionInOrder() {
  if (std::size(kTable) != static_cast<size_t>(SystemFunction::kCount)) return false;
  for (size_t i = 0; i < std::size(kTable); ++i) {
    if (kTable[i].function != static_cast<SystemFunction>(i)) return false;
  }
  return true;
}
static_assert(OneRowPerFunctionInOrder(), "the table has one row per SystemFunction, in order");

struct LoadedLibrary {
  bool tried;
  HMODULE module;
};
LoadedLibrary gLibraries[static_cast<size_t>(SystemLibrary::kCount)];

struct ResolvedFunction {
  bool tried;
  void* address;
};
ResolvedFunction gFunctions[static_cast<size_t>(SystemFunction::kCount)];

HMODULE Library(SystemLibrary library) {
  LoadedLibrary& slot = gLibraries[static_cast<size_t>(library)];
  if (!slot.tried) {
    slot.module = LoadSystemLibrary(kLibraryNames[static_cast<size_t>(library)]);
    slot.tried = true;
  }
  return slot.module;
}

void* AddressIn(HMODULE module, const char* name) {
  return module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
}

}  // namespace

void* SystemFunctionAddress(SystemFunction function) {
  ResolvedFunction& slot = gFunctions[static_cast<size_t>(function)];
  if (!slot.tried) {
    const Row& row = kTable[static_cast<size_t>(function)];
    slot.address = AddressIn(Library(row.library), row.name);
    slot.tried = true;
  }
  return slot.address;
}

DWORD SystemLibraryLoadFlags() {
  static DWORD flags = 0;
  if (flags == 0) {
    // The loader takes LOAD_LIBRARY_SEARCH_SYSTEM32 where kernel32 has
    // AddDllDirectory (Windows 8, and 7 with its loader update); older ones
    // reject the flag. kernel32 is imported, so it is loaded already.
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    const bool searchFlags = kernel32 && GetProcAddress(kernel32, "AddDllDirectory");
    flags = searchFlags ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH;
  }
  return flags;
}

HMODULE LoadSystemLibrary(const char* name) {
  PathBuffer path;
  const UINT length = GetSystemDirectoryA(path, sizeof path);
  // A cut path would name another file.
  if (length == 0 || length + 1 + strlen(name) >= sizeof path) return nullptr;
  PathBuffer full;
  FormatBoundedArgs(full, sizeof full, "%s\\%s", path, name);
  // The DLL by its full path; the DLLs it brings from the system directory
  // only. Without the search flag, the altered search starts in the DLL's
  // own directory, the system directory, but then goes on through the
  // current directory and PATH for a dependency that is not there.
  return LoadLibraryExA(full, nullptr, SystemLibraryLoadFlags());
}

