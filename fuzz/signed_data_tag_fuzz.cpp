// Fuzzes the reader of the tag inside the signature blob, over the input as
// a blob and, when the input is a signed program, over its first
// certificate: every element it gives lies inside the one that holds it,
// the data inside the tag certificate and within its limit, and the program's
// tag reader reports the same data when no block after the blob hides it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "trust/signed_data_tag.h"
#include "trust/tag_block.h"

namespace {

void Check(bool condition, const char* what) {
  if (condition) return;
  fprintf(stderr, "invariant broken: %s\n", what);
  abort();
}

bool Inside(const DerElement& inner, const DerElement& outer) {
  return inner.start >= outer.content && inner.start < inner.content &&
         inner.content <= inner.end && inner.end <= outer.end;
}

void CheckBlob(const uint8_t* data, size_t blob, size_t end) {
  SignedDataTag tag;
  if (!FindSignedDataTag(data, blob, end, &tag)) return;
  Check(tag.path[0].start == blob && tag.path[0].end <= end, "the blob within its range");
  for (int i = 1; i < 4; ++i) Check(Inside(tag.path[i], tag.path[i - 1]), "the path nests");
  if (tag.certificate.tag == 0) {
    Check(!tag.found, "no data without a certificate");
    return;
  }
  Check(Inside(tag.certificate, tag.path[3]), "the certificate inside its set");
  if (!tag.found) return;
  Check(tag.length <= kTagMaxData, "the data within its limit");
  Check(tag.data > tag.certificate.content && tag.data + tag.length <= tag.certificate.end,
        "the data inside its certificate");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckBlob(data, 0, size);
  size_t certificate, end;
  if (!FindFirstCertificate(data, size, &certificate, &end)) return 0;
  CheckBlob(data, certificate + 8, end);
  FoundTag found;
  SignedDataTag tag;
  if (FindInstallerTag(data, size, &found) && found.form == TagForm::kInSignature) {
    Check(FindSignedDataTag(data, certificate + 8, end, &tag) && tag.found &&
              tag.data == found.data && tag.length == found.length,
          "the program's reader gives the certificate's data");
  }
  return 0;
}
