#pragma once

// Ends the process with the non-continuable STATUS_NO_MEMORY exception; used
// where a conversion the program cannot do without failed to allocate.
[[noreturn]] void RaiseOutOfMemory();
