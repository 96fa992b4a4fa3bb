#pragma once
// Helpers of the portable core's tests (the native build has no test_support).
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/report.h"

// Records every ReportError message and every PrintText line, in order, while
// it lives.
class ReportLog {
 public:
  ReportLog() {
    Errors().clear();
    Printed().clear();
    SetReportObserver(OnError);
    SetPrintObserver(OnPrint);
  }
  ~ReportLog() {
    SetReportObserver(nullptr);
    SetPrintObserver(nullptr);
  }
  ReportLog(const ReportLog&) = delete;
  ReportLog& operator=(const ReportLog&) = delete;

  const std::vector<std::string>& errors() const { return Errors(); }
  const std::vector<std::string>& printed() const { return Printed(); }

 private:
  static std::vector<std::string>& Errors() {
    static std::vector<std::string> errors;
    return errors;
  }
  static std::vector<std::string>& Printed() {
    static std::vector<std::string> printed;
    return printed;
  }
  static void OnError(const char* text) { Errors().emplace_back(text); }
  static void OnPrint(const char* text) { Printed().emplace_back(text); }
};

// Exactly size bytes on the heap with no terminator after them, so that the
// sanitizers catch any read or write beyond the region.
class ExactBytes {
 public:
  explicit ExactBytes(const std::string& text) : ExactBytes(text.size()) {
    if (!text.empty()) memcpy(data_.get(), text.data(), text.size());
  }
  ExactBytes(size_t size, char fill) : ExactBytes(size) {
    if (size) memset(data_.get(), fill, size);
  }
  char* data() { return data_.get(); }
  // The bytes as the fixed array a function takes by reference (size is N).
  template <size_t N>
  char (&array())[N] {
    return *reinterpret_cast<char(*)[N]>(data_.get());
  }
  size_t size() const { return size_; }
  std::string str() const { return std::string(data_.get(), size_); }

 private:
  explicit ExactBytes(size_t size) : data_(new char[size]), size_(size) {}
  std::unique_ptr<char[]> data_;
  size_t size_;
};

// A table row's text as it appears in test names: printable, one line, short.
inline std::string Printable(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  if (text.empty()) return "(empty)";
  const std::string head = text.size() > 40 ? text.substr(0, 24) : text;
  std::string shown;
  for (size_t i = 0; i < head.size(); ++i) {
    const char c = head[i];
    const unsigned char u = static_cast<unsigned char>(c);
    // Blanks at either end would be lost from a test name.
    const bool edgeBlank = c == ' ' && (i == 0 || i + 1 == head.size());
    if (u >= 0x20 && u < 0x7F && c != '\\' && !edgeBlank) {
      shown.push_back(c);
    } else {
      shown += "\\x";
      shown.push_back(kHex[u >> 4]);
      shown.push_back(kHex[u & 15]);
    }
  }
  if (text.size() > 40) shown += "...(" + std::to_string(text.size()) + " bytes)";
  return shown;
}
