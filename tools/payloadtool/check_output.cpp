#include "check_output.h"

#include <string>

namespace {

std::string Plural(int count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

void PrintValue(FILE* out, const std::string& name, const std::string& value) {
  fprintf(out, "  %-14s \"%s\"\n", name.c_str(), value.c_str());
}

std::string TypeOfEvent(const PayloadCheck& check, int number) {
  for (const CheckedEvent& event : check.events) {
    if (event.number == number) return event.type;
  }
  return std::string();
}

void PrintWalk(const PayloadCheck& check, FILE* out) {
  if (!check.layoutFailure.empty()) {
    fprintf(out, "walk: stops before any event: \"%s\"", check.layoutFailure.c_str());
    if (check.stopEvent > 0) fprintf(out, "; after that, at event %d", check.stopEvent);
    fprintf(out, "\n");
    return;
  }
  const int count = static_cast<int>(check.events.size());
  if (check.stopEvent == 0) {
    fprintf(out, "walk: completes, %s run\n", Plural(count, "event").c_str());
    return;
  }
  fprintf(out, "walk: stops at event %d (\"%s\")", check.stopEvent,
          TypeOfEvent(check, check.stopEvent).c_str());
  if (check.stopEvent < count) {
    fprintf(out, "; events %d to %d never run", check.stopEvent + 1, count);
  }
  fprintf(out, "\n");
}

}  // namespace

void PrintProblems(const PayloadCheck& check, FILE* out) {
  for (const Problem& problem : check.problems) {
    const char* severity = problem.severity == Severity::kError ? "error" : "warning";
    if (problem.event > 0)
      fprintf(out, "%s: event %d: %s\n", severity, problem.event, problem.text.c_str());
    else
      fprintf(out, "%s: %s\n", severity, problem.text.c_str());
  }
  PrintWalk(check, out);
  fprintf(out, "result: %s, %s\n", Plural(check.Count(Severity::kError), "error").c_str(),
          Plural(check.Count(Severity::kWarning), "warning").c_str());
}

void PrintPayloadCheck(const PayloadCheck& check, FILE* out) {
  if (check.foundPayload) {
    fprintf(out, "settings\n");
    PrintValue(out, "rootkey", check.rootkey);
    PrintValue(out, "subkey", check.subkey);
    PrintValue(out, "installkey", check.installkey);
  }
  for (const CheckedEvent& event : check.events) {
    fprintf(out, "event %d: \"%s\"\n", event.number, event.type.c_str());
    for (const auto& [name, value] : event.attributes) {
      if (name != "type") PrintValue(out, name, value);
    }
  }
  PrintProblems(check, out);
}
