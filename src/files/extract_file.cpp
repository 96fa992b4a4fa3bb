#include "files/extract_file.h"

#include "base/report.h"
#include "base/string_ops.h"
#include "files/replace_target.h"
#include "files/scratch_file.h"

int ExtractFile(HMODULE module, const char* name, const char* type, const char* target,
                ResourceBytes* written) {
  HRSRC found = FindResourceA(module, name, type);
  if (!found) {
    ReportError("ExtractFile - FindResource failed name=%s, ext=%s", name, type);
    return -1;
  }
  const DWORD size = SizeofResource(module, found);
  if (size == 0) {
    ReportError("ExtractFile - SizeofResource failed name=%s, ext=%s", name, type);
    return -1;
  }
  HGLOBAL loaded = LoadResource(module, found);
  if (!loaded) {
    ReportError("ExtractFile - LoadResource failed name=%s, ext=%s", name, type);
    return -1;
  }
  // Written straight from the module's mapped resource data, without a copy.
  const void* data = LockResource(loaded);
  if (!data) {
    ReportError("ExtractFile - LockResource failed name=%s, ext=%s", name, type);
    return -1;
  }

  PathBuffer scratch;
  if (!NameScratchFile(name, type, target, scratch)) return -1;
  if (!WriteScratchFile(name, type, scratch, data, size)) return -1;
  if (!RemoveOldTarget(target) || !MoveScratchToTarget(name, type, scratch, target)) {
    // A whole copy of the program would otherwise stay behind. Failing to
    // remove it changes nothing for the caller.
    DeleteFileA(scratch);
    return -1;
  }
  if (written) *written = ResourceBytes{data, size};
  return 0;
}
