#include "guarded_run.h"

#include <exception>
#include <new>

#include "commands.h"

int RunGuarded(int (*command)(int, char**), int argc, char** argv, FILE* errors) {
  // The reports themselves allocate nothing.
  try {
    return command(argc, argv);
  } catch (const std::bad_alloc&) {
    fflush(stdout);
    fputs("payloadtool: out of memory\n", errors);
    return kExitOutOfMemory;
  } catch (const std::exception& failure) {
    fflush(stdout);
    fprintf(errors, "payloadtool: internal error: %s\n", failure.what());
    return kExitInternalError;
  } catch (...) {
    fflush(stdout);
    fputs("payloadtool: internal error: an unknown exception\n", errors);
    return kExitInternalError;
  }
}
