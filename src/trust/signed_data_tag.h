#pragma once
#include <cstddef>
#include <cstdint>

// The installer tag inside the signature: an extra certificate in the
// certificates set of the signature blob (a PKCS#7 SignedData in DER),
// carrying the data in an extension of this program's own, non-critical:
//
//   ContentInfo SEQUENCE { OID signedData, [0] {
//     SignedData SEQUENCE { version, digestAlgorithms, contentInfo,
//       [0] certificates { ..., Certificate SEQUENCE { tbsCertificate SEQUENCE {
//         ..., [3] { SEQUENCE { Extension SEQUENCE {
//           OID kTagExtensionOid, [BOOLEAN,] OCTET STRING { OCTET STRING data }
//         } ... } } } ... } ... }, signerInfos } } }
//
// The signature does not cover the certificates set, and the certificate
// chain is built from the signer's own certificates, so the extra one need
// not verify. The blob stays the whole of its attribute certificate up to
// the zero padding, which is what a strict reading of the padding asks.
//
// The reader follows that one path, element by element, no recursion: every
// length is checked against the element holding it, the outermost against
// the range it is given (the certificate entry, cut to the table and the
// file). It allocates nothing and is shared by the program and payloadtool.

// 2.25.17106374803581535729379251384900333917: an OID of the UUID arc,
// 0cde9165-006c-40d1-b0e7-fa0396b3315d, which needs no registration.
constexpr unsigned char kTagExtensionOid[] = {0x69, 0x99, 0xDE, 0xC8, 0xD9, 0xA0, 0x86,
                                              0xE2, 0x83, 0xA3, 0xB0, 0xF3, 0xFE, 0xC0,
                                              0xB9, 0xB5, 0xCC, 0xE2, 0x5D};

struct DerElement {
  size_t start;    // offset of the identifier byte
  size_t content;  // offset of the first content byte
  size_t end;      // offset just past the content
  unsigned char tag;
};

// The element at offset at, which must lie whole within [at, end): one
// identifier byte (low tag numbers only), a definite length in the short
// form or in one to four bytes. False otherwise.
bool ReadDerElement(const unsigned char* bytes, size_t at, size_t end, DerElement* element);

struct SignedDataTag {
  // ContentInfo, its [0], SignedData and the certificates set.
  DerElement path[4];
  // The first certificate carrying the extension; tag 0 when there is none.
  DerElement certificate;
  // The data, when found is true: the extension's value is an OCTET STRING
  // holding exactly one OCTET STRING of at most 65535 bytes.
  bool found;
  size_t data;
  size_t length;
};

// Reads the blob at offset blob within [blob, end), depth first along the
// path above (the content type is not compared: the shape decides, and a
// second certificates set is passed over). False when there is no
// certificates set or an element read on the way does not fit in the one
// holding it. True otherwise; certificate.tag is 0 when no certificate
// carries the extension, and found is false when the first one that does
// holds no sound value (a damaged tag, which is no tag).
bool FindSignedDataTag(const unsigned char* bytes, size_t blob, size_t end, SignedDataTag* tag);
