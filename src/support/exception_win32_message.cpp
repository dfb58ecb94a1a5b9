#include "support/exception_win32.h"
#include "support/pfc/string8.h"
#include "support/short_text_buffer.h"

#include <cstring>

namespace {

const win32_error_system* g_active = nullptr;

// The last-error value belongs to whoever failed before us: formatting a
// message must not change it, whichever way the formatting ends.
class last_error_preserver {
public:
  explicit last_error_preserver(const win32_error_system& system) noexcept
      : system_(system), saved_(system.get_last_error()) {}
  ~last_error_preserver() { system_.set_last_error(saved_); }
  last_error_preserver(const last_error_preserver&) = delete;
  last_error_preserver& operator=(const last_error_preserver&) = delete;

private:
  const win32_error_system& system_;
  std::uint32_t saved_;
};

class call_stack_entry {
public:
  call_stack_entry(const win32_error_system& system, const char* text) noexcept : system_(system) {
    system_.enter_call_stack(slot_, text);
  }
  ~call_stack_entry() { system_.leave_call_stack(slot_); }
  call_stack_entry(const call_stack_entry&) = delete;
  call_stack_entry& operator=(const call_stack_entry&) = delete;

private:
  const win32_error_system& system_;
  alignas(4) unsigned char slot_[4];
};

char* copy_text(const char* text) {
  const std::size_t bytes = std::strlen(text) + 1;
  void* block = pfc::mem_realloc(nullptr, bytes);
  if (block == nullptr) pfc::throw_bad_alloc();
  std::memcpy(block, text, bytes);
  return static_cast<char*>(block);
}

void build_message(pfc::string_base& text, std::uint32_t code, const win32_error_system& system) {
  last_error_preserver preserve(system);
  if (code == 0) {
    text.assign_text("Undefined error", pfc::infinite_length);
    return;
  }
  if (system.format_message(text, code)) return;
  char digits[64];
  text.append_text("Unknown error code (", pfc::infinite_length);
  text.append_text(pfc::format_decimal(digits, code), pfc::infinite_length);
  text.append_text(")", pfc::infinite_length);
}

} // namespace

const win32_error_system& active_win32_error_system() noexcept {
  return g_active != nullptr ? *g_active : default_win32_error_system();
}

scoped_win32_error_system::scoped_win32_error_system(const win32_error_system& replacement) noexcept
    : previous_(g_active) {
  g_active = &replacement;
}

scoped_win32_error_system::~scoped_win32_error_system() { g_active = previous_; }

exception_win32::exception_win32(std::uint32_t error_code) : code(error_code), message_(nullptr) {
  pfc::string8 text;
  build_message(text, error_code, active_win32_error_system());
  message_ = copy_text(text.text_ptr());
}

exception_win32::exception_win32(const exception_win32& other)
    : std::exception(other), code(other.code), message_(copy_text(other.message_)) {}

exception_win32& exception_win32::operator=(const exception_win32& other) {
  if (this != &other) {
    char* fresh = copy_text(other.message_);
    pfc::mem_realloc(message_, 0);
    message_ = fresh;
    code = other.code;
  }
  return *this;
}

exception_win32::~exception_win32() { pfc::mem_realloc(message_, 0); }

void raise_last_win32_error() {
  const win32_error_system& system = active_win32_error_system();
  const std::uint32_t code = system.get_last_error();
  short_text_buffer where; // 13 + at most 10 digits: always fits
  char digits[64];
  where.append_text("Win32 error #", pfc::infinite_length);
  where.append_text(pfc::format_decimal(digits, code), pfc::infinite_length);
  call_stack_entry entry(system, where.text_ptr());
  throw exception_win32(code);
}
