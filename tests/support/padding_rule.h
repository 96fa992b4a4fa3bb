#pragma once
// The strict check of a signature's padding, as it is documented: the first
// attribute certificate holds the signature blob, then only zero bytes up to
// its dwLength, which is the blob's end rounded up to 8. A copy that breaks
// the rule counts as unsigned where the check is switched on.
//
// Wine does not have this check (its WinVerifyTrust accepts a tag after the
// blob), so the tests apply the rule here, as documented, rather than
// observing it on Windows.
#include <cstdint>
#include <string>

// "" when program passes the rule, otherwise why it does not.
inline std::string PaddingRuleBroken(const std::string& program) {
  auto byte = [&](size_t at) -> uint32_t {
    return at < program.size() ? static_cast<unsigned char>(program[at]) : 0;
  };
  auto le32 = [&](size_t at) {
    return byte(at) | byte(at + 1) << 8 | byte(at + 2) << 16 | byte(at + 3) << 24;
  };
  const size_t pe = le32(60);
  const bool pe32 = (byte(pe + 24) | byte(pe + 25) << 8) == 0x10B;
  const size_t entry = pe + 24 + (pe32 ? 96 : 112) + 8 * 4;
  const size_t certificate = le32(entry);
  if (certificate == 0 || certificate + 12 > program.size()) return "no certificate table";
  const size_t dwLength = le32(certificate);
  if (byte(certificate + 8) != 0x30) return "the blob is no DER sequence";
  size_t length = byte(certificate + 9), header = 2;
  if (length & 0x80) {
    header += length & 0x7F;
    length = 0;
    for (size_t i = 2; i < header; ++i) length = length << 8 | byte(certificate + 8 + i);
  }
  const size_t blobEnd = 8 + header + length;
  if (dwLength != ((blobEnd + 7) & ~size_t{7}))
    return "dwLength " + std::to_string(dwLength) + " is not the blob's end " +
           std::to_string(blobEnd) + " rounded up to 8";
  if (certificate + dwLength > program.size()) return "dwLength runs past the file";
  for (size_t at = blobEnd; at < dwLength; ++at)
    if (program[certificate + at] != '\0') return "a byte after the blob is not zero";
  return "";
}
