#pragma once
#include <cstddef>

// The payload's minimal markup reader. A tag is '<' name '>' (opening) or
// '</' name '>' (closing); the name is every byte up to the next '>', spaces
// and quotes included. No attributes, entities, comments or nesting depth.

enum TagKind { kTagMalformed = -1, kTagOpening = 1, kTagClosing = 2 };

// Size of a tag-name buffer; names have 1 to 259 characters.
constexpr size_t kTagNameSize = 260;

// Reads the tag whose '<' is at *cursor; limit is the number of bytes left in
// the region counted from the '<'. Fills name (kTagNameSize bytes, always
// terminated), moves *cursor past the tag's '>' and returns its kind. A tag
// whose '>' is not inside the region, or whose name reaches 260 characters,
// is malformed. No byte at or beyond cursor + limit is read.
int ReadTagName(const char** cursor, char* name, size_t limit);

// Flat search for the first opening tag called name in the length bytes from
// *cursor. 1: found, *cursor is just past its '>'; 0: none; -1: a malformed
// tag came first.
int FindOpenTag(const char** cursor, size_t length, const char* name);

// Copies the content of the first element called name in the region
// [start, start + length) into output, inner tags re-emitted as they stood and
// NUL, tab, line feed and carriage return dropped. Returns the offset from
// start to the first byte after the element's closing tag (always > 0), or -1.
// At most capacity - 1 characters are stored, always terminated; an element
// that is not closed within the region, or does not fit, prints why and
// leaves output empty. When no
// element is found, output is left exactly as it was.
int GetTagData(const char* name, const char* start, size_t length, char* output,
               size_t capacity);
