#include "download/bounded_download.h"

#include <urlmon.h>

#include <cstdlib>
#include <cstring>

#include "base/system_functions.h"

namespace {

// How long an abort may take to end the call before the thread is left
// behind (measured under Wine: about 15 ms).
constexpr DWORD kAbortGraceMs = 5000;
constexpr HRESULT kNoUrlLibrary = static_cast<HRESULT>(0x8007007E);  // from ERROR_MOD_NOT_FOUND

// Who deals with the target once the call has returned.
enum : LONG { kCallerWaits, kCallEnded, kHandedToThread };

// What the caller and the download thread share. Owned by both; the one
// that lets go last frees it, so an abandoned thread never touches freed
// memory, nor the caller's strings (it has copies).
struct Transfer {
  LONG references;
  LONG stopRequested;  // 1: every notification answers E_ABORT
  LONG owner;
  void* binding;       // IBinding*, with a reference, once binding starts
  decltype(&URLDownloadToFileA) download;
  decltype(&CoInitialize) comInitialize;  // resolved by the caller: the table is
  decltype(&CoUninitialize) comUninitialize;  // not filled from two threads
  char* address;
  char* target;
  HRESULT result;
};

void Free(Transfer* transfer) {
  free(transfer->address);
  free(transfer->target);
  free(transfer);
}

void Release(Transfer* transfer) {
  if (InterlockedDecrement(&transfer->references) == 0) Free(transfer);
}

Transfer* NewTransfer(decltype(&URLDownloadToFileA) download, const char* address,
                      const char* target) {
  Transfer* transfer = static_cast<Transfer*>(calloc(1, sizeof(Transfer)));
  if (!transfer) return nullptr;
  transfer->references = 2;
  transfer->owner = kCallerWaits;
  transfer->download = download;
  transfer->result = E_FAIL;
  transfer->address = _strdup(address);
  transfer->target = _strdup(target);
  if (!transfer->address || !transfer->target) {
    Free(transfer);
    return nullptr;
  }
  return transfer;
}

// Takes the binding's reference out of the transfer: the caller to abort
// it, or the thread to let go of it; only one of them gets it.
IBinding* TakeBinding(Transfer* transfer) {
  return static_cast<IBinding*>(InterlockedExchangePointer(&transfer->binding, nullptr));
}

bool StopRequested(Transfer* transfer) {
  return InterlockedCompareExchange(&transfer->stopRequested, 0, 0) != 0;
}

// Keeps the binding so that the caller can abort it, and refuses to go on
// once the caller has asked to stop. Lives on the thread's stack for the
// call; no reference counting.
class AbortableCallback : public IBindStatusCallback {
 public:
  explicit AbortableCallback(Transfer* transfer) : transfer_(transfer) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IBindStatusCallback) {
      *object = static_cast<IBindStatusCallback*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding* binding) override {
    if (StopRequested(transfer_)) return E_ABORT;
    if (binding) {
      binding->AddRef();
      IBinding* previous = static_cast<IBinding*>(
          InterlockedExchangePointer(&transfer_->binding, binding));
      if (previous) previous->Release();
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override {
    return StopRequested(transfer_) ? E_ABORT : S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

 private:
  Transfer* transfer_;
};

DWORD WINAPI TransferThread(LPVOID parameter) {
  Transfer* transfer = static_cast<Transfer*>(parameter);
  // The URL library binds in this thread's own apartment.
  const HRESULT com = transfer->comInitialize(nullptr);
  {
    AbortableCallback callback(transfer);
    transfer->result =
        transfer->download(nullptr, transfer->address, transfer->target, 0, &callback);
  }
  if (IBinding* binding = TakeBinding(transfer)) binding->Release();
  if (SUCCEEDED(com)) transfer->comUninitialize();
  // Left behind by a caller that could wait no longer: what the call wrote
  // is this thread's to remove.
  if (InterlockedCompareExchange(&transfer->owner, kCallEnded, kCallerWaits) == kHandedToThread)
    DeleteFileA(transfer->target);
  Release(transfer);
  return 0;
}

void RequestStop(Transfer* transfer) {
  InterlockedExchange(&transfer->stopRequested, 1);
  if (IBinding* binding = TakeBinding(transfer)) {
    binding->Abort();
    binding->Release();
  }
}

}  // namespace

HRESULT DownloadWithin(const char* address, const char* targetPath, DWORD limitMs) {
  auto download = GetSystemFunction<SystemFunction::kURLDownloadToFileA>();
  auto comInitialize = GetSystemFunction<SystemFunction::kCoInitialize>();
  auto comUninitialize = GetSystemFunction<SystemFunction::kCoUninitialize>();
  if (!download || !comInitialize || !comUninitialize) return kNoUrlLibrary;
  Transfer* transfer = NewTransfer(download, address, targetPath);
  if (!transfer) return E_OUTOFMEMORY;
  transfer->comInitialize = comInitialize;
  transfer->comUninitialize = comUninitialize;
  HANDLE thread = CreateThread(nullptr, 0, TransferThread, transfer, 0, nullptr);
  if (!thread) {
    const HRESULT failure = HRESULT_FROM_WIN32(GetLastError());
    Free(transfer);
    return failure;
  }
  if (WaitForSingleObject(thread, limitMs) != WAIT_OBJECT_0) {
    RequestStop(transfer);
    if (WaitForSingleObject(thread, kAbortGraceMs) != WAIT_OBJECT_0 &&
        InterlockedCompareExchange(&transfer->owner, kHandedToThread, kCallerWaits) ==
            kCallerWaits) {
      CloseHandle(thread);
      Release(transfer);
      return E_ABORT;
    }
    // The call has ended; the thread is on its way out.
    WaitForSingleObject(thread, INFINITE);
  }
  const HRESULT result = transfer->result;
  CloseHandle(thread);
  Release(transfer);
  return result;
}
