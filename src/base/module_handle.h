#pragma once

// The program's own module as the walk hands it down to the actions, which
// read their embedded resources from it. The walk and the dispatch are
// portable and only pass it on.
#ifdef _WIN32
#include <windows.h>
using ModuleHandle = HMODULE;
#else
using ModuleHandle = void*;
#endif
