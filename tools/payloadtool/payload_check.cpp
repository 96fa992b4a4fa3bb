#include "payload_check.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>

#include "base/report.h"
#include "base/string_ops.h"
#include "base/tag_reader.h"
#include "events/event_record.h"
#include "events/event_types.h"
#include "events/install_path_rule.h"
#include "events/status_number.h"
#include "files/src_name.h"
#include "payload/payload_layout.h"

namespace {

// The reader's "Failed to get data for tag" lines, caught instead of being
// written to the tool's own output. The reader calls this from product code,
// which has no unwind tables on Windows: nothing may be thrown through it. A
// line that cannot be kept is reported when the lines are taken.
std::vector<std::string>* gReaderLines = nullptr;
bool gReaderLineLost = false;
void CollectReaderLine(const char* line) {
  if (!gReaderLines) return;
  try {
    gReaderLines->emplace_back(line);
  } catch (...) {
    gReaderLineLost = true;
  }
}

// The product writes the reader's line to standard output itself (when there
// is one); the check takes standard output away from it meanwhile.
class MutedStandardOutput {
 public:
#ifdef _WIN32
  MutedStandardOutput() : saved_(GetStdHandle(STD_OUTPUT_HANDLE)) {
    SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
  }
  ~MutedStandardOutput() { SetStdHandle(STD_OUTPUT_HANDLE, saved_); }
#else
  MutedStandardOutput() : saved_(dup(STDOUT_FILENO)) {
    fflush(stdout);
    const int sink = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_ >= 0 && sink >= 0) dup2(sink, STDOUT_FILENO);
    if (sink >= 0) close(sink);
  }
  ~MutedStandardOutput() {
    fflush(stdout);
    if (saved_ < 0) return;
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }
#endif
  MutedStandardOutput(const MutedStandardOutput&) = delete;
  MutedStandardOutput& operator=(const MutedStandardOutput&) = delete;

 private:
#ifdef _WIN32
  HANDLE saved_;
#else
  int saved_;
#endif
};

class ReaderLines {
 public:
  ReaderLines() {
    gReaderLines = &lines_;
    gReaderLineLost = false;
    SetPrintObserver(CollectReaderLine);
  }
  ~ReaderLines() {
    SetPrintObserver(nullptr);
    gReaderLines = nullptr;
  }
  ReaderLines(const ReaderLines&) = delete;
  ReaderLines& operator=(const ReaderLines&) = delete;

  std::vector<std::string> Take() {
    if (gReaderLineLost) {
      gReaderLineLost = false;
      throw std::bad_alloc();
    }
    std::vector<std::string> taken;
    taken.swap(lines_);
    return taken;
  }

 private:
  MutedStandardOutput muted_;
  std::vector<std::string> lines_;
};

// The line as the run prints it, without its line feed.
std::string Unterminated(const std::string& line) {
  return !line.empty() && line.back() == '\n' ? line.substr(0, line.size() - 1) : line;
}

struct OwnedBlock {
  TextBlock block = {nullptr, 0};
  ~OwnedBlock() { FreeTextBlock(&block); }
};

struct OwnedRecord {
  EventRecord record;
  bool allocated = false;
  ~OwnedRecord() {
    if (allocated) FreeEventRecord(&record);
  }
};

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Compares ASCII letters without regard to case, as the platform's _stricmp
// does in the "C" locale.
bool SameIgnoringCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    if (tolower(static_cast<unsigned char>(*a)) != tolower(static_cast<unsigned char>(*b)))
      return false;
  }
  return *a == *b;
}

// A tag spelled like <name> in another letter case, as a hint for a name
// the run does not find ("" when there is none).
std::string CaseVariantOf(const std::string& text, const std::string& name) {
  const std::string open = "<" + name + ">";
  for (size_t at = text.find('<'); at != std::string::npos; at = text.find('<', at + 1)) {
    const std::string candidate = text.substr(at, open.size());
    if (candidate.size() == open.size() && candidate != open &&
        SameIgnoringCase(candidate.c_str(), open.c_str()))
      return candidate;
  }
  return std::string();
}

bool IsFlag(EventField field) {
  return field == kFieldHidden || field == kFieldElevated || field == kFieldLumenoShutdown ||
         field == kFieldSelfCmdline;
}

// An optional sign and at least one digit, nothing else.
bool IsWholeNumber(const char* text) {
  if (*text == '+' || *text == '-') ++text;
  if (!*text) return false;
  for (; *text; ++text) {
    if (*text < '0' || *text > '9') return false;
  }
  return true;
}

class Checker {
 public:
  explicit Checker(PayloadCheck* check) : check_(*check) {}

  void Run(const std::string& document) {
    // The run's text ends at the first NUL: lengths are string lengths.
    const size_t nul = document.find('\0');
    if (nul != std::string::npos) {
      Warn(0, "a NUL byte at offset " + std::to_string(nul) +
                  " ends the text: the run ignores everything after it");
    }
    OwnedBlock text;
    if (!AllocTextBlock(&text.block, document.size())) return OutOfMemory();
    memcpy(text.block.chars, document.data(), document.size());
    text.block.chars[document.size()] = '\0';
    text_ = text.block.chars;

    OwnedBlock content;
    if (!AllocTextBlock(&content.block, text.block.capacity)) return OutOfMemory();
    if (ReadPayloadContent(text.block, &content.block) != kLayoutOk) {
      check_.layoutFailure = LayoutMessage(kLayoutNoPayload);
      Fail(0, check_.layoutFailure + CaseHint(text_, "payload"));
      return;
    }
    check_.foundPayload = true;
    CheckSettings(content.block);
    CheckEvents(content.block);
    for (const Problem& problem : check_.problems) {
      if (problem.severity == Severity::kError && problem.event > 0) {
        check_.stopEvent = problem.event;
        break;
      }
    }
  }

 private:
  void Fail(int event, const std::string& text) {
    check_.problems.push_back(Problem{Severity::kError, event, text});
  }
  void Warn(int event, const std::string& text) {
    check_.problems.push_back(Problem{Severity::kWarning, event, text});
  }
  void OutOfMemory() { Fail(0, "out of memory while reading the payload"); }

  static std::string CaseHint(const std::string& text, const std::string& name) {
    const std::string variant = CaseVariantOf(text, name);
    return variant.empty() ? std::string()
                           : " (there is " + variant + ", but element names are case-sensitive)";
  }

  // The run stops at the first layout failure; every one is listed, that one
  // first, in the order the run looks for them.
  void CheckSettings(const TextBlock& content) {
    PayloadSettings settings = {};
    if (!AllocPayloadSettings(&settings, content.capacity)) return OutOfMemory();
    const LayoutStatus first = ReadPayloadSettings(content, &settings);
    FreePayloadSettings(&settings);

    struct Setting {
      const char* name;
      std::string* value;
      LayoutStatus missing;
      LayoutStatus empty;
      bool found;
    };
    Setting order[] = {
        {"rootkey", &check_.rootkey, kLayoutNoRootkey, kLayoutEmptyRootkey, false},
        {"subkey", &check_.subkey, kLayoutNoSubkey, kLayoutEmptySubkey, false},
        {"installkey", &check_.installkey, kLayoutNoInstallkey, kLayoutEmptyInstallkey, false},
    };
    OwnedBlock value;
    if (!AllocTextBlock(&value.block, content.capacity)) return OutOfMemory();
    std::vector<std::string> failures;
    for (Setting& s : order) {
      value.block.chars[0] = '\0';
      s.found = GetTagData(s.name, content.chars, strlen(content.chars), value.block.chars,
                           value.block.capacity) > 0;
      if (!s.found) {
        failures.push_back(LayoutMessage(s.missing) + CaseHint(content.chars, s.name));
        continue;
      }
      TrimWhitespace(value.block.chars);
      *s.value = value.block.chars;
    }
    for (Setting& s : order) {
      if (s.found && s.value->empty()) failures.push_back(LayoutMessage(s.empty));
    }
    // The run's verdict decides; the list above only adds what comes after it.
    if (first != kLayoutOk) {
      check_.layoutFailure = LayoutMessage(first);
      if (failures.empty() || failures.front().rfind(check_.layoutFailure, 0) != 0)
        failures.insert(failures.begin(), check_.layoutFailure);
    }
    for (const std::string& failure : failures) Fail(0, failure);
    if (!check_.rootkey.empty() && !InstallPathRootAccepted(check_.rootkey.c_str())) {
      Warn(0, "rootkey is " + Quoted(check_.rootkey) + ", not " + Quoted(kLocalMachineRoot) +
                  ": every install-path lookup of the events fails or is skipped");
    }
  }

  void CheckEvents(const TextBlock& content) {
    OwnedBlock event;
    OwnedRecord owned;
    if (!AllocTextBlock(&event.block, content.capacity)) return OutOfMemory();
    if (!AllocEventRecord(&owned.record, content.capacity)) return OutOfMemory();
    owned.allocated = true;

    // Lines printed while the settings were read belong to their failures.
    reader_.Take();
    EventCursor cursor = StartEvents(content);
    int number = 0;
    for (;;) {
      const bool more = NextEvent(&cursor, &event.block);
      std::vector<std::string> lines = reader_.Take();
      if (!more) {
        CheckEndOfEvents(lines, number + 1);
        break;
      }
      ++number;
      ReadEventRecord(event.block, &owned.record);
      CheckEvent(number, owned.record, event.block.chars, reader_.Take());
    }
    if (number == 0) {
      const std::string variant = CaseVariantOf(content.chars, "event");
      if (!variant.empty())
        Warn(0, "the run ignores " + variant + ": element names are case-sensitive");
    }
  }

  // The walk found no further event. When the next one is not closed, the
  // reader printed its line: the walk ends there silently and still succeeds.
  void CheckEndOfEvents(const std::vector<std::string>& lines, int number) {
    for (const std::string& line : lines) {
      Warn(0, "event " + std::to_string(number) +
                  " is not closed: the walk ends there and still succeeds, and the run prints " +
                  Quoted(Unterminated(line)));
    }
  }

  void CheckEvent(int number, const EventRecord& record, const char* content,
                  const std::vector<std::string>& lines) {
    CheckedEvent shown{number, record.Get(kFieldType), {}};
    for (int i = 0; i < kEventFieldCount; ++i) {
      const EventField field = static_cast<EventField>(i);
      if (!record.Empty(field)) shown.attributes.emplace_back(kEventFieldNames[i], record.Get(field));
    }
    check_.events.push_back(shown);

    for (const std::string& line : lines) {
      Warn(number, "an attribute element is not closed, so it reads as empty; the run prints " +
                       Quoted(Unterminated(line)));
    }
    CheckElementNames(number, content);

    const int found = FindEventType(record.Get(kFieldType));
    if (record.Empty(kFieldType)) {
      Fail(number, "no type: the event fails without a message");
      return;
    }
    if (found < 0) {
      std::string text = "unknown type " + Quoted(record.Get(kFieldType)) +
                         ": the event fails without a message";
      for (const EventTypeRule& known : kEventTypes) {
        if (SameIgnoringCase(known.name, record.Get(kFieldType)))
          text += " (types are case-sensitive: " + Quoted(known.name) + ")";
      }
      Fail(number, text);
      return;
    }
    const EventType type = static_cast<EventType>(found);
    const EventTypeRule& rule = kEventTypes[type];
    const std::string label = std::string(rule.name) + ": ";

    switch (rule.installPath) {
      case InstallPathUse::kNeedsEarlier:
        if (!installPathRead_) {
          Fail(number, label + "no earlier RUN, RUNAPPS or URLRUN reads the install path; the "
                               "run reports " + Quoted(kInstallPathNotSetMessage));
        }
        break;
      case InstallPathUse::kReadsFirst:
        if (!InstallPathRootAccepted(check_.rootkey.c_str())) {
          char message[kReportBufferSize];
          FormatInstallPathMissing(message, sizeof message, rule.name, check_.rootkey.c_str(),
                                   check_.subkey.c_str(), check_.installkey.c_str());
          Fail(number, label + "rootkey is not " + Quoted(kLocalMachineRoot) +
                           "; the run reports " + Quoted(message));
        }
        installPathRead_ = true;
        break;
      case InstallPathUse::kReadsAfterRun:
        installPathRead_ = true;
        break;
      case InstallPathUse::kNone:
        break;
    }

    for (int i = 0; i < rule.requiredCount; ++i) {
      const RequiredAttribute& required = rule.required[i];
      if (!record.Empty(required.field)) continue;
      const std::string missing = label + "no " + kEventFieldNames[required.field];
      Fail(number, required.message ? missing + "; the run reports " + Quoted(required.message)
                                    : missing + ": the event fails without a message");
    }
    if (rule.srcIsResource && !record.Empty(kFieldSrc)) CheckResourceSrc(number, label, record);

    if (type == kEventCallerCopy && record.Empty(kFieldDst)) {
      Warn(number, label + "no dst: nothing is copied and the walk goes on; the run reports " +
                       Quoted(kCallerCopyMissingDstMessage));
    }
    if (type == kEventRun && record.Flag(kFieldSelfCmdline) && !record.Flag(kFieldCmdline)) {
      Warn(number, label + "selfcmdline is \"1\" but cmdline is not \"1\": the caller command "
                           "line is not extended");
    }
    if (type == kEventFailOnMutex && !record.Empty(kFieldStatus) &&
        !IsWholeNumber(record.Get(kFieldStatus))) {
      Warn(number, label + "status " + Quoted(record.Get(kFieldStatus)) +
                       " is not a whole number: the run exits with " +
                       std::to_string(ParseStatusNumber(record.Get(kFieldStatus))));
    }
    CheckAttributeValues(number, label, type, record);
  }

  void CheckResourceSrc(int number, const std::string& label, const EventRecord& record) {
    char name[kResourceNameSize];
    char resourceType[kResourceTypeSize];
    const char* src = record.Get(kFieldSrc);
    if (!SplitSrcName(src, name) || !SplitSrcExt(src, resourceType)) {
      char message[kReportBufferSize];
      FormatBoundedArgs(message, sizeof message, kMalformedSrcFormat, src);
      Fail(number, label + "src is not NAME.TYPE; the run reports " + Quoted(message));
      return;
    }
    MakeUpper(name);
    MakeUpper(resourceType);
    check_.resourceUses.push_back(ResourceUse{number, ResourceName{name, resourceType}});
  }

  // Attributes the type ignores, and flags that are off although set.
  void CheckAttributeValues(int number, const std::string& label, EventType type,
                            const EventRecord& record) {
    const unsigned used = kEventTypes[type].usedFields;
    for (int i = kFieldSrc; i < kEventFieldCount; ++i) {
      const EventField field = static_cast<EventField>(i);
      if (record.Empty(field)) continue;
      const std::string value = record.Get(field);
      if (!(used & (1u << field))) {
        Warn(number, label + kEventFieldNames[field] + " is not used by " +
                         kEventTypes[type].name + " events");
      } else if (IsFlag(field) && value != "1" && value != "0") {
        Warn(number, label + kEventFieldNames[field] + " is " + Quoted(value) +
                         ": a flag is on only when it is exactly \"1\", so it is off" +
                         (field == kFieldSelfCmdline ? " (selfcmdline is not trimmed)" : ""));
      }
    }
  }

  // Elements the run does not read (a misspelt name), later copies of an
  // attribute, and an event tag inside the event.
  void CheckElementNames(int number, const char* content) {
    std::map<std::string, int> opened;
    const char* cursor = content;
    const char* const end = content + strlen(content);
    char name[kTagNameSize];
    while (cursor < end) {
      if (*cursor != '<') {
        ++cursor;
        continue;
      }
      const int kind = ReadTagName(&cursor, name, static_cast<size_t>(end - cursor));
      if (kind == kTagMalformed) break;
      if (kind == kTagOpening) ++opened[name];
    }
    for (const auto& [tag, count] : opened) {
      bool known = false;
      for (const char* field : kEventFieldNames) known = known || tag == field;
      if (tag == "event") {
        Warn(number, "holds an <event> tag: an event element before it is probably not closed, "
                     "and two events are read as one");
      } else if (known && count > 1) {
        Warn(number, "<" + tag + "> appears " + std::to_string(count) +
                         " times: only the first counts");
      } else if (!known && tag[0] != '!' && tag[0] != '?') {
        Warn(number, "the run does not read <" + tag +
                         "> (attribute names are lower-case and case-sensitive)");
      }
    }
  }

  PayloadCheck& check_;
  ReaderLines reader_;  // for the whole check: the reader prints nothing of its own
  std::string text_;
  bool installPathRead_ = false;
};

}  // namespace

int PayloadCheck::Count(Severity severity) const {
  int count = 0;
  for (const Problem& problem : problems) count += problem.severity == severity;
  return count;
}

PayloadCheck CheckPayload(const std::string& document) {
  PayloadCheck check;
  Checker(&check).Run(document);
  return check;
}

void CheckResourcesPresent(PayloadCheck* check, bool (*present)(const ResourceName&, void*),
                           void* context) {
  for (const ResourceUse& use : check->resourceUses) {
    if (present(use.resource, context)) continue;
    char message[kReportBufferSize];
    FormatBoundedArgs(message, sizeof message, "ExtractFile - FindResource failed name=%s, ext=%s",
                      use.resource.name.c_str(), use.resource.type.c_str());
    check->problems.push_back(Problem{
        Severity::kError, use.event,
        "the packed program holds no resource " + use.resource.Text() + "; the run reports " +
            Quoted(message)});
    if (check->stopEvent == 0 || use.event < check->stopEvent) check->stopEvent = use.event;
  }
}
