// Reference bookkeeping for the host's own objects (titles, scripts, the
// compiler): every reference handed out and given back is counted, so the host
// can prove that a component keeps nothing after a call.
#pragma once
#include "runtime/service.h"

#include <atomic>
#include <cstdint>
#include <utility>

struct host_reference_ledger {
  std::atomic<std::int64_t> taken{0};    // add_ref calls, and the first reference of every new object
  std::atomic<std::int64_t> released{0}; // release calls
  std::atomic<std::int64_t> alive{0};    // objects not yet destroyed

  std::int64_t outstanding() const noexcept { return taken.load() - released.load(); }
};

// The process's one ledger.
host_reference_ledger& host_references() noexcept;

// A host object on the heap, owned by its reference count and counted in the ledger.
template <typename T> class ledger_service_t final : public T {
public:
  template <typename... Args> explicit ledger_service_t(Args&&... args) : T(std::forward<Args>(args)...) {
    ++host_references().alive;
  }
  ~ledger_service_t() { --host_references().alive; }
  std::int32_t add_ref() override {
    ++host_references().taken;
    return count_.fetch_add(1, std::memory_order_acq_rel) + 1;
  }
  std::int32_t release() override {
    ++host_references().released;
    const std::int32_t left = count_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }
  std::int32_t reference_count() const noexcept { return count_.load(); }

private:
  std::atomic<std::int32_t> count_{0};
};

template <typename T, typename... Args> service_ptr_t<ledger_service_t<T>> make_ledger_service(Args&&... args) {
  auto* object = new ledger_service_t<T>(std::forward<Args>(args)...); // owned by its count from here on
  object->add_ref();
  return service_ptr_t<ledger_service_t<T>>::adopt(object);
}
