#pragma once
#include <windows.h>

// Downloads address into targetPath with the download engine
// (download/download_engine.h), on a thread that initialises COM for itself,
// and gives up after limitMs: the binding is then aborted, which ends the
// call at once (E_ABORT) even when the server sends nothing at all. The
// result is the download call's (E_ABORT once the limit has passed). No
// report, no window.
//
// Nothing is left writing to targetPath once this returns: either the call
// has ended, or (should an abort not end it within the engine's grace) the
// thread is left behind owning the file and deletes it when its call
// finally returns. Call on the main thread.
HRESULT DownloadWithin(const char* address, const char* targetPath, DWORD limitMs);
