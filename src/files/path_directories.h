#pragma once

// Creates every directory named along path: each prefix that ends before a
// backslash, from left to right. The part after the last backslash is left
// alone, so a file path gets all its parents and a path ending in a
// backslash its last directory too. False for a null path or one that does
// not fit a 260-byte buffer; otherwise true, whatever the creations did.
bool CreatePathDirectories(const char* path);
