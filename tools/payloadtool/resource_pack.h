#pragma once
#include <string>
#include <vector>

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
// languages. The copy is made in a temporary file beside out, read back, and
// only then moved over out, so out is never half-written; on failure out is
// untouched and the temporary file is gone. False with a one-line reason.
bool WriteEditedCopy(const std::string& stub, const std::string& out,
                     const std::vector<ResourceEdit>& edits, std::string* error);
