// payloadtool show EXE
#include <cstdio>

#include "commands.h"
#include "pe_resources.h"

int ShowCommand(const std::vector<std::string>& args) {
  if (args.size() != 1) return UsageError("show takes one program file");
  const std::string& path = args[0];
  ResourceImage image;
  std::string error;
  std::vector<ResourceEntry> entries;
  if (!image.Open(path, &error) || !image.List(&entries, &error))
    return UsageError(path + ": " + error);

  std::string payload;
  switch (image.Read("XML", "PAYLOAD", &payload)) {
    case ResourceRead::kFound: {
      printf("payload (PAYLOAD.XML, %u bytes, the variant a run reads)\n",
             static_cast<unsigned>(payload.size()));
      fwrite(payload.data(), 1, payload.size(), stdout);
      if (!payload.empty() && payload.back() != '\n') printf("\n");
      const size_t variants = image.Languages("XML", "PAYLOAD").size();
      if (variants > 1)
        printf("note: %u language variants of PAYLOAD.XML\n", static_cast<unsigned>(variants));
      break;
    }
    case ResourceRead::kMissing:
      printf("payload: none (a run exits with -1 after \"Could not extract PAYLOAD.XML\")\n");
      break;
    case ResourceRead::kFailed:
      return UsageError(path + ": cannot load PAYLOAD.XML");
  }

  printf("resources\n  %-16s %-24s %-8s %s\n", "type", "name", "language", "size");
  for (const ResourceEntry& entry : entries) {
    printf("  %-16s %-24s 0x%04x   %lu\n", entry.type.DisplayType().c_str(),
           entry.name.Display().c_str(), static_cast<unsigned>(entry.language),
           static_cast<unsigned long>(entry.size));
  }
  return kExitOk;
}
