#include "resource_id.h"

#include "files/src_name.h"

namespace {

const char* StandardTypeName(uint16_t id) {
  static const char* const kNames[] = {
      nullptr,  "CURSOR",       "BITMAP",       "ICON",  "MENU",
      "DIALOG", "STRING",       "FONTDIR",      "FONT",  "ACCELERATOR",
      "RCDATA", "MESSAGETABLE", "GROUP_CURSOR", nullptr, "GROUP_ICON",
      nullptr,  "VERSION",      "DLGINCLUDE",   nullptr, "PLUGPLAY",
      "VXD",    "ANICURSOR",    "ANIICON",      "HTML",  "MANIFEST"};
  return id < sizeof kNames / sizeof kNames[0] ? kNames[id] : nullptr;
}

char16_t UpperAscii(char16_t unit) {
  return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - (u'a' - u'A')) : unit;
}

// <0, 0, >0 as a before, equal to, after b with ASCII letters upper-cased.
int CompareUpper(const std::u16string& a, const std::u16string& b) {
  const size_t common = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < common; ++i) {
    const char16_t x = UpperAscii(a[i]), y = UpperAscii(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

ResourceId ResourceId::Number(uint16_t number) {
  ResourceId id;
  id.isNumber = true;
  id.number = number;
  return id;
}

ResourceId ResourceId::Name(const std::string& name) {
  ResourceId id;
  for (char c : name) id.text.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return id;
}

ResourceId ResourceId::Parse(const std::string& text) {
  if (text.size() < 2 || text.size() > 6 || text[0] != '#' ||
      text.find_first_not_of("0123456789", 1) != std::string::npos)
    return Name(text);
  uint32_t value = 0;
  for (size_t i = 1; i < text.size(); ++i)
    value = value * 10 + static_cast<uint32_t>(text[i] - '0');
  return value <= 0xFFFF ? Number(static_cast<uint16_t>(value)) : Name(text);
}

std::string ResourceId::Display() const {
  if (isNumber) return "#" + std::to_string(number);
  // A listing shows a name for every resource, and many may share one long
  // name: what is shown of each stays short.
  constexpr size_t kShownWhole = kResourceNameSize - 1;
  std::string shown;
  for (size_t i = 0; i < text.size() && i < kShownWhole; ++i)
    shown.push_back(text[i] >= 0x20 && text[i] <= 0x7E ? static_cast<char>(text[i]) : '?');
  if (text.size() > kShownWhole) shown += "... (" + std::to_string(text.size()) + " characters)";
  return shown;
}

std::string ResourceId::DisplayType() const {
  const char* standard = isNumber ? StandardTypeName(number) : nullptr;
  return standard ? Display() + " (" + standard + ")" : Display();
}

bool ResourceId::Matches(const ResourceId& other) const {
  if (isNumber || other.isNumber) return isNumber == other.isNumber && number == other.number;
  return CompareUpper(text, other.text) == 0;
}

bool operator==(const ResourceId& a, const ResourceId& b) {
  return a.isNumber == b.isNumber && (a.isNumber ? a.number == b.number : a.text == b.text);
}

bool ResourceIdLess(const ResourceId& a, const ResourceId& b) {
  if (a.isNumber != b.isNumber) return !a.isNumber;
  if (a.isNumber) return a.number < b.number;
  return a.text < b.text;
}
