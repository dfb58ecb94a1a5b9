// Installs the text buffers' allocation hook for one scope: counts every
// request and can refuse a chosen one, as a runtime out of memory would; and
// measures the most the scope holds at once.
#pragma once
#include "allocation_hook.h"

#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

class allocation_probe {
public:
  // fail_at: the 1-based request to refuse (0: refuse none);
  // refuse_above: refuse every request larger than this many bytes.
  explicit allocation_probe(unsigned fail_at = 0, std::size_t refuse_above = static_cast<std::size_t>(-1))
      : fail_at_(fail_at), refuse_above_(refuse_above) {
    pfc::set_allocation_hook(&allocation_probe::hook, this);
    pfc::watch_held(true);
  }
  allocation_probe(const allocation_probe&) = delete;
  allocation_probe& operator=(const allocation_probe&) = delete;
  ~allocation_probe() {
    pfc::watch_held(false);
    pfc::set_allocation_hook(nullptr, nullptr);
  }

  unsigned requests() const noexcept { return static_cast<unsigned>(sizes_.size()); }
  const std::vector<std::size_t>& sizes() const noexcept { return sizes_; }
  bool refused() const noexcept { return refused_; }
  // Beyond what was held when the probe began (pfc::watch_held).
  long long held_peak() const noexcept { return pfc::held_peak(); }

  // Each later request, noted beside what progress() says at that moment
  // (for a load, how much data has arrived).
  struct noted_request {
    std::size_t bytes;
    std::size_t progress;
  };
  void note_progress(std::function<std::size_t()> progress) { progress_ = std::move(progress); }
  const std::vector<noted_request>& noted() const noexcept { return noted_; }

private:
  static bool hook(std::size_t bytes, void* context) {
    auto* self = static_cast<allocation_probe*>(context);
    self->sizes_.push_back(bytes);
    if (self->progress_) self->noted_.push_back({bytes, self->progress_()});
    const bool refuse = self->sizes_.size() == self->fail_at_ || bytes > self->refuse_above_;
    self->refused_ = self->refused_ || refuse;
    return !refuse;
  }

  unsigned fail_at_;
  std::size_t refuse_above_;
  std::vector<std::size_t> sizes_;
  bool refused_ = false;
  std::function<std::size_t()> progress_;
  std::vector<noted_request> noted_;
};
