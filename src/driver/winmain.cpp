#include <windows.h>

#include "driver/command_line.h"
#include "driver/dll_safety.h"
#include "driver/run.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // The program may be started from a Downloads folder full of strangers'
  // DLLs: nothing may be loaded from its own directory.
  RestrictDllSearch();
  return RunBootstrapper(instance, CommandLineTail(GetCommandLineA()));
}
