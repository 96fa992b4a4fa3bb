#pragma once
#include <string>

// A resource that an event's src can name: NAME.TYPE, both upper-cased as
// the program looks them up.
struct ResourceName {
  std::string name;
  std::string type;
  std::string Text() const { return name + "." + type; }
};

// Splits NAME.TYPE with the program's own src rule (name of 1 to 63
// characters, type of up to 4, split at the last dot) and upper-cases both.
// Refused, with a reason in *error: a backslash (the program would drop
// what comes before it), an empty type, a leading '#' (the platform reads
// "#12" as the number 12), and bytes outside ASCII (stored as they are, they
// would match a run's lookup only on some code pages).
bool ParseResourceName(const std::string& text, ResourceName* resource, std::string* error);

// --resource NAME.TYPE=FILE
struct ResourceOption {
  ResourceName resource;
  std::string file;
};
bool ParseResourceOption(const std::string& text, ResourceOption* option, std::string* error);
