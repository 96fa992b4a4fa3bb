#include "dialog_windows.h"

#include <cstring>

namespace {
struct Search {
  DWORD processId;
  int controlId;
  bool anyVisibility;
  HWND found;
};

BOOL CALLBACK Visit(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char className[16] = {};
  GetClassNameA(window, className, sizeof className);
  if (owner != search->processId || strcmp(className, "#32770") != 0 ||
      !(search->anyVisibility || IsWindowVisible(window)) ||
      !GetDlgItem(window, search->controlId))
    return TRUE;
  search->found = window;
  return FALSE;
}
}  // namespace

HWND FindDialog(DWORD processId, int controlId, bool anyVisibility) {
  Search search{processId, controlId, anyVisibility, nullptr};
  EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string WindowText(HWND window) {
  if (!window) return std::string();  // Wine answers a null window with junk
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string DialogItemText(HWND dialog, int controlId) {
  return dialog ? WindowText(GetDlgItem(dialog, controlId)) : std::string();
}
