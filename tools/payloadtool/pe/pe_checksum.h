#pragma once
#include <cstdint>
#include <string>

// The checksum of a PE file as the platform's image helper computes it: the
// one's-complement sum of its 16-bit little-endian words (an odd last byte
// padded with 0), the 4 bytes of the CheckSum field at checksumAt read as 0,
// plus the file's length.
uint32_t PeChecksum(const std::string& file, size_t checksumAt);
