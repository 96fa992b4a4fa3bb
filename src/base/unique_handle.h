#pragma once
#include <windows.h>

// Owns one kernel handle (file, process, thread, event, mutex, snapshot,
// mapping) and closes it when it goes out of scope, so that every early
// return releases it. Null and INVALID_HANDLE_VALUE both mean "none": the
// platform reports failure with one or the other depending on the call.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() { Close(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  explicit operator bool() const { return valid(); }

  // Gives the handle up without closing it.
  HANDLE release() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  void reset(HANDLE handle = nullptr) {
    Close();
    handle_ = handle;
  }
  // Closes the handle now. False when CloseHandle failed (GetLastError()
  // tells why); holding none counts as closed.
  bool Close() {
    HANDLE handle = release();
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return true;
    return CloseHandle(handle) != FALSE;
  }
  // The slot for a call that returns its handle through a pointer.
  HANDLE* receive() {
    reset();
    return &handle_;
  }

 private:
  HANDLE handle_ = nullptr;
};
