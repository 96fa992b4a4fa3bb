#pragma once
#include <windows.h>

#include "download/download_request.h"

// The one way this program downloads: the platform's synchronous URL
// download on a thread of its own, with a BSCProgress for the request that
// keeps the binding the platform hands it, so that the caller can abort the
// call whenever it must: at the user's cancel, when no byte has arrived for
// kDownloadStallLimitMs, or at a limit of the caller's. An aborted call ends
// at once (E_ABORT) even when the server sends nothing at all.
//
// Should an aborted call not end within kDownloadAbortGraceMs, the thread is
// left behind, cut off from the request (it touches neither the request nor
// its dialog again and answers every notification with E_ABORT), owning the
// target, which it deletes when its call returns; the result is then
// E_ABORT. (Wine's WinINet, for one, reads on through a body with a
// Content-Length that keeps arriving before it lets an aborted call end.)

constexpr DWORD kDownloadStallLimitMs = 60000;
constexpr DWORD kDownloadAbortGraceMs = 10000;

struct DownloadJob;

// Why a download could not start.
struct DownloadStartFailure {
  HRESULT result;         // what the download reports as its result
  bool threadNotCreated;  // CreateThread failed, with error
  DWORD error;
};

// Starts request's download; request must stay alive until it is finished.
// ownApartment: the thread initialises COM for itself (and uninitialises it
// after its call); otherwise it calls without. An empty target is refused
// (E_INVALIDARG): Wine's URL library reports success for one, though no file
// was asked for. Null, with *failure filled, when it could not start. Call
// on the main thread: it resolves the URL library from the table of system
// functions.
DownloadJob* StartDownload(DownloadRequest* request, bool ownApartment,
                           DownloadStartFailure* failure);

// Without waiting: whether the download call has returned (also when the
// thread cannot be waited for) or no byte has arrived for the stall limit,
// so that the download is to be finished.
bool DownloadEndedOrStalled(const DownloadJob* job);

// Finishes the download: a call that has not ended is aborted and waited for
// during the grace, then left behind. Meanwhile it serves the messages that
// other threads send to this one (a progress update of the download thread
// may be waiting for this thread), and only those. A cancelled download
// whose call ended without a notification having reported the cancel
// reports the cancel here, once, so that every cancel is reported before its
// failure. Returns the call's result; job is freed.
HRESULT FinishDownload(DownloadJob* job);

// Waits until the call ends, no byte has arrived for the stall limit, or
// limitMs (INFINITE: none) has passed, then finishes the download as above.
HRESULT AwaitDownload(DownloadJob* job, DWORD limitMs);

// Test seam, never called by the product: the stall limit and the grace.
void SetDownloadTimingForTesting(DWORD stallLimitMs, DWORD abortGraceMs);
