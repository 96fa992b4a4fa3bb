#include "loopback_server.h"

#include <winsock2.h>

#include <cstdlib>

#include "loopback_server/body_pattern.h"
#include "process.h"
#include "scratch_dir.h"

namespace {
constexpr DWORD kStartLimitMs = 10000;
constexpr char kListening[] = "listening ";

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) return lines;  // a line still being written
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
}
}  // namespace

LoopbackServer::LoopbackServer(const std::string& filesDirectory, DWORD lifetimeSeconds) {
  static unsigned counter = 0;
  const std::string tag = std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
  // Beside the test programs, never in the temporary directory that tests watch.
  logPath_ = ModuleDirectory() + "loopback_" + tag + ".log";
  const std::string resumeName = "loopback_resume_" + tag;
  resume_ = CreateEventA(nullptr, TRUE, FALSE, resumeName.c_str());
  if (!resume_) return;

  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE inputRead = nullptr;
  if (!CreatePipe(&inputRead, &input_, &inherit, 0)) return;
  SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
  HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           OPEN_EXISTING, 0, nullptr);

  std::string commandLine = Quote(BuiltProgram("loopback_server.exe")) + " --log " +
                            Quote(logPath_) + " --resume " + resumeName + " --lifetime " +
                            std::to_string(lifetimeSeconds);
  if (!filesDirectory.empty()) commandLine += " --files " + Quote(filesDirectory);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inputRead;
  startup.hStdOutput = nul;
  startup.hStdError = nul;
  PROCESS_INFORMATION info = {};
  const BOOL started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE,
                                      CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info);
  CloseHandle(inputRead);
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  if (!started) return;
  CloseHandle(info.hThread);
  process_ = info.hProcess;

  const ULONGLONG deadline = GetTickCount64() + kStartLimitMs;
  while (GetTickCount64() < deadline) {
    const std::vector<std::string> lines = LogLines();
    if (!lines.empty() && lines[0].compare(0, sizeof kListening - 1, kListening) == 0) {
      port_ = static_cast<unsigned short>(atoi(lines[0].c_str() + sizeof kListening - 1));
      return;
    }
    if (WaitForSingleObject(process_, 10) == WAIT_OBJECT_0) return;
  }
}

LoopbackServer::~LoopbackServer() {
  Stop();
  if (resume_) CloseHandle(resume_);
  DeleteFileA(logPath_.c_str());
}

void LoopbackServer::Stop() {
  if (input_) {
    CloseHandle(input_);
    input_ = nullptr;
  }
  if (process_) {
    if (WaitForSingleObject(process_, 10000) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
    CloseHandle(process_);
    process_ = nullptr;
  }
}

std::string LoopbackServer::Url(const std::string& target) const {
  return "http://127.0.0.1:" + std::to_string(port_) + target;
}

std::vector<std::string> LoopbackServer::LogLines() const {
  std::string text;
  if (!ReadWholeFile(logPath_, &text)) return {};
  return SplitLines(text);
}

std::vector<std::string> LoopbackServer::Requests() const {
  std::vector<std::string> targets;
  for (const std::string& line : LogLines())
    if (line.compare(0, 4, "GET ") == 0) targets.push_back(line.substr(4));
  return targets;
}

int LoopbackServer::RequestCount(const std::string& target) const {
  int count = 0;
  for (const std::string& requested : Requests()) count += requested == target;
  return count;
}

bool LoopbackServer::WaitForLine(const std::string& prefix, DWORD timeoutMs) const {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    for (const std::string& line : LogLines())
      if (line.compare(0, prefix.size(), prefix) == 0) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(5);
  }
}

void LoopbackServer::Resume() {
  if (resume_) SetEvent(resume_);
}

unsigned short RefusedLoopbackPort() {
  WSADATA wsa;
  if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 0;
  unsigned short port = 0;
  SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (probe != INVALID_SOCKET &&
      bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  // Bound but never listening, then closed: the system hands this port out
  // again only after cycling through the others.
  if (probe != INVALID_SOCKET) closesocket(probe);
  WSACleanup();
  return port;
}

std::string LoopbackBody(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(LoopbackBodyByte(i));
  return bytes;
}
