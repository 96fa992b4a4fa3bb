#pragma once
#include <string>
#include <vector>

// A fresh directory under the temporary directory, removed with everything
// in it when destroyed. path() ends with a backslash.
class ScratchDir {
 public:
  explicit ScratchDir(const char* tag = "t");
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Whole-file helpers for tests.
bool WriteWholeFile(const std::string& path, const std::string& bytes);
bool ReadWholeFile(const std::string& path, std::string* bytes);
bool FileExists(const std::string& path);
void RemoveTree(const std::string& directory);

// The names in a directory (path ends with a backslash), sorted; "." and ".."
// left out, and directories too when filesOnly.
std::vector<std::string> ListDirectory(const std::string& directory, bool filesOnly = false);
