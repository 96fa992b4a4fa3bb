#pragma once
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <oleauto.h>
#include <tlhelp32.h>
#include <urlmon.h>
#include <wintrust.h>

// Functions the program takes from the system at run time rather than
// importing them: each is looked up once in its DLL, which is loaded from the
// system directory (LoadSystemLibrary: never by bare name, so that nothing
// lying beside the program can stand in for it) and kept until the process
// ends.
// A system without the DLL or the function gives null. Resolved on the main
// thread only.
enum class SystemFunction {
  // kernel32.dll
  kSetDefaultDllDirectories,
  kCreateToolhelp32Snapshot,
  kProcess32First,
  kProcess32Next,
  kIsWow64Process,  // the run log's header and its child process ids
  kGetProcessId,
  kGetSystemTime,
  // wintrust.dll
  kWinVerifyTrust,
  // urlmon.dll
  kURLDownloadToFileA,
  // comctl32.dll
  kInitCommonControlsEx,
  // ole32.dll and oleaut32.dll: only the update service's client, URLRUN and
  // the publisher check need them, so a run that uses none of those never
  // loads them (nor the DLLs they bring).
  kCoInitialize,
  kCoUninitialize,
  kCoCreateInstance,
  kSysAllocStringLen,
  kSysFreeString,
  kCount
};

// The pointer type of each function, taken from its platform declaration.
template <SystemFunction F>
struct SystemFunctionSignature;
#define SYSTEM_FUNCTION_SIGNATURE(id, function)        \
  template <>                                          \
  struct SystemFunctionSignature<SystemFunction::id> { \
    using Type = decltype(&::function);                \
  }
SYSTEM_FUNCTION_SIGNATURE(kSetDefaultDllDirectories, SetDefaultDllDirectories);
SYSTEM_FUNCTION_SIGNATURE(kCreateToolhelp32Snapshot, CreateToolhelp32Snapshot);
SYSTEM_FUNCTION_SIGNATURE(kProcess32First, Process32First);
SYSTEM_FUNCTION_SIGNATURE(kProcess32Next, Process32Next);
SYSTEM_FUNCTION_SIGNATURE(kIsWow64Process, IsWow64Process);
SYSTEM_FUNCTION_SIGNATURE(kGetProcessId, GetProcessId);
SYSTEM_FUNCTION_SIGNATURE(kGetSystemTime, GetSystemTime);
SYSTEM_FUNCTION_SIGNATURE(kWinVerifyTrust, WinVerifyTrust);
SYSTEM_FUNCTION_SIGNATURE(kURLDownloadToFileA, URLDownloadToFileA);
SYSTEM_FUNCTION_SIGNATURE(kInitCommonControlsEx, InitCommonControlsEx);
SYSTEM_FUNCTION_SIGNATURE(kCoInitialize, CoInitialize);
SYSTEM_FUNCTION_SIGNATURE(kCoUninitialize, CoUninitialize);
SYSTEM_FUNCTION_SIGNATURE(kSysAllocStringLen, SysAllocStringLen);
SYSTEM_FUNCTION_SIGNATURE(kSysFreeString, SysFreeString);
// The headers add a template overload for C++: name the platform function.
template <>
struct SystemFunctionSignature<SystemFunction::kCoCreateInstance> {
  using Type = HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
};
#undef SYSTEM_FUNCTION_SIGNATURE

// The function's address, or null when the system lacks it.
void* SystemFunctionAddress(SystemFunction function);

template <SystemFunction F>
typename SystemFunctionSignature<F>::Type GetSystemFunction() {
  return reinterpret_cast<typename SystemFunctionSignature<F>::Type>(SystemFunctionAddress(F));
}

// Loads the system directory's DLL of that bare name by its full path; null
// on failure. The DLLs it brings come from the system directory only where
// the loader has LOAD_LIBRARY_SEARCH_SYSTEM32, else by the altered search
// from the DLL's directory.
HMODULE LoadSystemLibrary(const char* name);

// The flag LoadSystemLibrary loads with, chosen once: LOAD_LIBRARY_SEARCH_SYSTEM32
// where the loader has it, else LOAD_WITH_ALTERED_SEARCH_PATH.
DWORD SystemLibraryLoadFlags();

// The result a call gives when the system library it needs is missing:
// HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND).
constexpr HRESULT kSystemLibraryMissing = static_cast<HRESULT>(0x8007007E);

