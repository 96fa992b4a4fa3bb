#include "driver/dll_safety.h"

#include "base/system_functions.h"

namespace {
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
}  // namespace

void RestrictDllSearch() {
  if (auto setDefault = GetSystemFunction<SystemFunction::kSetDefaultDllDirectories>())
    setDefault(kSearchSystem32);
  // Also drops the current directory from the search on systems without the above.
  SetDllDirectoryA("");
}
