#pragma once
#include <windows.h>

// Downloads address into targetPath with the platform's synchronous URL
// download, and gives up after limitMs: the call runs on a thread of its own,
// and when it has not returned in time the binding is aborted, which ends it
// at once (E_ABORT) even when the server sends nothing at all. The result is
// the download call's (E_ABORT once the limit has passed).
//
// Nothing is left writing to targetPath once this returns: either the call
// has ended, or (should an abort not end it within a few seconds) the thread
// is left behind owning the file and deletes it when its call finally
// returns; notifications it still gets are answered with E_ABORT.
// Call on the main thread: it resolves the URL library from the table of
// system functions.
HRESULT DownloadWithin(const char* address, const char* targetPath, DWORD limitMs);
