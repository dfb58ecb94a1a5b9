// Growable UTF-8 string. The standard variant fits the need plus 16 bytes and
// gives memory back only when more than 32 bytes would stand empty; the fast
// variant doubles and never shrinks. Empty strings hold no block.
#pragma once
#include "support/pfc/storage.h"
#include "support/pfc/string_base.h"

#include <cstring>

namespace pfc {

template <typename Policy> class string8_t : public string_base {
public:
  string8_t() = default;
  explicit string8_t(const char* text) { assign_text(text, infinite_length); }
  string8_t(const string8_t&) = delete;
  string8_t& operator=(const string8_t&) = delete;
  ~string8_t() = default;

  void append_text(const char* text, std::uint32_t max_len) override {
    if (overlaps(text)) {
      string8_t<alloc_standard> copy;
      copy.append_text_unaliased(text, max_len);
      append_text_unaliased(copy.text_ptr(), infinite_length);
      return;
    }
    append_text_unaliased(text, max_len);
  }

  const char* text_ptr() const override { return used_length_ == 0 ? "" : storage_.data(); }

  void assign_text(const char* text, std::uint32_t max_len) override {
    if (overlaps(text)) {
      string8_t<alloc_standard> copy;
      copy.append_text_unaliased(text, max_len);
      assign_text_unaliased(copy.text_ptr(), infinite_length);
      return;
    }
    assign_text_unaliased(text, max_len);
  }

  void cut_to_length(std::uint32_t len) override {
    if (len >= used_length_) return;
    fit(len + 1); // may move or shrink the block; the first len bytes survive
    used_length_ = len;
    storage_.data()[len] = '\0';
  }

  std::uint32_t text_length() const override { return used_length_; }

  char* open_buffer(std::uint32_t n) override {
    if (n == infinite_length) throw exception_overflow();
    fit(n + 1);
    std::memset(storage_.data(), 0, storage_.size());
    return storage_.data();
  }

  void close_buffer() override {
    const std::uint32_t size = storage_.size();
    if (size == 0) return;
    char* block = storage_.data();
    const void* zero = std::memchr(block, 0, size);
    // A writer that filled the whole block loses its last byte to the terminator
    // rather than leaving the text unterminated.
    std::uint32_t len = zero ? static_cast<std::uint32_t>(static_cast<const char*>(zero) - block) : size - 1;
    block[len] = '\0';
    fit(len + 1);
    used_length_ = len;
  }

  // Block bookkeeping, for callers that care about memory (and for tests).
  std::uint32_t block_size() const noexcept { return storage_.size(); }
  std::uint32_t block_allocation() const noexcept { return storage_.allocation(); }
  const char* block_data() const noexcept { return storage_.data(); }
  void clear() noexcept {
    storage_.clear();
    used_length_ = 0;
  }

private:
  template <typename> friend class string8_t;

  bool overlaps(const char* text) const noexcept {
    const char* start = storage_.data();
    if (start == nullptr || text == nullptr) return false;
    auto t = reinterpret_cast<std::uintptr_t>(text), s = reinterpret_cast<std::uintptr_t>(start);
    return t >= s && t < s + storage_.allocation();
  }

  void append_text_unaliased(const char* text, std::uint32_t max_len) {
    const std::uint32_t n = bounded_length(text, max_len);
    if (static_cast<std::uint64_t>(used_length_) + n + 1 > 0xFFFFFFFFu) throw_bad_alloc();
    fit(used_length_ + n + 1);
    char* block = storage_.data();
    if (n != 0) std::memcpy(block + used_length_, text, n);
    used_length_ += n;
    block[used_length_] = '\0';
  }

  void assign_text_unaliased(const char* text, std::uint32_t max_len) {
    const std::uint32_t n = bounded_length(text, max_len);
    if (n == 0xFFFFFFFFu) throw_bad_alloc();
    fit(n + 1);
    char* block = storage_.data();
    if (n != 0) std::memcpy(block, text, n);
    used_length_ = n;
    block[n] = '\0';
  }

  void fit(std::uint32_t n);

  storage_t<char, Policy> storage_;
  std::uint32_t used_length_ = 0;
};

template <> inline void string8_t<alloc_standard>::fit(std::uint32_t n) {
  const std::uint32_t size = storage_.size();
  if (size < n) {
    if (n > 0xFFFFFFFFu - 16) throw_bad_alloc();
    storage_.set_size(n + 16);
  } else if (static_cast<std::uint64_t>(size) > static_cast<std::uint64_t>(n) + 32) {
    storage_.set_size(n);
  }
}

template <> inline void string8_t<alloc_doubling>::fit(std::uint32_t n) { storage_.set_size(n); }

using string8 = string8_t<alloc_standard>;
using string8_fast = string8_t<alloc_doubling>;

// Exact-size copy of one zero-terminated text (the module path and file name).
class exact_text {
public:
  void assign(const char* text) {
    const std::uint32_t n = bounded_length(text, infinite_length);
    if (n == 0xFFFFFFFFu) throw_bad_alloc();
    storage_t<char, alloc_standard> fresh;
    fresh.set_size(n + 1);
    if (n != 0) std::memcpy(fresh.data(), text, n);
    fresh.data()[n] = '\0';
    storage_ = std::move(fresh);
  }
  const char* c_str() const noexcept { return storage_.size() == 0 ? "" : storage_.data(); }
  std::uint32_t block_size() const noexcept { return storage_.size(); }

private:
  storage_t<char, alloc_standard> storage_;
};

// Decimal digits of value into out (64 bytes), no sign, grouping or leading zeros.
char* format_decimal(char* out, std::uint64_t value) noexcept;

} // namespace pfc
