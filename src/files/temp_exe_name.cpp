#include "files/temp_exe_name.h"

#include <ctime>

#include "base/path_join.h"
#include "base/report.h"
#include "files/name_random.h"

namespace {

// Only a missing file (or a missing directory above it) makes a name free;
// any other failure to read the attributes may hide someone's file.
bool NoSuchFile(const char* path) {
  if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return false;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

unsigned MakeRandomEXENameFromSeed(char* path, const char* directory, uint32_t seed) {
  NameRandom random(seed);
  for (int tried = 0; tried < kTempNameCandidates;) {
    const unsigned number = random.Next();
    // 0 is this function's failure value, so it is never a name. Skipped draws
    // are not candidates and do not count; the generator never yields more
    // than two zeros in a row.
    if (number == 0) continue;
    ++tried;
    char fileName[32];
    FormatBoundedArgs(fileName, sizeof fileName, "%s%x.exe", "LumenoUpdater_", number);
    // GetTempPathA's directory ends with a backslash, so it is the whole
    // drive-and-directory part of the candidate. A name that does not fit is
    // no name at all: one more taken candidate, and the next draw may be
    // shorter (fewer hex digits).
    if (JoinPath(path, directory, fileName) && NoSuchFile(path)) return number;
  }
  return 0;
}

unsigned MakeRandomEXEName(char* path, const char* directory) {
  const uint32_t seconds = static_cast<uint32_t>(time(nullptr));
  return MakeRandomEXENameFromSeed(path, directory, seconds + GetCurrentThreadId());
}

int MakeTempEXEName(TempExeName* name) {
  const DWORD length = GetTempPathA(sizeof name->directory, name->directory);
  // A directory that does not fit comes back as the size it needs, with the
  // buffer untouched.
  if (length == 0 || length >= sizeof name->directory) {
    name->directory[0] = '\0';
    ReportError("GetTempPath failed");
    return -1;
  }
  if (MakeRandomEXEName(name->path, name->directory) == 0) {
    ReportError("GetTempPath failed");
    return -1;
  }
  return 0;
}
