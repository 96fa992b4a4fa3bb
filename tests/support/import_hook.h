#pragma once

// Points this program's import of dll!function at replacement, so that calls
// from the program's own code (the product is linked into the test program)
// go there, and returns the address it held before; null when the program
// does not import that function. Calls from system DLLs are not affected.
void* ReplaceImport(const char* dll, const char* function, void* replacement);
