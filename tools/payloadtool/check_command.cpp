// payloadtool check PAYLOAD.xml
#include <cstdio>

#include "check_output.h"
#include "commands.h"
#include "payload_check.h"

int CheckCommand(const std::vector<std::string>& args) {
  if (args.size() != 1) return UsageError("check takes one payload file");
  std::string document;
  if (!ReadPayloadFile(args[0], &document)) return kExitUsage;
  const PayloadCheck check = CheckPayload(document);
  PrintPayloadCheck(check, stdout);
  return check.Count(Severity::kError) > 0 ? kExitRejected : kExitOk;
}
