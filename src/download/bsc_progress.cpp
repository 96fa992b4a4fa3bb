#include "download/bsc_progress.h"

#include <commctrl.h>

#include "base/report.h"
#include "download/download_job.h"
#include "resources/resource_ids.h"

namespace {
constexpr size_t kPercentTextSize = 256;
}  // namespace

HRESULT STDMETHODCALLTYPE BSCProgress::QueryInterface(REFIID, void** object) {
  if (object) *object = nullptr;
  return E_NOTIMPL;
}

unsigned PercentComplete(ULONG progress, ULONG maximum) {
  return static_cast<unsigned>(static_cast<unsigned long long>(progress) * 100u / maximum);
}

HRESULT STDMETHODCALLTYPE BSCProgress::OnStartBinding(DWORD, IBinding* binding) {
  if (job_ && binding) KeepBinding(job_, binding);
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE BSCProgress::OnProgress(ULONG progress, ULONG maximum, ULONG, LPCWSTR) {
  if (job_ && !UseRequest(job_)) return E_ABORT;
  const HRESULT answer = Notify(progress, maximum);
  if (job_) ReleaseRequest(job_);
  return answer;
}

HRESULT BSCProgress::Notify(ULONG progress, ULONG maximum) {
  // First, at every notification.
  if (request_->cancel.load(std::memory_order_relaxed) == 1) {
    if (job_) job_->abortReported = true;
    ReportError("ABORT");
    return E_ABORT;
  }
  if (job_) {
    if (job_->stopRequested) return E_ABORT;
    NoteProgress(job_, progress);
  }
  if (maximum == 0) return S_OK;
  const unsigned percent = PercentComplete(progress, maximum);
  HWND dialog = request_->dialog;
  if (!dialog || static_cast<int>(percent) == shownPercent_) return S_OK;
  shownPercent_ = static_cast<int>(percent);
  // Sent across threads: the dialog's thread serves these also while it
  // waits for this thread to end (see the download dialog).
  SendDlgItemMessageA(dialog, IDC_DOWNLOAD_PROGRESS, PBM_SETPOS, percent, 0);
  char text[kPercentTextSize];
  FormatBoundedArgs(text, sizeof text, "%d%% complete", static_cast<int>(percent));
  SetDlgItemTextA(dialog, IDC_DOWNLOAD_PERCENT, text);
  return S_OK;
}
