// payloadtool pack STUB.exe OUT.exe --payload P.xml [--resource NAME.TYPE=FILE]... [--force]
#include <cstdio>

#include "check_output.h"
#include "commands.h"
#include "file_bytes.h"
#include "payload_check.h"
#include "pe_resources.h"
#include "resource_pack.h"

namespace {

// Reports a usage error where a parse step can only say false.
bool Refuse(const std::string& text) {
  UsageError(text);
  return false;
}

struct PackArguments {
  std::string stub;
  std::string out;
  std::string payload;
  std::vector<ResourceOption> resources;
  bool force = false;
};

bool ParsePackArguments(const std::vector<std::string>& args, PackArguments* parsed) {
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--force") {
      parsed->force = true;
    } else if (arg == "--payload" || arg == "--resource") {
      if (!hasValue) return Refuse(arg + " needs a value");
      const std::string& value = args[++i];
      if (arg == "--payload") {
        if (!parsed->payload.empty()) return Refuse("--payload given twice");
        parsed->payload = value;
        continue;
      }
      ResourceOption option;
      std::string error;
      if (!ParseResourceOption(value, &option, &error)) return Refuse(error);
      parsed->resources.push_back(option);
    } else if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
      return Refuse("unknown option " + arg);
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2) return Refuse("pack takes STUB.exe and OUT.exe");
  if (parsed->payload.empty()) return Refuse("pack needs --payload PAYLOAD.xml");
  parsed->stub = positional[0];
  parsed->out = positional[1];
  return true;
}

// The edits: the payload first, then each resource; a resource named twice,
// or one that would replace the payload, is refused.
bool CollectEdits(const PackArguments& args, const std::string& payload,
                  std::vector<ResourceEdit>* edits) {
  edits->push_back(ResourceEdit{ResourceName{"PAYLOAD", "XML"}, false, payload});
  for (const ResourceOption& option : args.resources) {
    for (const ResourceEdit& earlier : *edits) {
      if (earlier.resource.Text() == option.resource.Text()) {
        const bool isPayload = &earlier == &edits->front();
        return Refuse("resource " + option.resource.Text() +
                      (isPayload ? " is the payload: give it with --payload" : " is given twice"));
      }
    }
    ResourceEdit edit{option.resource, false, {}};
    std::string error;
    if (!ReadFileBytes(option.file, &edit.data, &error))
      return Refuse(option.file + ": " + error);
    if (edit.data.empty()) return Refuse(option.file + ": empty resource file");
    edits->push_back(edit);
  }
  return true;
}

struct Presence {
  const ResourceImage* stub;
  const std::vector<ResourceEdit>* edits;
};

bool PresentAfterPacking(const ResourceName& resource, void* context) {
  const auto* presence = static_cast<const Presence*>(context);
  for (const ResourceEdit& edit : *presence->edits) {
    if (edit.resource.Text() == resource.Text()) return true;
  }
  std::string ignored;
  return presence->stub->Read(resource.type.c_str(), resource.name.c_str(), &ignored) ==
         ResourceRead::kFound;
}

}  // namespace

int PackCommand(const std::vector<std::string>& args) {
  PackArguments parsed;
  if (!ParsePackArguments(args, &parsed)) return kExitUsage;
  std::string payload;
  if (!ReadPayloadFile(parsed.payload, &payload)) return kExitUsage;
  std::vector<ResourceEdit> edits;
  if (!CollectEdits(parsed, payload, &edits)) return kExitUsage;

  PayloadCheck check = CheckPayload(payload);
  ResourceImage stub;
  std::string error;
  if (!stub.Open(parsed.stub, &error)) return UsageError(parsed.stub + ": " + error);
  Presence presence{&stub, &edits};
  CheckResourcesPresent(&check, PresentAfterPacking, &presence);
  const int errors = check.Count(Severity::kError);
  if (!check.problems.empty()) PrintProblems(check, stdout);
  if (errors > 0 && !parsed.force) {
    fflush(stdout);
    UsageError("refusing to pack a payload that a run would fail on (--force packs it anyway)");
    return kExitRejected;
  }

  RebuildNotes notes;
  if (!WriteEditedImage(stub, parsed.stub, parsed.out, edits, &error, &notes))
    return UsageError(error);
  printf("packed %s%s\n", parsed.out.c_str(), errors > 0 ? " despite its errors (--force)" : "");
  for (const ResourceEdit& edit : edits) {
    printf("  %-24s %u bytes\n", edit.resource.Text().c_str(),
           static_cast<unsigned>(edit.data.size()));
  }
  if (notes.droppedCertificates)
    printf("note: %s was signed; packing invalidates a signature, so %s carries none: sign it "
           "after packing\n",
           parsed.stub.c_str(), parsed.out.c_str());
  return kExitOk;
}
