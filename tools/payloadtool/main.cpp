// payloadtool: checks, packs and shows the payload of a bootstrapper, and
// tags a signed one; the same on Linux and on Windows.
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <cstdio>

#include "commands.h"
#include "file_bytes.h"
#include "guarded_run.h"
#include "help.h"

int UsageError(const std::string& text) {
  fprintf(stderr, "payloadtool: %s\n", text.c_str());
  return kExitUsage;
}

bool ReadPayloadFile(const std::string& path, std::string* bytes) {
  std::string error;
  if (!ReadFileBytes(path, bytes, &error)) {
    UsageError(path + ": " + error);
    return false;
  }
  if (bytes->empty()) {
    UsageError(path + ": empty payload file (a run would fail with \"Could not extract "
                      "PAYLOAD.XML\")");
    return false;
  }
  return true;
}

namespace {

int Run(int argc, char** argv) {
#ifdef _WIN32
  // The payload's line ends are shown as they are (CR LF stays CR LF).
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  if (argc < 2)
    return UsageError(std::string("no command given (") + CommandNames() +
                      "; payloadtool help shows them)");
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  int status = kExitUsage;
  const bool helpAsked = !args.empty() && (args[0] == "--help" || args[0] == "-h");
  if (helpAsked && PrintCommandHelp(command, stdout)) {
    status = kExitOk;
  } else if (command == "check") {
    status = CheckCommand(args);
  } else if (command == "pack") {
    status = PackCommand(args);
  } else if (command == "show") {
    status = ShowCommand(args);
  } else if (command == "tag") {
    status = TagCommand(args);
  } else if (command == "help") {
    status = HelpCommand(args);
  } else if (command == "--help" || command == "-h") {
    PrintOverview(stdout);
    status = kExitOk;
  } else if (command == "--version") {
    PrintVersion(stdout);
    status = kExitOk;
  } else {
    UsageError("unknown command \"" + command + "\" (the commands: " + CommandNames() +
               "; payloadtool help shows them)");
  }
  fflush(stdout);
  return status;
}

}  // namespace

int main(int argc, char** argv) { return RunGuarded(Run, argc, argv); }
