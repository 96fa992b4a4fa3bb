// payloadtool show EXE: what comes from the file is printed through
// PrintableText, so a crafted program cannot drive the user's terminal.
#include <cstdio>

#include "certificate_tag.h"
#include "commands.h"
#include "pe_resources.h"
#include "printable_text.h"
#include "version_record.h"

namespace {

void PrintTag(const std::string& program) {
  std::string tag;
  TagForm form;
  switch (ReadInstallerTag(program, &tag, &form)) {
    case TagRead::kUnsigned:
      printf("tag: none (not signed)\n");
      break;
    case TagRead::kNone:
      printf("tag: none\n");
      break;
    case TagRead::kFound:
      printf("tag (%u bytes, %s): %s\n", static_cast<unsigned>(tag.size()), TagFormText(form),
             PrintableText(tag).c_str());
      break;
  }
}

}  // namespace

int ShowCommand(const std::vector<std::string>& args) {
  if (args.size() != 1) return UsageError("show takes one program file");
  const std::string& path = args[0];
  ResourceImage image;
  std::string error;
  if (!image.Open(path, &error)) return UsageError(path + ": " + error);

  std::string payload;
  if (image.Read("XML", "PAYLOAD", &payload) == ResourceRead::kFound) {
    printf("payload (PAYLOAD.XML, %u bytes, the variant a run reads)\n",
           static_cast<unsigned>(payload.size()));
    const std::string shown = PrintableText(payload, true);
    fwrite(shown.data(), 1, shown.size(), stdout);
    if (!shown.empty() && shown.back() != '\n') printf("\n");
    const size_t variants = image.Languages("XML", "PAYLOAD").size();
    if (variants > 1)
      printf("note: %u language variants of PAYLOAD.XML\n", static_cast<unsigned>(variants));
  } else {
    printf("payload: none (a run exits with -1 after \"Could not extract PAYLOAD.XML\")\n");
  }

  printf("resources\n  %-16s %-24s %-8s %s\n", "type", "name", "language", "size");
  for (const ResourceEntry& entry : image.Entries()) {
    printf("  %-16s %-24s 0x%04x   %lu\n", entry.type->DisplayType().c_str(),
           entry.name->Display().c_str(), static_cast<unsigned>(entry.language),
           static_cast<unsigned long>(entry.size));
  }
  PrintVersionLine(image, stdout);
  PrintTag(image.Bytes());
  return kExitOk;
}
