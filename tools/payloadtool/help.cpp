// The help texts: what each command takes, with an example.
#include "help.h"


#include "commands.h"

namespace {

struct CommandHelp {
  const char* name;
  const char* synopsis;  // after "payloadtool "
  const char* text;      // what it does, its options, an example
};

const CommandHelp kCommands[] = {
    {"check", "check PAYLOAD.xml",
     "Reads a payload document with the bootstrapper's own reader and walks its events as a\n"
     "run would: lists each event with its values, then every error (a run would fail on it)\n"
     "and warning (surely a mistake). Exit 0 without errors, 1 with errors.\n"
     "example:\n"
     "  payloadtool check my_payload.xml\n"},
    {"pack",
     "pack STUB.exe OUT.exe --payload PAYLOAD.xml [--resource NAME.TYPE=FILE]... [--force]",
     "Writes OUT.exe, a copy of the bootstrapper STUB.exe with its payload replaced and files\n"
     "added or replaced. OUT.exe is written whole or not at all; a signature of STUB.exe is\n"
     "dropped (sign after packing).\n"
     "  --payload PAYLOAD.xml      the payload document (required), checked as check does\n"
     "  --resource NAME.TYPE=FILE  embeds FILE as the resource a src of NAME.TYPE names: a name\n"
     "                             of 1 to 63 and a type of 1 to 4 ASCII characters, stored\n"
     "                             upper-cased; repeat it for each file\n"
     "  --force                    packs a payload that check rejects, or one naming a\n"
     "                             resource OUT.exe would not carry\n"
     "Exit 0 when packed, 1 when the payload is refused.\n"
     "example:\n"
     "  payloadtool pack bootstrapper.exe my_setup.exe --payload my_payload.xml \\\n"
     "      --resource LUMENO2_ADMIN.EXE=installer.exe --resource RELEASENOTES.TXT=notes.txt\n"},
    {"show", "show EXE",
     "Prints what a bootstrapper carries: the payload a run reads, every resource with its\n"
     "type, name, language and size, the version record and the tag of a signed copy.\n"
     "example:\n"
     "  payloadtool show my_setup.exe\n"},
    {"tag", "tag IN.exe OUT.exe --data TEXT [--after-blob]",
     "Writes OUT.exe, a copy of the signed program IN.exe that carries TEXT (up to 65,535\n"
     "bytes) in its signature, in an extra certificate that the signature does not cover:\n"
     "every tagged copy still verifies, also where the padding after the signature is\n"
     "checked strictly. Tagging a tagged program replaces its tag, in either form.\n"
     "  --data TEXT    the tag (required), stored as it stands\n"
     "  --after-blob   write the tag after the signature blob instead, the older form\n"
     "                 (a strict check of the padding counts such a copy as unsigned)\n"
     "example:\n"
     "  payloadtool tag my_setup_signed.exe my_setup_spring.exe \\\n"
     "      --data \"campaign=spring&source=mail\"\n"},
};

const CommandHelp* FindCommand(const std::string& name) {
  for (const CommandHelp& command : kCommands) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

}  // namespace

const char* CommandNames() { return "check, pack, show, tag"; }

void PrintVersion(FILE* out) { fprintf(out, "payloadtool %s\n", PAYLOADTOOL_VERSION); }

void PrintOverview(FILE* out) {
  fprintf(out, "payloadtool %s: checks a payload, packs a bootstrapper, shows what one carries\n"
               "and tags a signed one.\n", PAYLOADTOOL_VERSION);
  const char* lead = "usage: ";
  for (const CommandHelp& command : kCommands) {
    fprintf(out, "%spayloadtool %s\n", lead, command.synopsis);
    lead = "       ";
  }
  fprintf(out, "%spayloadtool help COMMAND    (or COMMAND --help) its options, with an example\n"
               "%spayloadtool --version\n", lead, lead);
  fputs("Exit codes: 0 done, 1 a payload a run would fail on, 2 a usage error or a file that\n"
        "cannot be used (one line on standard error says which), 3 an internal error of\n"
        "payloadtool, 4 out of memory.\n", out);
}

bool PrintCommandHelp(const std::string& command, FILE* out) {
  const CommandHelp* help = FindCommand(command);
  if (!help) return false;
  fprintf(out, "usage: payloadtool %s\n%s", help->synopsis, help->text);
  return true;
}

int HelpCommand(const std::vector<std::string>& args) {
  if (args.empty() || (args.size() == 1 && (args[0] == "--help" || args[0] == "-h"))) {
    PrintOverview(stdout);
    return kExitOk;
  }
  if (args.size() > 1) return UsageError("help takes one command");
  if (!PrintCommandHelp(args[0], stdout))
    return UsageError("no command \"" + args[0] + "\" (the commands: " + CommandNames() + ")");
  return kExitOk;
}
