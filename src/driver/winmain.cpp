#include <windows.h>

#include "driver/command_line.h"
#include "driver/dll_safety.h"
#include "driver/run.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLineTail, int) {
  // The program may be started from a Downloads folder full of strangers'
  // DLLs: nothing may be loaded from its own directory.
  RestrictDllSearch();
  return RunBootstrapper(instance, commandLineTail);
}

// The process entry, in place of the C runtime's start-up (the program is
// linked without it: it has no static constructors, thread-local data or
// arguments to parse, and msvcrt.dll sets itself up when it is loaded). It
// hands WinMain what the runtime would and passes its result unchanged to
// the process exit. Windows gives the entry a stack aligned to 4 bytes only.
extern "C" __attribute__((force_align_arg_pointer, noreturn)) void WinMainCRTStartup() {
  char* tail = const_cast<char*>(CommandLineTail(GetCommandLineA()));
  ExitProcess(static_cast<UINT>(WinMain(GetModuleHandleA(nullptr), nullptr, tail, SW_SHOWDEFAULT)));
}
