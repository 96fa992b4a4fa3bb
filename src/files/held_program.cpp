#include "files/held_program.h"

namespace {
HeldProgramObserver gStartObserver = nullptr;
HeldProgramObserver gHoldObserver = nullptr;
}  // namespace

UniqueHandle HoldProgramFile(const char* path) {
  if (gHoldObserver) gHoldObserver(path);
  return UniqueHandle(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

void SetHeldProgramObserver(HeldProgramObserver observer) { gStartObserver = observer; }

void BeforeHeldProgramStart(const char* path) {
  if (gStartObserver) gStartObserver(path);
}

void SetProgramHoldObserver(HeldProgramObserver observer) { gHoldObserver = observer; }
