#pragma once
#include <string>
#include <vector>

#include "pe_headers.h"
#include "resource_section.h"

struct RebuildNotes {
  // The program carried a certificate table (a signature), which a changed
  // program invalidates: the copy has none.
  bool droppedCertificates = false;
};

// Writes into *out a copy of program (read into headers) whose resource
// section holds exactly items, whose data may point into program. The
// section goes last: a resource section that was last is rewritten in
// place; one followed by the base relocation section trades places with it
// (relocations do not depend on where they lie); a program without one gets
// a new section header. Everything before the resource section is copied
// byte for byte, and a symbol table after the sections follows them again.
// SizeOfImage, SizeOfInitializedData, the resource and relocation directory
// entries, the symbol table's offset and the checksum are set to match; the
// certificate table is dropped. False with a reason when the layout cannot
// be changed safely: another section follows the resources, the file holds
// data after its sections that is neither a symbol nor a certificate table,
// a directory or debug record points at what would move, or no header room
// is left.
bool RebuildWithResources(const std::string& program, const PeHeaders& headers,
                          std::vector<ResourceItem> items, std::string* out, RebuildNotes* notes,
                          std::string* error);
