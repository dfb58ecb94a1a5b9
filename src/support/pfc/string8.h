// Growable UTF-8 string. The standard variant fits the need plus 16 bytes and
// gives memory back only when more than 32 bytes would stand empty; the fast
// variant doubles and never shrinks. An empty string holds no block, and
// appending or assigning nothing to it still allocates nothing. Every failure
// (std::bad_alloc, pfc::exception_overflow) leaves the string as it was.
#pragma once
#include "host/string_base.h"
#include "support/pfc/storage.h"

#include <cstring>
#include <utility>

namespace pfc {

// Reads a string's block bookkeeping where memory use itself is what is
// looked at; the component has no use for it and defines none.
struct block_inspector;

// Defined out of line for exactly the two policies (string8.cpp).
template <typename Policy> class string8_t : public string_base {
public:
  string8_t() = default;
  explicit string8_t(const char* text) { assign_text(text, infinite_length); }
  string8_t(const string8_t&) = delete;
  string8_t& operator=(const string8_t&) = delete;
  ~string8_t() = default;

  // Text that lies in this string's own block is copied first (fitting may
  // move the block).
  void append_text(const char* text, std::uint32_t max_len) override;
  // The text; a static empty text (never the block) while the length is 0.
  const char* text_ptr() const override { return used_length_ == 0 ? "" : storage_.data(); }
  void assign_text(const char* text, std::uint32_t max_len) override;
  // Only shortens; a len at or above the length changes nothing.
  void cut_to_length(std::uint32_t len) override;
  std::uint32_t text_length() const override { return used_length_; }
  // Fits for n + 1 and zero-fills the logical size; the length is unchanged
  // until close_buffer. n all-ones throws pfc::exception_overflow.
  char* open_buffer(std::uint32_t n) override;
  void close_buffer() override;

  // Direct writing for callers that produce the bytes themselves: fill(room)
  // writes up to n bytes into room (fitted for n bytes after the text) and
  // returns how many it wrote; they follow the text up to their first zero,
  // as append_text of them would make it, without the copy. If fill throws,
  // the text stays as it was. Returns what fill did.
  template <typename Fill> std::uint32_t append_filled(std::uint32_t n, Fill&& fill) {
    return fill_at(used_length_, n, fill, true);
  }
  // The same as an assign, for a fill that never writes a zero byte: its
  // bytes become the text as they are, with no search for one. If fill
  // throws, the text is left empty.
  template <typename Fill> std::uint32_t assign_zero_free(std::uint32_t n, Fill&& fill) {
    return fill_at(0, n, fill, false);
  }

  // Room for a text of n bytes made ahead, so that appends up to it need no
  // further allocation. A doubling string gets exactly that much (its own
  // doubling goes on from there when it is outgrown), never the power of two
  // above it; a standard one fits it.
  void reserve(std::uint32_t n);

  // assign_text(from.text_ptr(), infinite_length), with the same text and the
  // same block size, but where that would allocate a block anyway, from's
  // block is taken over (trimmed) instead of copied. from is left empty then.
  void take_text(string8_t<alloc_doubling>& from);

  // Exchanges the texts and blocks; allocates nothing, so a change prepared in
  // a temporary can be committed with no way left to fail.
  void swap(string8_t& other) noexcept {
    std::swap(storage_, other.storage_);
    std::swap(used_length_, other.used_length_);
  }

private:
  template <typename> friend class string8_t;
  friend struct block_inspector;

  bool overlaps(const char* text) const noexcept;
  void append_text_unaliased(const char* text, std::uint32_t max_len);
  void assign_text_unaliased(const char* text, std::uint32_t max_len);
  // The standard policy's block size for a need of n bytes: the need plus 16
  // when the block is too small, the need alone when more than 32 bytes would
  // stand empty, else the size it has.
  std::uint32_t standard_size_for(std::uint32_t n) const;
  void fit(std::uint32_t n);
  char* make_room(std::uint32_t at, std::uint32_t n);
  void end_fill(std::uint32_t at, std::uint32_t written, bool may_hold_zero) noexcept;
  template <typename Fill> std::uint32_t fill_at(std::uint32_t at, std::uint32_t n, Fill& fill, bool may_hold_zero) {
    char* room = make_room(at, n);
    std::uint32_t written;
    try {
      written = fill(room);
    } catch (...) {
      if (used_length_ > at) used_length_ = at;
      storage_.data()[used_length_] = '\0';
      throw;
    }
    end_fill(at, written, may_hold_zero);
    return written;
  }

  storage_t<char, Policy> storage_;
  std::uint32_t used_length_ = 0;
};

extern template class string8_t<alloc_standard>;
extern template class string8_t<alloc_doubling>;

using string8 = string8_t<alloc_standard>;
using string8_fast = string8_t<alloc_doubling>;

// Exact-size copy of one zero-terminated text (the module path and file name):
// length + 1 bytes, a 1-byte block even for the empty text. A failed
// assignment keeps the previous text.
class exact_text {
public:
  void assign(const char* text);
  const char* c_str() const noexcept { return storage_.size() == 0 ? "" : storage_.data(); }

private:
  friend struct block_inspector;
  storage_t<char, alloc_standard> storage_;
};

// Bytes of text before its first zero byte, at most max_len. Null is empty.
std::uint32_t bounded_length(const char* text, std::uint32_t max_len) noexcept;
// Decimal digits of value into out (64 bytes), no sign, grouping or leading zeros.
char* format_decimal(char* out, std::uint64_t value) noexcept;

} // namespace pfc
