// Identifier -> variable, for one load. Keys compare as 16 unsigned bytes in
// stored order; nodes come from the component's allocator, so running out of
// memory reads "bad allocation" like every other allocation failure.
#pragma once
#include "settings/cfg_var.h"
#include "support/pfc/exceptions.h"
#include "support/pfc/memory.h"

#include <cstring>
#include <map>

template <typename T> struct pfc_allocator {
  using value_type = T;
  pfc_allocator() noexcept = default;
  template <typename U> pfc_allocator(const pfc_allocator<U>&) noexcept {}
  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) pfc::throw_bad_alloc();
    void* block = pfc::mem_realloc(nullptr, n * sizeof(T));
    if (block == nullptr) pfc::throw_bad_alloc();
    return static_cast<T*>(block);
  }
  void deallocate(T* block, std::size_t) noexcept { pfc::mem_realloc(block, 0); }
  template <typename U> bool operator==(const pfc_allocator<U>&) const noexcept { return true; }
  template <typename U> bool operator!=(const pfc_allocator<U>&) const noexcept { return false; }
};

struct guid_bytes_less {
  bool operator()(const guid& a, const guid& b) const noexcept { return std::memcmp(&a, &b, sizeof(guid)) < 0; }
};

class variable_map {
public:
  // Every reader on the list; among readers sharing an identifier the one
  // furthest down the list (the earliest constructed) wins.
  explicit variable_map(cfg_var_reader* list);
  cfg_var_reader* find(const guid& id) const;

private:
  std::map<guid, cfg_var_reader*, guid_bytes_less, pfc_allocator<std::pair<const guid, cfg_var_reader*>>> entries_;
};
