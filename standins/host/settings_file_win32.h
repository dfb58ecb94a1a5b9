// The stand-in's configuration store: one file holding the component's
// settings stream, handed to load_settings at start and replaced atomically by
// save_settings at exit.
#pragma once
#include "host/client_interface.h"

#include <atomic>
#include <stdexcept>
#include <string>

#include <windows.h>

// A failure of the host's own file I/O (not of the component's format).
class settings_file_error : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class file_handle {
public:
  explicit file_handle(HANDLE handle = INVALID_HANDLE_VALUE) noexcept : handle_(handle) {}
  file_handle(const file_handle&) = delete;
  file_handle& operator=(const file_handle&) = delete;
  ~file_handle() { close(); }
  HANDLE get() const noexcept { return handle_; }
  bool valid() const noexcept { return handle_ != INVALID_HANDLE_VALUE; }
  void close() noexcept {
    if (valid()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

private:
  HANDLE handle_;
};

class host_abort_handle final : public abort_handle {
public:
  bool abort_requested() override { return requested_.load(); }
  void request() noexcept { requested_.store(true); }

private:
  std::atomic<bool> requested_{false};
};

// Reads an open file from its current position. read_exact and skip_exact
// throw, with the player's "Unsupported format or corrupted file", when the
// file ends first.
class file_settings_reader final : public settings_reader {
public:
  explicit file_settings_reader(HANDLE file) noexcept : file_(file) {}
  std::uint32_t read_some(void* buffer, std::uint32_t count, abort_handle& abort) override;
  void read_exact(void* buffer, std::uint32_t count, abort_handle& abort) override;
  std::uint64_t skip_some(std::uint64_t count, abort_handle& abort) override;
  void skip_exact(std::uint64_t count, abort_handle& abort) override;

private:
  HANDLE file_;
};

class file_settings_writer final : public settings_writer {
public:
  explicit file_settings_writer(HANDLE file) noexcept : file_(file) {}
  void write_bytes(const void* data, std::uint32_t count, abort_handle& abort) override;

private:
  HANDLE file_;
};

enum class settings_load_result {
  loaded,       // the file was read whole (or there was none yet): save at exit
  set_aside,    // the component could not read it: kept under another name; save at exit
  not_readable, // the host could not read it: leave it alone and do not save over it
};

// Hands the file to the component's load_settings. Reports problems on stderr.
settings_load_result load_settings_file(component_client& client, const std::wstring& path, abort_handle& abort);

// Saves through the component's save_settings into a temporary file beside
// path, flushes it and moves it over path. On any failure the previous file
// stays as it was and the temporary is removed. Reports problems on stderr;
// returns whether the file was replaced. Temporaries that runs killed while
// saving left beside path are removed first.
bool save_settings_file(component_client& client, const std::wstring& path, abort_handle& abort);
