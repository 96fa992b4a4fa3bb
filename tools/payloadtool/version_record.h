#pragma once
#include <cstdio>
#include <string>

class ResourceImage;

// The numbers of a program's version record (VS_FIXEDFILEINFO of resource
// type 16, name 1), as "a.b.c.d".
struct VersionNumbers {
  std::string file;
  std::string product;
};

// False when the program has no version record, or one too short or without
// the fixed part's signature to be read.
bool ReadVersionNumbers(const ResourceImage& image, VersionNumbers* numbers);

// show's line: "version: 2.0.0.1" (", product 2.1" when that differs), or
// "version: none".
void PrintVersionLine(const ResourceImage& image, FILE* out);
