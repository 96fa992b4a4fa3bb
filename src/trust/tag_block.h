#pragma once
#include <cstddef>
#include <cstdint>

// The installer tag block: a small block of data that a signed program
// carries in its certificate table, inside the first attribute certificate
// after the signature blob. At offset T of that certificate lie "Qtag", the
// data's length N (big-endian, two bytes) and N bytes of data, where T is
// the blob's content length L plus 18 with the three low bits cleared. The
// whole block lies inside that certificate (its dwLength) and inside the
// table (the size in data directory entry 4); bytes beyond either are not
// the certificate's, and a block there is no tag.
//
// A signed program may instead carry its tag inside the signature blob
// (trust/signed_data_tag.h). The block after the blob is read first, as
// before; only when that place holds no "Qtag" is the blob searched.
//
// These functions read a whole file's bytes and never read outside them:
// every offset and length is checked against the size with arithmetic that
// cannot wrap.

constexpr size_t kTagMagicSize = 4;     // "Qtag"
constexpr size_t kTagHeaderSize = 6;    // magic and N
constexpr size_t kTagMaxData = 0xFFFF;  // N is two bytes

// Where the block must lie in a file.
struct TagBlockPlace {
  size_t certificate;  // file offset of the first attribute certificate
  size_t blobLength;   // L, from the blob's two-byte DER length
  size_t block;        // file offset of the block: certificate + T
  size_t end;          // file offset where the certificate ends, within the table and the file
};

// The first attribute certificate: its file offset, and where its bytes end
// (its dwLength, cut to the table and the file). The MZ and PE signatures,
// the table's offset and size from data directory entry 4 (read where a PE32
// or a PE32+ optional header keeps it, by the header's magic) and 12 bytes
// of the certificate are needed; false without them.
bool FindFirstCertificate(const unsigned char* file, size_t size, size_t* certificate,
                          size_t* end);

// The MZ and PE signatures, the certificate table's offset and size from
// data directory entry 4 (read where a PE32 or a PE32+ optional header
// keeps it, by the header's magic), the first certificate's dwLength, a blob
// that begins 0x30 0x82, and T. False when any of them is missing, or the
// blob's first four bytes or T lie past the end of the certificate, the
// table or the file.
bool FindTagBlockPlace(const unsigned char* file, size_t size, TagBlockPlace* place);

// The block at offset position: "Qtag" (compared exactly) and N. With a null
// buffer, stores N + 1 (the capacity needed) in *bufferSize. With a buffer,
// *bufferSize is its capacity: less than N + 1 gives false and leaves it as
// it is; otherwise the data is copied and terminated. False also when the
// block or its data does not lie within the file.
bool ParseTagBlock(const unsigned char* file, size_t size, size_t position, char* buffer,
                   int32_t* bufferSize);

enum class TagForm { kAfterBlob, kInSignature };

struct FoundTag {
  TagForm form;
  size_t data;    // file offset of the data
  size_t length;  // its size, at most kTagMaxData
};

// The tag a file carries: a "Qtag" block after the blob that ends within the
// certificate, or, when there is no "Qtag" there, the certificate in the
// blob (trust/signed_data_tag.h). A damaged block or a damaged certificate
// is none.
bool FindInstallerTag(const unsigned char* file, size_t size, FoundTag* tag);

// FindInstallerTag, with the data given out as ParseTagBlock gives it, as
// the program's tag extractor uses it. False for a null bufferSize.
bool ExtractTagFromBytes(const unsigned char* file, size_t size, char* buffer, int32_t* bufferSize);
