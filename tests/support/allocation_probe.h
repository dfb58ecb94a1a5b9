// Installs the text buffers' allocation hook for one scope: counts every
// request and can refuse a chosen one, as a runtime out of memory would.
#pragma once
#include "allocation_hook.h"

#include <cstddef>
#include <vector>

class allocation_probe {
public:
  // fail_at: the 1-based request to refuse (0: refuse none);
  // refuse_above: refuse every request larger than this many bytes.
  explicit allocation_probe(unsigned fail_at = 0, std::size_t refuse_above = static_cast<std::size_t>(-1))
      : fail_at_(fail_at), refuse_above_(refuse_above) {
    pfc::set_allocation_hook(&allocation_probe::hook, this);
  }
  allocation_probe(const allocation_probe&) = delete;
  allocation_probe& operator=(const allocation_probe&) = delete;
  ~allocation_probe() { pfc::set_allocation_hook(nullptr, nullptr); }

  unsigned requests() const noexcept { return static_cast<unsigned>(sizes_.size()); }
  const std::vector<std::size_t>& sizes() const noexcept { return sizes_; }
  bool refused() const noexcept { return refused_; }

private:
  static bool hook(std::size_t bytes, void* context) {
    auto* self = static_cast<allocation_probe*>(context);
    self->sizes_.push_back(bytes);
    const bool refuse = self->sizes_.size() == self->fail_at_ || bytes > self->refuse_above_;
    self->refused_ = self->refused_ || refuse;
    return !refuse;
  }

  unsigned fail_at_;
  std::size_t refuse_above_;
  std::vector<std::size_t> sizes_;
  bool refused_ = false;
};
