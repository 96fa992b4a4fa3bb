#pragma once
#include <string>
#include <vector>

#include "pe_rebuild.h"
#include "pe_resources.h"
#include "resource_option.h"

// One change to a program's resources: every language variant of the
// resource is removed; unless remove is set, data then becomes its only,
// language-neutral variant.
struct ResourceEdit {
  ResourceName resource;
  bool remove = false;
  std::string data;
};

// Writes a copy of stub with the edits applied to out (which may be stub
// itself); every other resource of the stub is kept as it was, in all its
// languages. The same stub and edits always give the same bytes. The copy
// is written to a temporary file beside out and moved over it, so out is
// never half-written; on failure out is untouched and the temporary file is
// gone. False with a one-line reason; notes, when given, say what was dropped.
bool WriteEditedCopy(const std::string& stub, const std::string& out,
                     const std::vector<ResourceEdit>& edits, std::string* error,
                     RebuildNotes* notes = nullptr);

// The same with the stub already read; stubPath names it in reasons.
bool WriteEditedImage(const ResourceImage& stub, const std::string& stubPath,
                      const std::string& out, const std::vector<ResourceEdit>& edits,
                      std::string* error, RebuildNotes* notes = nullptr);
