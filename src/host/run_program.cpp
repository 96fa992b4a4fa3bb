#include "host/run_program.h"

#include <windows.h>
#include <shellapi.h>

#ifdef _WIN64
static_assert(sizeof(SHELLEXECUTEINFOA) == 112, "the 64-bit request record is 112 bytes");
#else
static_assert(sizeof(SHELLEXECUTEINFOA) == 60, "the 32-bit request record is 60 bytes");
#endif

bool RunProgram(const char* path) {
  SHELLEXECUTEINFOA request = {};
  request.cbSize = sizeof request;
  // The program's errors are silent: a path that does not start must not
  // leave a shell error box waiting for someone in a silent installation.
  request.fMask = SEE_MASK_FLAG_NO_UI;
  request.lpFile = path;
  request.lpParameters = "";
  request.nShow = SW_SHOW;
  return ShellExecuteExA(&request) != FALSE;
}
