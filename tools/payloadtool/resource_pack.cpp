#include "resource_pack.h"

#include "file_bytes.h"

namespace {

bool IsEdited(const ResourceEntry& entry, const std::vector<ResourceEdit>& edits) {
  for (const ResourceEdit& edit : edits) {
    // The platform finds string names whatever their letter case.
    if (entry.type.Matches(ResourceId::Name(edit.resource.type)) &&
        entry.name.Matches(ResourceId::Name(edit.resource.name)))
      return true;
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
  std::vector<ResourceItem> items;
  for (const ResourceEntry& entry : image.Entries()) {
    if (IsEdited(entry, edits)) continue;
    items.push_back(ResourceItem{entry.type, entry.name, entry.language, entry.codePage,
                                 image.Bytes().data() + entry.offset, entry.size});
  }
  for (const ResourceEdit& edit : edits) {
    if (edit.remove) continue;
    items.push_back(ResourceItem{ResourceId::Name(edit.resource.type),
                                 ResourceId::Name(edit.resource.name), 0, 0, edit.data.data(),
                                 static_cast<uint32_t>(edit.data.size())});
  }
  std::string copy, why;
  RebuildNotes ignored;
  if (!RebuildWithResources(image.Bytes(), image.Headers(), items, &copy, notes ? notes : &ignored,
                            &why)) {
    *error = stub + ": " + why;
    return false;
  }
  return WriteFileReplacing(out, copy, error);
}
