// Reference bookkeeping for the host's own objects (titles, scripts, the
// compiler): every reference handed out and given back is counted, so the host
// can prove that a component keeps nothing after a call.
#pragma once
#include "host_ref.h"

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

struct ledger_tally {
  static void born() noexcept { ++host_references().alive; }
  static void died() noexcept { --host_references().alive; }
  static void taken() noexcept { ++host_references().taken; }
  static void released() noexcept { ++host_references().released; }
};

// A host object on the heap, owned by its reference count and counted in the ledger.
template <typename T> using ledger_service_t = host_counted_t<T, ledger_tally>;

template <typename T, typename... Args> host_ref<ledger_service_t<T>> make_ledger_service(Args&&... args) {
  return make_counted<T, ledger_tally>(std::forward<Args>(args)...);
}
