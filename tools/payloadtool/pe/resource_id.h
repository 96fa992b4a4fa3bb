#pragma once
#include <cstdint>
#include <string>

// A resource type or name: a number, or a name of UTF-16 code units as the
// file stores it.
struct ResourceId {
  bool isNumber = false;
  uint16_t number = 0;
  std::u16string text;

  static ResourceId Number(uint16_t number);
  // An 8-bit name, each byte one code unit.
  static ResourceId Name(const std::string& name);
  // "#24" is the number 24, as the platform reads it; anything else is a name.
  static ResourceId Parse(const std::string& text);

  // "PAYLOAD", "#1"; code units outside printable ASCII print as '?', and a
  // name longer than a src can spell (63) as its first 63 and "... (N characters)".
  std::string Display() const;
  std::string DisplayType() const;  // "XML", "#24 (MANIFEST)"
  // The same resource as the platform looks it up: equal numbers, or names
  // equal when ASCII letters are compared without case.
  bool Matches(const ResourceId& other) const;
};

bool operator==(const ResourceId& a, const ResourceId& b);
inline bool operator!=(const ResourceId& a, const ResourceId& b) { return !(a == b); }

// The order of a resource directory's entries, which the loader's binary
// search relies on: names first, code unit by code unit with a shorter name
// before its extensions (the loader upper-cases what it looks for and
// compares exactly), then numbers in ascending order.
bool ResourceIdLess(const ResourceId& a, const ResourceId& b);
