#include "files/held_program.h"

namespace {
HeldProgramObserver gObserver = nullptr;
}  // namespace

UniqueHandle HoldProgramFile(const char* path) {
  return UniqueHandle(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

void SetHeldProgramObserver(HeldProgramObserver observer) { gObserver = observer; }

void BeforeHeldProgramStart(const char* path) {
  if (gObserver) gObserver(path);
}
