#include "trust/signed_data_tag.h"

#include <cstring>

#include "trust/tag_block.h"

namespace {

constexpr unsigned char kOctetString = 0x04, kBoolean = 0x01;

// The path from the blob to the extension's identifier: at each depth the
// tag of the element that leads on, and whether only the first element there
// may be it (otherwise every element of that depth is tried in turn).
constexpr int kDepth = 10;
constexpr unsigned char kPathTags[kDepth] = {
    0x30,  // ContentInfo, the whole blob
    0xA0,  // its content, after the content type
    0x30,  // SignedData
    0xA0,  // certificates, after version, digestAlgorithms and contentInfo
    0x30,  // a Certificate (other kinds of certificate are passed over)
    0x30,  // its tbsCertificate
    0xA3,  // extensions, after the fields before them
    0x30,  // the list of extensions
    0x30,  // an Extension
    0x06,  // its extnID
};
constexpr unsigned kFirstOnly = 1u << 0 | 1u << 2 | 1u << 5 | 1u << 7 | 1u << 9;

// The extension's value: an optional critical flag, then an OCTET STRING
// holding exactly one OCTET STRING, the data, and nothing after it.
void ReadTagValue(const unsigned char* bytes, const DerElement& id, size_t end,
                  SignedDataTag* tag) {
  DerElement value, data;
  if (!ReadDerElement(bytes, id.end, end, &value)) return;
  if (value.tag == kBoolean && !ReadDerElement(bytes, value.end, end, &value)) return;
  if (value.tag != kOctetString || value.end != end ||
      !ReadDerElement(bytes, value.content, value.end, &data) || data.tag != kOctetString ||
      data.end != value.end || data.end - data.content > kTagMaxData)
    return;
  tag->found = true;
  tag->data = data.content;
  tag->length = data.end - data.content;
}

}  // namespace

bool ReadDerElement(const unsigned char* bytes, size_t at, size_t end, DerElement* element) {
  if (at > end || end - at < 2 || (bytes[at] & 0x1F) == 0x1F) return false;
  size_t content = at + 2;
  size_t length = bytes[at + 1];
  if (length & 0x80) {
    size_t count = length & 0x7F;
    if (count == 0 || count > 4 || count > end - content) return false;
    for (length = 0; count > 0; --count) length = length << 8 | bytes[content++];
  }
  if (length > end - content) return false;
  element->start = at;
  element->content = content;
  element->end = content + length;
  element->tag = bytes[at];
  return true;
}

bool FindSignedDataTag(const unsigned char* bytes, size_t blob, size_t end, SignedDataTag* tag) {
  // A walk of the path, depth first, with the place reached at each depth:
  // every element is read whole (and so checked against the element that
  // holds it) before anything inside it or after it.
  size_t at[kDepth], ends[kDepth];
  DerElement element[kDepth];
  bool haveSet = false;
  tag->certificate.tag = 0;
  tag->found = false;
  int depth = 0;
  at[0] = blob;
  ends[0] = end;
  while (depth >= 0) {
    if (at[depth] >= ends[depth]) {
      --depth;
      continue;
    }
    DerElement& here = element[depth];
    if (!ReadDerElement(bytes, at[depth], ends[depth], &here)) return false;
    at[depth] = kFirstOnly >> depth & 1 ? ends[depth] : here.end;
    if (here.tag != kPathTags[depth]) continue;
    if (depth == kDepth - 1) {
      if (here.end - here.content != sizeof kTagExtensionOid ||
          memcmp(bytes + here.content, kTagExtensionOid, sizeof kTagExtensionOid) != 0)
        continue;
      tag->certificate = element[4];
      ReadTagValue(bytes, here, element[8].end, tag);
      return true;
    }
    // Only the first certificates set is the SignedData's: a second one is
    // passed over, so that the path given out always holds the certificate.
    if (depth == 3) {
      if (haveSet) continue;
      haveSet = true;
      memcpy(tag->path, element, sizeof tag->path);
    }
    ++depth;
    at[depth] = here.content;
    ends[depth] = here.end;
  }
  return haveSet;
}
