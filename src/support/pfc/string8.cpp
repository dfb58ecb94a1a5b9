#include "support/pfc/string8.h"

#include <cstring>
#include <type_traits>

namespace pfc {

// The standard variant compares against the logical size, which under its
// policy is the allocation: 16 bytes of slack on growth, memory given back
// only past 32 spare bytes. The fast variant leaves it all to doubling.
template <typename Policy> std::uint32_t string8_t<Policy>::standard_size_for(std::uint32_t n) const {
  const std::uint32_t size = storage_.size();
  if (size < n) {
    if (n > 0xFFFFFFFFu - 16) throw_bad_alloc(); // the slack itself would wrap
    return n + 16;
  }
  return static_cast<std::uint64_t>(size) > static_cast<std::uint64_t>(n) + 32 ? n : size;
}

template <typename Policy> void string8_t<Policy>::fit(std::uint32_t n) {
  if constexpr (std::is_same_v<Policy, alloc_standard>) {
    const std::uint32_t size = standard_size_for(n);
    if (size != storage_.size()) storage_.set_size(size);
  } else {
    storage_.set_size(n);
  }
}

template <typename Policy> void string8_t<Policy>::reserve(std::uint32_t n) {
  if (n <= used_length_) return;
  if (n == 0xFFFFFFFFu) throw_bad_alloc();
  if constexpr (std::is_same_v<Policy, alloc_doubling>) {
    storage_.allocate_ahead(n + 1);
    storage_.data()[used_length_] = '\0'; // a block that is new holds no terminator yet
  } else {
    fit(n + 1);
  }
}

template <typename Policy> bool string8_t<Policy>::overlaps(const char* text) const noexcept {
  const char* start = storage_.data();
  if (start == nullptr || text == nullptr) return false;
  const auto t = reinterpret_cast<std::uintptr_t>(text), s = reinterpret_cast<std::uintptr_t>(start);
  return t >= s && t < s + storage_.allocation();
}

template <typename Policy> void string8_t<Policy>::append_text(const char* text, std::uint32_t max_len) {
  if (overlaps(text)) {
    string8_t<alloc_standard> copy;
    copy.append_text_unaliased(text, max_len);
    append_text_unaliased(copy.text_ptr(), infinite_length);
    return;
  }
  append_text_unaliased(text, max_len);
}

template <typename Policy> void string8_t<Policy>::assign_text(const char* text, std::uint32_t max_len) {
  if (overlaps(text)) {
    string8_t<alloc_standard> copy;
    copy.append_text_unaliased(text, max_len);
    assign_text_unaliased(copy.text_ptr(), infinite_length);
    return;
  }
  assign_text_unaliased(text, max_len);
}

template <typename Policy> void string8_t<Policy>::cut_to_length(std::uint32_t len) {
  if (len >= used_length_) return;
  fit(len + 1); // may shrink the block; the first len bytes survive, and a failure changes nothing
  used_length_ = len;
  storage_.data()[len] = '\0';
}

template <typename Policy> char* string8_t<Policy>::open_buffer(std::uint32_t n) {
  if (n == infinite_length) throw exception_overflow();
  fit(n + 1);
  std::memset(storage_.data(), 0, storage_.size());
  return storage_.data();
}

template <typename Policy> void string8_t<Policy>::close_buffer() {
  const std::uint32_t size = storage_.size();
  if (size == 0) return;
  const char* block = storage_.data();
  const void* zero = std::memchr(block, 0, size);
  // A writer that filled the whole block loses its last byte to the terminator
  // rather than leaving the text unterminated. Nothing is written before the
  // fit, so a failed shrink leaves the buffer as the writer left it.
  const std::uint32_t len = zero ? static_cast<std::uint32_t>(static_cast<const char*>(zero) - block) : size - 1;
  fit(len + 1);
  storage_.data()[len] = '\0';
  used_length_ = len;
}

template <typename Policy> void string8_t<Policy>::append_text_unaliased(const char* text, std::uint32_t max_len) {
  const std::uint32_t n = bounded_length(text, max_len);
  if (n == 0 && storage_.data() == nullptr) return; // empty stays free
  if (static_cast<std::uint64_t>(used_length_) + n + 1 > 0xFFFFFFFFu) throw_bad_alloc();
  fit(used_length_ + n + 1);
  char* block = storage_.data();
  if (n != 0) std::memcpy(block + used_length_, text, n);
  used_length_ += n;
  block[used_length_] = '\0';
}

template <typename Policy> void string8_t<Policy>::assign_text_unaliased(const char* text, std::uint32_t max_len) {
  const std::uint32_t n = bounded_length(text, max_len);
  if (n == 0 && storage_.data() == nullptr) return; // empty stays free
  if (n == 0xFFFFFFFFu) throw_bad_alloc();
  fit(n + 1);
  char* block = storage_.data();
  if (n != 0) std::memcpy(block, text, n);
  used_length_ = n;
  block[n] = '\0';
}

template <typename Policy> char* string8_t<Policy>::make_room(std::uint32_t at, std::uint32_t n) {
  if (static_cast<std::uint64_t>(at) + n + 1 > 0xFFFFFFFFu) throw_bad_alloc();
  fit(at + n + 1);
  return storage_.data() + at;
}

template <typename Policy>
void string8_t<Policy>::end_fill(std::uint32_t at, std::uint32_t written, bool may_hold_zero) noexcept {
  char* room = storage_.data() + at;
  const void* zero = may_hold_zero ? std::memchr(room, 0, written) : nullptr;
  used_length_ = at + (zero ? static_cast<std::uint32_t>(static_cast<const char*>(zero) - room) : written);
  storage_.data()[used_length_] = '\0';
}

template <typename Policy> void string8_t<Policy>::take_text(string8_t<alloc_doubling>& from) {
  const std::uint32_t n = from.used_length_;
  // Where assign_text would keep this block (or needs none) it copies.
  if constexpr (std::is_same_v<Policy, alloc_standard>) {
    if (n != 0 && n != 0xFFFFFFFFu) {
      const std::uint32_t size = standard_size_for(n + 1);
      if (size != storage_.size()) {
        storage_.adopt(from.storage_, size);
        used_length_ = n;
        from.used_length_ = 0;
        return;
      }
    }
  }
  assign_text(from.text_ptr(), infinite_length);
}

template class string8_t<alloc_standard>;
template class string8_t<alloc_doubling>;

void exact_text::assign(const char* text) {
  if (text == nullptr) text = ""; // a host may pass none: kept as the empty text
  const std::uint32_t n = bounded_length(text, infinite_length);
  if (n == 0xFFFFFFFFu) throw_bad_alloc();
  storage_t<char, alloc_standard> fresh;
  fresh.set_size(n + 1);
  if (n != 0) std::memcpy(fresh.data(), text, n);
  fresh.data()[n] = '\0';
  storage_ = std::move(fresh); // only now is the old text given up
}

} // namespace pfc
