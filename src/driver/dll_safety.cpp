#include "driver/dll_safety.h"

#include "base/system_functions.h"

void RestrictDllSearch() {
  if (auto setDefault = GetSystemFunction<SystemFunction::kSetDefaultDllDirectories>())
    setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Also drops the current directory from the search on systems without the above.
  SetDllDirectoryA("");
}
