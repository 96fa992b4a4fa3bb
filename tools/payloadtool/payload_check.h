#pragma once
#include <string>
#include <utility>
#include <vector>

#include "resource_option.h"

// What a run of the bootstrapper would make of a payload document, found
// with the program's own reader: the settings and events as the run reads
// them, the failures it would hit (errors) and what surely is not meant
// although nothing fails (warnings).

enum class Severity { kError, kWarning };

struct Problem {
  Severity severity;
  int event;         // number of the event concerned (from 1); 0: the document
  std::string text;  // quotes the run's own message where it has one
};

struct CheckedEvent {
  int number;
  std::string type;
  // Non-empty attribute values as the run reads them, in record order.
  std::vector<std::pair<std::string, std::string>> attributes;
};

// An embedded resource that a RUN or COPY event extracts.
struct ResourceUse {
  int event;
  ResourceName resource;
};

struct PayloadCheck {
  bool foundPayload = false;
  std::string layoutFailure;  // the run's message when the layout stops the walk
  std::string rootkey, subkey, installkey;
  std::vector<CheckedEvent> events;
  std::vector<Problem> problems;
  std::vector<ResourceUse> resourceUses;
  int stopEvent = 0;  // the first event that fails the walk; 0 when none does

  int Count(Severity severity) const;
};

// document: the bytes of the PAYLOAD resource as they would be packed.
PayloadCheck CheckPayload(const std::string& document);

// Adds an error for every RUN or COPY event whose resource `present` says
// the packed program will not hold.
void CheckResourcesPresent(PayloadCheck* check, bool (*present)(const ResourceName&, void*),
                           void* context);
