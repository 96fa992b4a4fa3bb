// The demo application and its media detector (one source, two programs):
// a small window that the installer's RUNAPPS step starts. It records each
// start in launches.log beside itself, holds the application's mutex and
// answers the bootstrapper's shutdown like the real application would.
#include <windows.h>

#include <cstdio>

#ifdef DEMO_DETECTOR
constexpr char kTitle[] = "Lumeno Media Detector";
constexpr char kProgram[] = "LumenoMediaDetector.exe";
constexpr LONG kMark = 0;
#else
constexpr char kTitle[] = "Lumeno2";
constexpr char kProgram[] = "Lumeno2.exe";
constexpr LONG kMark = 0x4C4B6332;  // the main window's mark
#endif
constexpr char kClass[] = "lmWindow";
constexpr UINT kLifetimeMs = 4000;

namespace {

void RecordStart(const char* commandLine) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  char* slash = strrchr(path, '\\');
  if (!slash || static_cast<size_t>(slash - path) + sizeof "\\launches.log" > MAX_PATH) return;
  strcpy(slash, "\\launches.log");
  HANDLE log = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log == INVALID_HANDLE_VALUE) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  char line[512];
  const int n = _snprintf(line, sizeof line - 1, "%04u-%02u-%02u %02u:%02u:%02u %s started [%s]\r\n",
                          now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                          kProgram, commandLine);
  line[sizeof line - 1] = '\0';
  DWORD written = 0;
  WriteFile(log, line, n < 0 ? static_cast<DWORD>(strlen(line)) : static_cast<DWORD>(n), &written,
            nullptr);
  CloseHandle(log);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT area;
      GetClientRect(window, &area);
      DrawTextA(dc, kTitle, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_TIMER:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  RecordStart(commandLine);
  HANDLE running = CreateMutexA(nullptr, TRUE, kTitle);

  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.cbWndExtra = sizeof(LONG);
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kClass;
  RegisterClassA(&windowClass);
  HWND window = CreateWindowA(kClass, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                              320, 120, nullptr, nullptr, instance, nullptr);
  if (window) {
    SetWindowLongA(window, 0, kMark);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    SetTimer(window, 1, kLifetimeMs, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  if (running) {
    ReleaseMutex(running);
    CloseHandle(running);
  }
  return 0;
}
