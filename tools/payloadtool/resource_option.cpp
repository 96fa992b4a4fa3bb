#include "resource_option.h"

#include "files/src_name.h"

bool ParseResourceName(const std::string& text, ResourceName* resource, std::string* error) {
  const std::string quoted = "\"" + text + "\"";
  if (text.find('\\') != std::string::npos) {
    *error = quoted + " holds a backslash: a src names a resource as NAME.TYPE without a path";
    return false;
  }
  char name[kResourceNameSize];
  char type[kResourceTypeSize];
  if (!SplitSrcName(text.c_str(), name) || !SplitSrcExt(text.c_str(), type)) {
    *error = quoted +
             " is not NAME.TYPE as a src spells it (a name of 1 to 63 characters, a dot, a type "
             "of 1 to 4 characters)";
    return false;
  }
  if (type[0] == '\0') {
    *error = quoted + " has an empty type";
    return false;
  }
  for (const char c : text) {
    // A run converts its src through the system's code page before the
    // lookup; only ASCII is the same on every system.
    if (static_cast<unsigned char>(c) >= 0x80) {
      *error = quoted + " holds characters outside ASCII, which a run may spell otherwise";
      return false;
    }
  }
  if (name[0] == '#' || type[0] == '#') {
    *error = quoted + " begins a name or type with '#', which the platform reads as a number";
    return false;
  }
  MakeUpper(name);
  MakeUpper(type);
  resource->name = name;
  resource->type = type;
  return true;
}

bool ParseResourceOption(const std::string& text, ResourceOption* option, std::string* error) {
  const size_t equals = text.find('=');
  if (equals == std::string::npos) {
    *error = "resource \"" + text + "\" has no '=' (expected NAME.TYPE=FILE)";
    return false;
  }
  if (!ParseResourceName(text.substr(0, equals), &option->resource, error)) {
    *error = "resource " + *error;
    return false;
  }
  option->file = text.substr(equals + 1);
  if (option->file.empty()) {
    *error = "resource \"" + text + "\" names no file after '='";
    return false;
  }
  return true;
}
