#include "resource_pack.h"

#include <deque>
#include <utility>

#include "file_bytes.h"

namespace {

// The type and name of each edit, in the same order; items point at them.
std::deque<ResourceId> EditKeys(const std::vector<ResourceEdit>& edits) {
  std::deque<ResourceId> keys;
  for (const ResourceEdit& edit : edits) {
    keys.push_back(ResourceId::Name(edit.resource.type));
    keys.push_back(ResourceId::Name(edit.resource.name));
  }
  return keys;
}

bool IsEdited(const ResourceEntry& entry, const std::deque<ResourceId>& editKeys) {
  for (size_t i = 0; i < editKeys.size(); i += 2) {
    // The platform finds string names whatever their letter case.
    if (entry.type->Matches(editKeys[i]) && entry.name->Matches(editKeys[i + 1])) return true;
  }
  return false;
}

}  // namespace

bool WriteEditedCopy(const std::string& stub, const std::string& out,
                     const std::vector<ResourceEdit>& edits, std::string* error,
                     RebuildNotes* notes) {
  ResourceImage image;
  std::string why;
  if (!image.Open(stub, &why)) {
    *error = stub + ": " + why;
    return false;
  }
  return WriteEditedImage(image, stub, out, edits, error, notes);
}

bool WriteEditedImage(const ResourceImage& image, const std::string& stub, const std::string& out,
                      const std::vector<ResourceEdit>& edits, std::string* error,
                      RebuildNotes* notes) {
  for (const ResourceEdit& edit : edits) {
    // A run cannot tell an empty resource from a missing one.
    if (!edit.remove && edit.data.empty()) {
      *error = edit.resource.Text() + " is empty";
      return false;
    }
  }
  const std::deque<ResourceId> editKeys = EditKeys(edits);
  std::vector<ResourceItem> items;
  items.reserve(image.Entries().size() + edits.size());
  for (const ResourceEntry& entry : image.Entries()) {
    if (IsEdited(entry, editKeys)) continue;
    items.push_back(ResourceItem{entry.type, entry.name, entry.language, entry.codePage,
                                 image.Bytes().data() + entry.offset, entry.size});
  }
  for (size_t i = 0; i < edits.size(); ++i) {
    if (edits[i].remove) continue;
    items.push_back(ResourceItem{&editKeys[2 * i], &editKeys[2 * i + 1], 0, 0, edits[i].data.data(),
                                 static_cast<uint32_t>(edits[i].data.size())});
  }
  std::string copy, why;
  RebuildNotes ignored;
  if (!RebuildWithResources(image.Bytes(), image.Headers(), std::move(items), &copy,
                            notes ? notes : &ignored, &why)) {
    *error = stub + ": " + why;
    return false;
  }
  return WriteFileReplacing(out, copy, error);
}
