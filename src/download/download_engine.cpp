#include "download/download_engine.h"

#include <cstdlib>
#include <cstring>

#include "base/report.h"
#include "base/system_functions.h"
#include "base/unique_handle.h"
#include "download/bsc_progress.h"
#include "download/download_job.h"

namespace {

struct Timing {
  DWORD stallLimitMs;
  DWORD abortGraceMs;
};
Timing sTiming = {kDownloadStallLimitMs, kDownloadAbortGraceMs};

void Release(DownloadJob* job) {
  if (--job->references == 0) free(job);
}

// Takes the binding's reference out of the job: the caller to abort it, or
// the thread to let go of it; only one of them gets it.
IBinding* TakeBinding(DownloadJob* job) { return job->binding.exchange(nullptr); }

void AbortBinding(DownloadJob* job) {
  if (IBinding* binding = TakeBinding(job)) {
    binding->Abort();
    binding->Release();
  }
}

DWORD WINAPI DownloadThread(LPVOID parameter) {
  DownloadJob* job = static_cast<DownloadJob*>(parameter);
  const HRESULT com = job->comInitialize ? job->comInitialize(nullptr) : E_FAIL;
  {
    BSCProgress callback(job->request, job);
    job->result = job->download(nullptr, job->address, job->target, 0, &callback);
  }
  if (IBinding* binding = TakeBinding(job)) binding->Release();
  if (SUCCEEDED(com)) job->comUninitialize();
  // Left behind by a caller that could wait no longer: what the call wrote
  // is this thread's to remove.
  if (job->requestState == kRequestLeft) DeleteFileA(job->target);
  Release(job);
  return 0;
}

// Waits at most timeoutMs (not INFINITE) for thread to end while serving the
// messages that other threads send to this one, and only those: the download
// thread may be in the middle of sending a progress update to a dialog of
// this thread, which only this thread can deliver, and a plain wait would
// then block both threads for good. Posted messages (timer, input) wait in
// the queue.
DWORD WaitServingSentMessages(HANDLE thread, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    const DWORD elapsed = GetTickCount() - start;
    const DWORD left = elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;
    const DWORD wait = MsgWaitForMultipleObjects(1, &thread, FALSE, left, QS_SENDMESSAGE);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_TIMEOUT) return wait;
    if (wait != WAIT_OBJECT_0 + 1) {
      ReportError("WaitForSingleObject failed, GetLastError()=%d", static_cast<int>(GetLastError()));
      return WAIT_FAILED;
    }
  }
}

// Cuts the thread off from the request. The callback may be using it right
// now, perhaps sending an update to this thread: serve that and try again.
void LeaveBehind(DownloadJob* job) {
  for (LONG expected = kRequestFree;
       !job->requestState.compare_exchange_strong(expected, kRequestLeft); expected = kRequestFree)
    WaitServingSentMessages(job->thread, 1);
}

// The job with copies of the request's address and target after it.
DownloadJob* NewJob(DownloadRequest* request) {
  const char* address = request->address ? request->address : "";
  const size_t addressSize = strlen(address) + 1;
  const size_t targetSize = strlen(request->targetPath) + 1;
  DownloadJob* job =
      static_cast<DownloadJob*>(calloc(1, sizeof(DownloadJob) + addressSize + targetSize));
  if (!job) return nullptr;
  char* copies = reinterpret_cast<char*>(job + 1);
  job->address = static_cast<const char*>(memcpy(copies, address, addressSize));
  job->target =
      static_cast<const char*>(memcpy(copies + addressSize, request->targetPath, targetSize));
  job->references = 2;
  job->request = request;
  job->lastByteTick = GetTickCount();
  return job;
}

}  // namespace

DownloadJob* StartDownload(DownloadRequest* request, bool ownApartment,
                           DownloadStartFailure* failure) {
  failure->threadNotCreated = false;
  failure->result = E_INVALIDARG;
  if (!request->targetPath || !request->targetPath[0]) return nullptr;
  failure->result = kSystemLibraryMissing;
  const auto download = GetSystemFunction<SystemFunction::kURLDownloadToFileA>();
  // Resolved here: the table is not filled from two threads.
  const auto comInitialize =
      ownApartment ? GetSystemFunction<SystemFunction::kCoInitialize>() : nullptr;
  const auto comUninitialize =
      ownApartment ? GetSystemFunction<SystemFunction::kCoUninitialize>() : nullptr;
  if (!download || (ownApartment && (!comInitialize || !comUninitialize))) return nullptr;
  failure->result = E_OUTOFMEMORY;
  DownloadJob* job = NewJob(request);
  if (!job) return nullptr;
  job->download = download;
  job->comInitialize = comInitialize;
  job->comUninitialize = comUninitialize;
  job->thread = CreateThread(nullptr, 0, DownloadThread, job, 0, nullptr);
  if (job->thread) return job;
  const DWORD error = GetLastError();
  failure->threadNotCreated = true;
  failure->error = error;
  // Never S_OK: that would read as a download made.
  failure->result = error ? HRESULT_FROM_WIN32(error) : E_FAIL;
  free(job);
  return nullptr;
}

// A thread that cannot be waited for counts as ended, and the dialog then
// finishes the download as if the wait had succeeded, unlike the status
// window, which simply ends: the dialog owes its caller the download's result
// and the job's release, and finishing is what aborts a call still running.
bool DownloadEndedOrStalled(const DownloadJob* job) {
  return WaitForSingleObject(job->thread, 0) != WAIT_TIMEOUT ||
         GetTickCount() - job->lastByteTick >= sTiming.stallLimitMs;
}

HRESULT FinishDownload(DownloadJob* job) {
  const UniqueHandle thread(job->thread);  // closed once the job is let go of
  bool ended = WaitForSingleObject(job->thread, 0) == WAIT_OBJECT_0;
  if (!ended) {
    job->stopRequested = true;
    AbortBinding(job);
    ended = WaitServingSentMessages(job->thread, sTiming.abortGraceMs) == WAIT_OBJECT_0;
    if (!ended) LeaveBehind(job);
  }
  const HRESULT result = ended ? job->result : E_ABORT;
  if (result == E_ABORT && job->request->cancel.load(std::memory_order_relaxed) == 1 &&
      !job->abortReported)
    ReportError("ABORT");
  Release(job);
  return result;
}

HRESULT AwaitDownload(DownloadJob* job, DWORD limitMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD now = GetTickCount();
    const DWORD quiet = now - job->lastByteTick;
    const DWORD elapsed = now - start;  // never reaches INFINITE
    if (quiet >= sTiming.stallLimitMs || elapsed >= limitMs) break;
    const DWORD untilStall = sTiming.stallLimitMs - quiet;
    const DWORD untilLimit = limitMs - elapsed;
    if (WaitServingSentMessages(job->thread, untilStall < untilLimit ? untilStall : untilLimit) !=
        WAIT_TIMEOUT)
      break;
  }
  return FinishDownload(job);
}

void SetDownloadTimingForTesting(DWORD stallLimitMs, DWORD abortGraceMs) {
  sTiming = Timing{stallLimitMs, abortGraceMs};
}

void KeepBinding(DownloadJob* job, IBinding* binding) {
  binding->AddRef();
  if (IBinding* previous = job->binding.exchange(binding)) previous->Release();
  // A stop asked for before the binding was there: whoever takes the
  // binding out aborts it.
  if (job->stopRequested) AbortBinding(job);
}

