// payloadtool tag IN.exe OUT.exe --data TEXT [--after-blob]
#include <cstdio>

#include "certificate_tag.h"
#include "commands.h"
#include "file_bytes.h"

int TagCommand(const std::vector<std::string>& args) {
  std::vector<std::string> positional;
  std::string data;
  bool hasData = false;
  TagForm form = TagForm::kInSignature;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--data") {
      if (i + 1 == args.size()) return UsageError("--data needs a value");
      if (hasData) return UsageError("--data given twice");
      hasData = true;
      data = args[++i];
    } else if (args[i] == "--after-blob") {
      form = TagForm::kAfterBlob;
    } else if (args[i].size() > 1 && args[i][0] == '-' && args[i][1] == '-') {
      return UsageError("unknown option " + args[i]);
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() != 2) return UsageError("tag takes IN.exe and OUT.exe");
  if (!hasData) return UsageError("tag needs --data TEXT");
  const std::string& in = positional[0];
  const std::string& out = positional[1];

  std::string program, tagged, error;
  if (!ReadFileBytes(in, &program, &error)) return UsageError(in + ": " + error);
  TagNotes notes;
  if (!WriteInstallerTag(program, data, form, &tagged, &notes, &error))
    return UsageError(in + ": " + error);
  if (!WriteFileReplacing(out, tagged, &error)) return UsageError(error);
  printf("tagged %s with %u bytes of data %s", out.c_str(), static_cast<unsigned>(data.size()),
         TagFormText(form));
  if (notes.replaced)
    printf(" (replacing a tag of %u bytes %s)", static_cast<unsigned>(notes.previousSize),
           TagFormText(notes.previousForm));
  printf("\n");
  return kExitOk;
}
