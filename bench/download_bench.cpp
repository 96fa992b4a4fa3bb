// Download benchmark, under Wine with a display:
//   1. a 100 MiB download from the loopback server behind the download dialog,
//      hidden (Downloader on this thread) and with a plain URLDownloadToFileA
//      without a callback, the three in turn for REPS rounds;
//   2. the time from a cancel to the dialog's end against a server that says
//      nothing (no answer at all, or nothing after the head of a body with
//      or without a Content-Length) and one that keeps sending (with a
//      Content-Length and without);
//   3. the publisher check of a file accepted on pass 1, one accepted on
//      pass 5, and an unsigned one.
//
//   download_bench [REPS [PART...]]   (REPS default 7, one unreported warm-up
//                                     first; PARTs: throughput, cancel,
//                                     publisher; default all three)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/system_functions.h"
#include "dialog_windows.h"
#include "download/download_dialog.h"
#include "download/downloader.h"
#include "loopback_server.h"
#include "process.h"
#include "resources/resource_ids.h"
#include "scratch_dir.h"
#include "state/process_state.h"
#include "trust/publisher_check.h"

namespace {

constexpr unsigned long long kBodyBytes = 100ull << 20;

double NowMs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

struct Figures {
  std::vector<double> samples;
  double best() const { return *std::min_element(samples.begin(), samples.end()); }
  double median() const {
    std::vector<double> sorted = samples;
    std::sort(sorted.begin(), sorted.end());
    const size_t n = sorted.size();
    return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
  }
};

HWND WaitForDialog() {
  HWND dialog = nullptr;
  WaitFor([&] {
    return (dialog = FindDialog(GetCurrentProcessId(), IDC_DOWNLOAD_PROGRESS)) != nullptr;
  });
  return dialog;
}

// The dialog for url into target; driver, when given, runs on its own thread
// with the dialog window. The dialog's result.
INT_PTR ShowDialog(const std::string& url, const std::string& target,
                   const std::function<void(HWND)>& driver) {
  DownloadRequest request{url.c_str(), target.c_str(), "Benchmark", "Downloading...", nullptr, {0},
                          nullptr};
  std::thread drive;
  if (driver) drive = std::thread([&] {
    HWND dialog = WaitForDialog();
    if (dialog) driver(dialog);
  });
  const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_DOWNLOAD), nullptr,
                                         DownloadDlgProc, reinterpret_cast<LPARAM>(&request));
  if (drive.joinable()) drive.join();
  return result;
}

bool Download(int mode, const std::string& url, const std::string& target) {
  switch (mode) {
    case 0: {  // behind the dialog
      return ShowDialog(url, target, nullptr) == 0;
    }
    case 1: {  // hidden
      DownloadRequest request{url.c_str(), target.c_str(), "", "", nullptr, {0}, nullptr};
      return Downloader(&request) == 0;
    }
    default:  // the platform alone, no callback
      return GetSystemFunction<SystemFunction::kURLDownloadToFileA>()(nullptr, url.c_str(), target.c_str(), 0, nullptr) == S_OK;
  }
}

void Throughput(LoopbackServer& server, const std::string& target, int reps) {
  const char* const labels[] = {"dialog", "hidden", "plain URLDownloadToFileA"};
  Figures figures[3];
  for (int round = -1; round < reps; ++round) {
    // Each round starts with another mode, so that no mode always follows
    // the same one.
    for (int step = 0; step < 3; ++step) {
      const int mode = (step + round + 3) % 3;
      const std::string url = server.Url("/body?size=" + std::to_string(kBodyBytes) + "&r=" +
                                         std::to_string(round) + "_" + std::to_string(mode));
      const double start = NowMs();
      const bool ok = Download(mode, url, target);
      const double elapsed = NowMs() - start;
      DeleteFileA(target.c_str());
      if (!ok) {
        printf("  %s: download failed\n", labels[mode]);
        continue;
      }
      if (round >= 0) figures[mode].samples.push_back(elapsed);
    }
  }
  printf("100 MiB from the loopback server, %d rounds (best / median):\n", reps);
  for (int mode = 0; mode < 3; ++mode) {
    if (figures[mode].samples.empty()) continue;
    printf("  %-26s %7.1f / %7.1f ms   %6.1f / %6.1f MiB/s\n", labels[mode], figures[mode].best(),
           figures[mode].median(), 100000.0 / figures[mode].best(),
           100000.0 / figures[mode].median());
  }
  if (!figures[0].samples.empty() && !figures[2].samples.empty())
    printf("  the dialog costs %+.1f %% (best) / %+.1f %% (median) against the plain call\n",
           (figures[0].best() / figures[2].best() - 1) * 100,
           (figures[0].median() / figures[2].median() - 1) * 100);
}

// Cancels the dialog for path on server once the server has logged the
// request (and, for a body that keeps coming, 200 ms more): the time from
// the cancel to the dialog's end, or a negative value when the dialog was
// still open capMs after the cancel (the server is then stopped, which ends
// the download).
double CancelToClosed(LoopbackServer& server, const std::string& path, bool sending,
                      const std::string& target, DWORD capMs) {
  double cancelledAt = 0;
  bool capped = false;
  const INT_PTR result = ShowDialog(server.Url(path), target, [&](HWND dialog) {
    server.WaitForLine("GET " + path);
    if (sending) Sleep(200);  // well under way
    cancelledAt = NowMs();
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    if (!WaitFor([&] { return !IsWindow(dialog); }, capMs)) {
      capped = true;
      server.Stop();
    }
  });
  const double elapsed = NowMs() - cancelledAt;
  DeleteFileA(target.c_str());
  if (capped) return -1;
  return result == -1 ? elapsed : -2;
}

void CancelLatency(const std::string& target, int reps) {
  // Each round has a server of its own: a held body stays held, and stopping
  // the server ends a dialog that does not end.
  const struct {
    const char* label;
    const char* path;
    bool sending;
  } cases[] = {
      {"silent: no answer at all", "/silent", false},
      {"silent after a head with a Content-Length", "/body?size=1000000&hold=0", false},
      {"silent after a head without one", "/body?size=1000000&hold=0&length=0", false},
      {"sending, with a Content-Length", "/flood", true},
      {"sending, without a Content-Length", "/flood?length=0", true},
  };
  const DWORD capMs = 3000;
  printf("from a cancel to the dialog's end, %d rounds (a dialog still open %lu ms after the\n"
         "cancel is ended by stopping the server and not counted):\n",
         reps, static_cast<unsigned long>(capMs));
  for (const auto& c : cases) {
    Figures figures;
    int capped = 0, failures = 0;
    for (int round = -1; round < reps; ++round) {
      const std::string path = std::string(c.path) + (strchr(c.path, '?') ? "&" : "?") + "r=" +
                               std::to_string(round);
      LoopbackServer server;
      const double elapsed =
          server.running() ? CancelToClosed(server, path, c.sending, target, capMs) : -2;
      if (round < 0) continue;
      if (elapsed == -1) ++capped;
      else if (elapsed < 0) ++failures;
      else figures.samples.push_back(elapsed);
    }
    printf("  %-44s", c.label);
    if (!figures.samples.empty())
      printf(" best %7.1f ms, median %7.1f ms, worst %7.1f ms", figures.best(), figures.median(),
             *std::max_element(figures.samples.begin(), figures.samples.end()));
    if (capped) printf(" still open after %lu ms in %d of %d", static_cast<unsigned long>(capMs),
                       capped, reps);
    if (failures) printf(" (%d did not end with -1)", failures);
    printf("\n");
  }
}

void PublisherCheck(int reps) {
  const struct {
    const char* label;
    const char* file;
  } files[] = {{"accepted on pass 1 (Korvex Inc.)", "korvex_period.exe"},
               {"accepted on pass 5 (Tessaly...)", "tessaly.exe"},
               {"unsigned (rejected after 5)", "unsigned.exe"}};
  printf("publisher check, %d rounds:\n", reps * 3);
  for (const auto& file : files) {
    const std::string path = ModuleDirectory() + "signed\\" + file.file;
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    Figures figures;
    int pass = 0;
    for (int round = -1; round < reps * 3; ++round) {
      const double start = NowMs();
      pass = AcceptedPublisherPass(path.c_str());
      if (round >= 0) figures.samples.push_back(NowMs() - start);
    }
    printf("  %-34s %lu bytes, pass %d: best %6.2f ms, median %6.2f ms\n", file.label,
           data.nFileSizeLow, pass, figures.best(), figures.median());
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int reps = argc > 1 ? std::max(1, atoi(argv[1])) : 7;
  if (!RegisterProgressClass() || !GetSystemFunction<SystemFunction::kURLDownloadToFileA>()) {
    printf("no progress bar class or URL library\n");
    return 1;
  }
  LoopbackServer server(std::string(), 3600);
  if (!server.running()) {
    printf("the loopback server did not start\n");
    return 1;
  }
  ScratchDir dir("bench");
  const std::string target = dir.path() + "download.bin";
  const auto selected = [&](const char* part) {
    if (argc <= 2) return true;
    for (int i = 2; i < argc; ++i)
      if (strcmp(argv[i], part) == 0) return true;
    return false;
  };
  if (selected("throughput")) Throughput(server, target, reps);
  if (selected("cancel")) CancelLatency(target, reps);
  if (selected("publisher")) PublisherCheck(reps);
  return 0;
}
