#pragma once
#include <string>
#include <vector>

// Collects every message passed to ReportError (and every PrintText line)
// while it lives. One at a time; not thread-safe beyond what the product needs.
class ReportCapture {
 public:
  ReportCapture();
  ~ReportCapture();
  ReportCapture(const ReportCapture&) = delete;
  ReportCapture& operator=(const ReportCapture&) = delete;

  const std::vector<std::string>& errors() const;
  const std::vector<std::string>& printed() const;
  void Clear();
};
