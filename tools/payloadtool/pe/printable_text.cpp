#include "printable_text.h"

std::string PrintableText(const std::string& bytes, bool keepLineBreaks) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    const bool lineBreak =
        c == '\n' || c == '\t' || (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n');
    if ((c >= 0x20 && c <= 0x7E) || (keepLineBreaks && lineBreak)) {
      text.push_back(static_cast<char>(c));
    } else {
      text += "\\x";
      text.push_back(kHex[c >> 4]);
      text.push_back(kHex[c & 0xF]);
    }
  }
  return text;
}
