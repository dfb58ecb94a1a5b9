#include "support/exception_win32.h"
#include "support/pfc/exceptions.h"
#include "support/pfc/memory.h"
#include "support/pfc/string8.h"
#include "support/short_text_buffer.h"
#include "support/win32_error_platform.h"

#include <atomic>
#include <cstring>
#include <new>

// One block: the count, then the text. Copies of an exception may be made and
// dropped on other threads (std::exception_ptr), so the count is atomic.
struct exception_win32::shared_message {
  explicit shared_message() noexcept : references(1) {}
  std::atomic<std::uint32_t> references;
  const char* text() const noexcept { return reinterpret_cast<const char*>(this + 1); }
  void release() noexcept {
    if (references.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    this->~shared_message();
    pfc::mem_realloc(this, 0);
  }
};

namespace {

static_assert(std::atomic<std::uint32_t>::is_always_lock_free, "a copy must never need a lock");

// The last-error value belongs to whoever failed before us: formatting a
// message must not change it, whichever way the formatting ends.
class last_error_preserver {
public:
  last_error_preserver() noexcept : saved_(win32_error_platform::last_error()) {}
  ~last_error_preserver() { win32_error_platform::set_last_error(saved_); }
  last_error_preserver(const last_error_preserver&) = delete;
  last_error_preserver& operator=(const last_error_preserver&) = delete;

private:
  std::uint32_t saved_;
};

class call_stack_entry {
public:
  explicit call_stack_entry(const char* text) noexcept { win32_error_platform::enter_call_stack(slot_, text); }
  ~call_stack_entry() { win32_error_platform::leave_call_stack(slot_); }
  call_stack_entry(const call_stack_entry&) = delete;
  call_stack_entry& operator=(const call_stack_entry&) = delete;

private:
  alignas(4) unsigned char slot_[4];
};

void build_message(pfc::string_base& text, std::uint32_t code) {
  last_error_preserver preserve;
  if (code == 0) {
    text.assign_text("Undefined error", pfc::infinite_length);
    return;
  }
  if (win32_error_platform::format_message(text, code)) return;
  char digits[64];
  text.append_text("Unknown error code (", pfc::infinite_length);
  text.append_text(pfc::format_decimal(digits, code), pfc::infinite_length);
  text.append_text(")", pfc::infinite_length);
}

} // namespace

exception_win32::exception_win32(std::uint32_t error_code) : code(error_code), message_(nullptr) {
  pfc::string8 text;
  build_message(text, error_code);
  const std::size_t bytes = text.text_length() + std::size_t{1};
  void* block = pfc::mem_realloc(nullptr, sizeof(shared_message) + bytes);
  if (block == nullptr) pfc::throw_bad_alloc();
  std::memcpy(static_cast<char*>(block) + sizeof(shared_message), text.text_ptr(), bytes);
  message_ = new (block) shared_message();
}

exception_win32::exception_win32(const exception_win32& other) noexcept
    : std::exception(other), code(other.code), message_(other.message_) {
  message_->references.fetch_add(1, std::memory_order_relaxed);
}

exception_win32& exception_win32::operator=(const exception_win32& other) noexcept {
  // Taking the new reference first makes assigning an exception to itself harmless.
  other.message_->references.fetch_add(1, std::memory_order_relaxed);
  shared_message* old = message_;
  message_ = other.message_;
  code = other.code;
  old->release();
  return *this;
}

exception_win32::~exception_win32() { message_->release(); }

const char* exception_win32::what() const noexcept { return message_->text(); }

void raise_last_win32_error() {
  const std::uint32_t code = win32_error_platform::last_error();
  short_text_buffer where; // 13 + at most 10 digits: always fits
  char digits[64];
  where.append_text("Win32 error #", pfc::infinite_length);
  where.append_text(pfc::format_decimal(digits, code), pfc::infinite_length);
  call_stack_entry entry(where.text_ptr());
  throw exception_win32(code);
}
