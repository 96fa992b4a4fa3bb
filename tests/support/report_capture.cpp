#include "report_capture.h"

#include "base/report.h"

namespace {
std::vector<std::string> gErrors;
std::vector<std::string> gPrinted;
void OnError(const char* text) { gErrors.emplace_back(text); }
void OnPrint(const char* text) { gPrinted.emplace_back(text); }
}  // namespace

ReportCapture::ReportCapture() {
  Clear();
  SetReportObserver(OnError);
  SetPrintObserver(OnPrint);
}

ReportCapture::~ReportCapture() {
  SetReportObserver(nullptr);
  SetPrintObserver(nullptr);
}

const std::vector<std::string>& ReportCapture::errors() const { return gErrors; }
const std::vector<std::string>& ReportCapture::printed() const { return gPrinted; }

void ReportCapture::Clear() {
  gErrors.clear();
  gPrinted.clear();
}
