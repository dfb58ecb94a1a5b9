// A string's block as the allocator sees it: its size, allocation and bytes.
#pragma once
#include "support/pfc/string8.h"

namespace pfc {

struct block_inspector {
  template <typename P> static std::uint32_t size(const string8_t<P>& s) noexcept { return s.storage_.size(); }
  template <typename P> static std::uint32_t allocation(const string8_t<P>& s) noexcept {
    return s.storage_.allocation();
  }
  template <typename P> static const char* data(const string8_t<P>& s) noexcept { return s.storage_.data(); }
  static std::uint32_t size(const exact_text& t) noexcept { return t.storage_.size(); }
};

} // namespace pfc

template <typename S> std::uint32_t block_size(const S& s) noexcept { return pfc::block_inspector::size(s); }
template <typename S> std::uint32_t block_allocation(const S& s) noexcept {
  return pfc::block_inspector::allocation(s);
}
template <typename S> const char* block_data(const S& s) noexcept { return pfc::block_inspector::data(s); }
