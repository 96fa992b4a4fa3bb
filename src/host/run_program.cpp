#include "host/run_program.h"

#include <windows.h>
#include <shellapi.h>

static_assert(sizeof(SHELLEXECUTEINFOA) == 60, "the 32-bit request record is 60 bytes");

bool RunProgram(const char* path) {
  SHELLEXECUTEINFOA request = {};
  request.cbSize = sizeof request;
  request.lpFile = path;
  request.lpParameters = "";
  request.nShow = SW_SHOW;
  return ShellExecuteExA(&request) != FALSE;
}
