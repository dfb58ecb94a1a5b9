// A kernel object's handle (an event, a section), closed when its owner goes.
// Declared without the platform's headers, so that the Winsock code can
// include them in the order it needs.
#pragma once

class owned_handle {
public:
  // handle: null when the platform call that made it failed.
  explicit owned_handle(void* handle) noexcept : handle_(handle) {}
  ~owned_handle();
  owned_handle(const owned_handle&) = delete;
  owned_handle& operator=(const owned_handle&) = delete;
  void* get() const noexcept { return handle_; }

private:
  void* handle_;
};
