#pragma once
#include <string>

// Writing the installer tag block (see trust/tag_block.h) into a signed
// program. The block goes into the first attribute certificate, at the
// offset the program reads it from, after the signature blob; the
// certificate's length and the certificate table's size grow to hold it,
// padded to a multiple of 8 bytes. Nothing the signature covers changes
// (the checksum field and the table are outside it), so the signature still
// verifies.

struct TagNotes {
  bool replaced = false;    // the program carried a block, now replaced
  size_t previousSize = 0;  // the data size of that block
};

// Writes into *out a copy of program with its tag block holding data. A
// block that is there already is replaced. False with a reason for a file
// that is not a program, an unsigned program, a certificate table that is
// not at the end of the file or overlaps the headers or sections (whose
// bytes a change of its size would cut or move), a blob whose length is not
// in the two-byte DER form, a blob that ends where the block must begin,
// data over 65535 bytes, and a first certificate holding other data after
// its blob (which the block would overwrite).
bool WriteInstallerTag(const std::string& program, const std::string& data, std::string* out,
                       TagNotes* notes, std::string* error);

enum class TagRead { kUnsigned, kNone, kFound };

// The data of a program's tag block, read as the program reads it; a
// certificate table of size 0 is none.
TagRead ReadInstallerTag(const std::string& program, std::string* data);
