#pragma once
#include <windows.h>
#include <ole2.h>

// The maker's update service: a COM local server that starts programs
// elevated on behalf of unelevated callers.

// Class CUpdateService.
inline constexpr CLSID kUpdateServiceClassId = {
    0x5B0E7C21, 0x4D3A, 0x4F86, {0xA1, 0xC9, 0x2E, 0x7D, 0x90, 0xB3, 0xF6, 0x14}};
// Its launching interface.
inline constexpr IID kUpdateServiceInterfaceId = {
    0x7E4A12D9, 0xC65B, 0x4E03, {0x8B, 0x7F, 0x91, 0xA0, 0xD2, 0xC4, 0xE5, 0x8B}};

struct IUpdateService : public IUnknown {
  // Starts program with parameters and puts into *processHandle a handle to
  // the new process that is valid in the process callerProcessId, which may
  // wait on it, read its exit code and must close it.
  virtual HRESULT STDMETHODCALLTYPE RunProgram(BSTR program, BSTR parameters,
                                               DWORD callerProcessId,
                                               ULONG_PTR* processHandle) = 0;
};
