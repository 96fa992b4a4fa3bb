#pragma once
#include <windows.h>

#include <string>

// A file held open by another running process (the file_holder fixture)
// for as long as this object lives: shared for nothing, for reading only, or
// for everything (kAll: it can be deleted, but its name stays taken); or
// opened for reading only, shared for reading (kReader).
class HeldFile {
 public:
  enum class Share { kNone, kRead, kReader, kAll };
  HeldFile(const std::string& path, Share share);
  ~HeldFile();
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  // True once the holder has the file open.
  bool held() const { return held_; }
  // Lets go of the file and waits for the holder to end.
  void Release();

 private:
  HANDLE ready_ = nullptr;
  HANDLE release_ = nullptr;
  HANDLE process_ = nullptr;
  bool held_ = false;
};
