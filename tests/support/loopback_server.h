#pragma once
#include <windows.h>

#include <string>
#include <vector>

// A running loopback_server.exe (tests/fixtures/loopback_server) on
// 127.0.0.1, on a port the system chose, for as long as this object lives.
// Each object starts a server of its own, so its request log holds only what
// its own test caused. The server also ends by itself when this process ends
// (its standard input closes) or after lifetimeSeconds.
class LoopbackServer {
 public:
  // filesDirectory, when given, is served under /files/.
  explicit LoopbackServer(const std::string& filesDirectory = std::string(),
                          DWORD lifetimeSeconds = 120);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // False when the server could not be started (the tests then fail on it).
  bool running() const { return port_ != 0; }
  unsigned short port() const { return port_; }
  // "http://127.0.0.1:<port>" + target (target starts with a slash).
  std::string Url(const std::string& target) const;

  // Every line the server logged so far (see server_main.cpp).
  std::vector<std::string> LogLines() const;
  // The targets requested so far, in order ("GET" requests only).
  std::vector<std::string> Requests() const;
  // How many requests asked for exactly this target.
  int RequestCount(const std::string& target) const;
  // Waits at most timeoutMs for a log line that starts with prefix.
  bool WaitForLine(const std::string& prefix, DWORD timeoutMs = 10000) const;

  // Lets every held body go on, and every later one pass its hold (see the
  // hold option of the routes).
  void Resume();
  // Ends the server and waits for it; also done by the destructor.
  void Stop();

 private:
  std::string logPath_;
  HANDLE process_ = nullptr;
  HANDLE input_ = nullptr;  // our end of the server's standard input
  HANDLE resume_ = nullptr;
  unsigned short port_ = 0;
};

// A loopback port on which nothing listens: connections to it are refused.
unsigned short RefusedLoopbackPort();

// The bytes of /body?size=N, as the server generates them.
std::string LoopbackBody(size_t size);
