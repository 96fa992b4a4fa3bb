#pragma once
#include <windows.h>
#include <urlmon.h>

#include "download/download_request.h"

struct DownloadJob;

// The binding-status callback of one download: shows the progress in the
// request's dialog, carries the cancel request back to the platform and,
// for the download engine (job), keeps the binding so that the call can be
// aborted, notes when bytes arrive and stays off the request once the
// engine has left the thread behind. Built on the download thread's stack
// for the duration of the download call; it has no reference count and is
// never deleted through Release.
class BSCProgress : public IBindStatusCallback {
 public:
  explicit BSCProgress(DownloadRequest* request, DownloadJob* job = nullptr)
      : request_(request), job_(job) {}

  // Answers E_NOTIMPL for every interface, IUnknown included: the platform
  // needs none of this object's interfaces beyond the pointer it was given.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 0; }
  // Hands the binding to the engine, and answers E_NOTIMPL all the same.
  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding* binding) override;
  HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return E_NOTIMPL; }
  // E_ABORT once the request is cancelled (reported each time),
  // and silently once the engine aborts or has left the thread behind;
  // otherwise, when the total size is known, puts the percentage received on
  // control 1000 and as "N% complete" on control 1001 of the dialog. A
  // percentage the dialog shows already is not sent again: each update
  // crosses to the dialog's thread and back, and a download brings a
  // notification every few KiB.
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG maximum, ULONG statusCode,
                                       LPCWSTR statusText) override;
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return E_NOTIMPL; }

 private:
  HRESULT Notify(ULONG progress, ULONG maximum);

  DownloadRequest* request_;
  DownloadJob* job_;
  int shownPercent_ = -1;  // what this callback last put on the dialog
};

// The percentage of progress in maximum (both non-zero-checked by the
// caller), truncated toward zero, computed without overflow.
unsigned PercentComplete(ULONG progress, ULONG maximum);
