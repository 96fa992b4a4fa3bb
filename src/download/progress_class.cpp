#include "download/progress_class.h"

#include "base/system_functions.h"

bool RegisterProgressClass() {
  auto initialise = GetSystemFunction<SystemFunction::kInitCommonControlsEx>();
  if (!initialise) return false;
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
  return initialise(&classes) != FALSE;
}
