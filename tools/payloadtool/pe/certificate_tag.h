#pragma once
#include <string>

#include "trust/tag_block.h"

// Writing the installer tag into a signed program, in either of the two
// forms the program reads (trust/tag_block.h):
// - TagForm::kInSignature, the default: an extra certificate in the
//   signature blob's certificates set (trust/signed_data_tag.h); every
//   enclosing DER length is rewritten, and the blob is followed only by the
//   zero padding to 8 bytes, so a strict check of that padding still passes;
// - TagForm::kAfterBlob: a "Qtag" block in the first attribute certificate
//   after the blob, at the offset the program reads it from, padded to a
//   multiple of 8 bytes.
// Either way the certificate's length and the certificate table's size are
// exact and nothing the signature covers changes (the checksum field and
// the table are outside it), so the signature still verifies. A tag the
// program already carries, in either form, is removed first: a copy never
// carries two tags.

struct TagNotes {
  bool replaced = false;    // the program carried a tag, now replaced
  size_t previousSize = 0;  // the data size of that tag
  TagForm previousForm = TagForm::kInSignature;
};

// Writes into *out a copy of program whose tag, in the form asked for, holds
// data. False with a reason for a file that is not a program, an unsigned
// program, a certificate table that is not at the end of the file or
// overlaps the headers or sections (whose bytes a change of its size would
// cut or move), data over 65535 bytes, and a first certificate holding other
// data after its blob (which the rewrite would drop); for kInSignature, a
// blob that is not a SignedData with a certificates set; for kAfterBlob, a
// blob whose length is not in the two-byte DER form, or that ends where the
// block must begin.
bool WriteInstallerTag(const std::string& program, const std::string& data, TagForm form,
                       std::string* out, TagNotes* notes, std::string* error);

enum class TagRead { kUnsigned, kNone, kFound };

// The data of a program's tag, read as the program reads it, and its form;
// a certificate table of size 0 is none.
TagRead ReadInstallerTag(const std::string& program, std::string* data, TagForm* form = nullptr);

// "in the signature" or "after the signature blob", as payloadtool says it.
const char* TagFormText(TagForm form);
