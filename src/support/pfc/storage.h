// Element storage with an explicit allocation policy: a block, its logical
// size and its allocation, all 32-bit. A failed request leaves all three as
// they were.
#pragma once
#include "support/pfc/exceptions.h"
#include "support/pfc/memory.h"

#include <cstdint>
#include <utility>

namespace pfc {

// Allocation always equals the logical size.
struct alloc_standard {
  static std::uint32_t allocation_for(std::uint32_t /*allocation*/, std::uint32_t n) { return n; }
};

// Doubles from the current allocation (or 1) until n fits; never shrinks, and
// a size the block already holds leaves it untouched (so size 0 on an empty
// storage allocates nothing).
struct alloc_doubling {
  static std::uint32_t allocation_for(std::uint32_t allocation, std::uint32_t n) {
    if (n <= allocation) return allocation;
    std::uint32_t a = allocation == 0 ? 1 : allocation;
    while (a < n) {
      if (a > 0x7FFFFFFFu) throw_bad_alloc();
      a *= 2;
    }
    return a;
  }
};

template <typename T, typename Policy> class storage_t {
public:
  storage_t() = default;
  storage_t(const storage_t&) = delete;
  storage_t& operator=(const storage_t&) = delete;
  storage_t(storage_t&& other) noexcept
      : block_(std::exchange(other.block_, nullptr)), size_(std::exchange(other.size_, 0u)),
        allocation_(std::exchange(other.allocation_, 0u)) {}
  storage_t& operator=(storage_t&& other) noexcept {
    if (this != &other) {
      clear();
      block_ = std::exchange(other.block_, nullptr);
      size_ = std::exchange(other.size_, 0u);
      allocation_ = std::exchange(other.allocation_, 0u);
    }
    return *this;
  }
  ~storage_t() { clear(); }

  void set_size(std::uint32_t n) {
    const std::uint32_t wanted = Policy::allocation_for(allocation_, n);
    if (wanted != allocation_) reallocate(wanted);
    size_ = n;
  }

  // An allocation of exactly count elements when it has fewer, so that the
  // owner decides the step rather than the policy; the logical size is
  // unchanged and a larger block is kept.
  void allocate_ahead(std::uint32_t count) {
    if (count > allocation_) reallocate(count);
  }

  void clear() noexcept {
    mem_realloc(block_, 0);
    block_ = nullptr;
    size_ = 0;
    allocation_ = 0;
  }

  // Takes other's block, reallocated to n (> 0) elements, and frees this
  // storage's own. Shrinking keeps the block where it is on the runtimes we
  // know, so a text gathered elsewhere is taken over without a copy. A failure
  // leaves both storages as they were.
  template <typename OtherPolicy> void adopt(storage_t<T, OtherPolicy>& other, std::uint32_t n) {
    const std::uint64_t bytes = static_cast<std::uint64_t>(n) * sizeof(T);
    if (n == 0 || bytes > 0xFFFFFFFFu) throw_bad_alloc();
    void* fresh = mem_realloc(other.block_, static_cast<std::size_t>(bytes));
    if (fresh == nullptr) throw_bad_alloc();
    other.block_ = nullptr;
    other.size_ = 0;
    other.allocation_ = 0;
    clear();
    block_ = static_cast<T*>(fresh);
    size_ = n;
    allocation_ = n;
  }

  T* data() noexcept { return block_; }
  const T* data() const noexcept { return block_; }
  std::uint32_t size() const noexcept { return size_; }
  std::uint32_t allocation() const noexcept { return allocation_; }

private:
  template <typename, typename> friend class storage_t;

  void reallocate(std::uint32_t count) {
    if (count == 0) {
      clear();
      return;
    }
    const std::uint64_t bytes = static_cast<std::uint64_t>(count) * sizeof(T);
    if (bytes > 0xFFFFFFFFu) throw_bad_alloc();
    void* fresh = mem_realloc(block_, static_cast<std::size_t>(bytes));
    if (fresh == nullptr) throw_bad_alloc();
    block_ = static_cast<T*>(fresh);
    allocation_ = count;
  }

  T* block_ = nullptr;
  std::uint32_t size_ = 0;
  std::uint32_t allocation_ = 0;
};

} // namespace pfc
