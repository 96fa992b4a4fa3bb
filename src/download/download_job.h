#pragma once
#include <windows.h>
#include <objbase.h>
#include <urlmon.h>

#include <atomic>

#include "download/download_request.h"

// What the caller of a download and its thread share (download_engine.cpp),
// and what BSCProgress does with it on the thread. Owned by both; the one
// that lets go last frees it, so that a thread left behind never touches
// freed memory, nor the caller's strings (it has copies).
struct DownloadJob {
  std::atomic<LONG> references;
  std::atomic<LONG> requestState;  // who may use the request (below)
  std::atomic<bool> stopRequested;  // the caller aborts; every notification answers E_ABORT
  std::atomic<bool> abortReported;  // a notification reported the cancel
  std::atomic<DWORD> lastByteTick;  // GetTickCount() at the start or when progress last moved
  ULONG bytesSeen;                  // the thread's alone
  std::atomic<IBinding*> binding;   // with a reference, once binding has started
  HRESULT result;
  HANDLE thread;
  DownloadRequest* request;
  decltype(&URLDownloadToFileA) download;
  decltype(&CoInitialize) comInitialize;  // null: no apartment of its own
  decltype(&CoUninitialize) comUninitialize;
  const char* address;  // copies, in the same block
  const char* target;
};

// The callback while it works on the request, nobody once the caller has
// left the thread behind.
enum : LONG { kRequestFree, kRequestInUse, kRequestLeft };

// On the download thread: false once the thread has been left behind;
// otherwise the request may be used until ReleaseRequest.
inline bool UseRequest(DownloadJob* job) {
  LONG expected = kRequestFree;
  return job->requestState.compare_exchange_strong(expected, kRequestInUse);
}
inline void ReleaseRequest(DownloadJob* job) { job->requestState = kRequestFree; }

inline void NoteProgress(DownloadJob* job, ULONG progress) {
  if (progress == job->bytesSeen) return;
  job->bytesSeen = progress;
  job->lastByteTick = GetTickCount();
}

// Keeps the binding (with a reference) for the caller to abort.
void KeepBinding(DownloadJob* job, IBinding* binding);
