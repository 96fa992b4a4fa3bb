#include "message_boxes.h"

namespace {
struct FindBox {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindErrorBox(HWND window, LPARAM param) {
  auto* find = reinterpret_cast<FindBox*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != find->processId || !IsWindowVisible(window)) return TRUE;
  char className[64] = {}, title[64] = {};
  GetClassNameA(window, className, sizeof className);
  GetWindowTextA(window, title, sizeof title);
  if (strcmp(className, "#32770") == 0 && strcmp(title, "ERROR") == 0) {
    find->found = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK LongestStatic(HWND child, LPARAM param) {
  auto* best = reinterpret_cast<std::string*>(param);
  char className[32] = {};
  GetClassNameA(child, className, sizeof className);
  if (_stricmp(className, "Static") != 0) return TRUE;
  char text[4096] = {};
  GetWindowTextA(child, text, sizeof text);
  if (strlen(text) > best->size()) best->assign(text);
  return TRUE;
}
}  // namespace

HWND FindVisibleErrorBox(DWORD processId) {
  FindBox find = {processId, nullptr};
  EnumWindows(FindErrorBox, reinterpret_cast<LPARAM>(&find));
  return find.found;
}

std::string MessageBoxText(HWND box) {
  std::string text;
  EnumChildWindows(box, LongestStatic, reinterpret_cast<LPARAM>(&text));
  return text;
}

ErrorBoxAnswerer::~ErrorBoxAnswerer() { Stop(); }

void ErrorBoxAnswerer::Watch(DWORD processId) {
  processId_ = processId;
  stop_ = false;
  thread_ = std::thread([this] { Loop(); });
}

void ErrorBoxAnswerer::StartWatching(DWORD processId, void* context) {
  static_cast<ErrorBoxAnswerer*>(context)->Watch(processId);
}

void ErrorBoxAnswerer::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

std::vector<std::string> ErrorBoxAnswerer::texts() {
  std::lock_guard<std::mutex> lock(mutex_);
  return texts_;
}

void ErrorBoxAnswerer::Loop() {
  while (!stop_) {
    HWND box = FindVisibleErrorBox(processId_);
    if (!box) {
      Sleep(10);
      continue;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      texts_.push_back(MessageBoxText(box));
    }
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    // Wait for this box to go before looking for the next one.
    for (int i = 0; i < 500 && IsWindow(box) && !stop_; ++i) Sleep(10);
  }
}
