// The service model: counted references, the two lifetime forms, factories
// registered on one chain, and host-service lookup.
#pragma once
#include "host/playback.h"
#include "host/preferences.h"
#include "host/service_base.h"

#include <atomic>
#include <cstddef>
#include <utility>

// Holds one reference; releases it when replaced or destroyed.
template <typename T> class service_ptr_t {
public:
  service_ptr_t() = default;
  // Takes over a reference the caller already owns.
  static service_ptr_t adopt(T* object) noexcept {
    service_ptr_t p;
    p.object_ = object;
    return p;
  }
  service_ptr_t(const service_ptr_t& other) noexcept : object_(other.object_) {
    if (object_) object_->add_ref();
  }
  service_ptr_t(service_ptr_t&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  service_ptr_t& operator=(service_ptr_t other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~service_ptr_t() { reset(); }

  void reset() noexcept {
    if (T* old = std::exchange(object_, nullptr)) old->release();
  }
  T* get() const noexcept { return object_; }
  T* operator->() const noexcept { return object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }
  T* detach() noexcept { return std::exchange(object_, nullptr); }
  // For out-parameters of host calls, which release what the slot held.
  T*& receive() noexcept { return object_; }

private:
  T* object_ = nullptr;
};

// A static service embedded in its factory; never counted, never freed.
template <typename T> class service_impl_single_t final : public T {
public:
  using T::T;
  std::int32_t release() override { return 1; }
  std::int32_t add_ref() override { return 1; }
};

// A heap service owned by its reference count (starts at 0; the creator takes
// the first reference when handing it out).
template <typename T> class service_impl_t final : public T {
public:
  template <typename... Args> explicit service_impl_t(Args&&... args) : T(std::forward<Args>(args)...) {}
  std::int32_t release() override {
    const std::int32_t left = count_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }
  std::int32_t add_ref() override { return count_.fetch_add(1, std::memory_order_acq_rel) + 1; }
  std::int32_t reference_count() const noexcept { return count_.load(); }

private:
  std::atomic<std::int32_t> count_{0};
};

// Store self in out_ref: new reference first, then release the old one.
inline bool service_hand_out(service_base* self, service_base*& out_ref) {
  self->add_ref();
  if (service_base* old = std::exchange(out_ref, self)) old->release();
  return true;
}

// The host walks the chain by reading the node's words itself: operation
// table, next, class identifier, each one pointer wide.
static_assert(sizeof(service_factory_base) == 3 * sizeof(void*), "factory node is three pointers");
static_assert(sizeof(void*) != 4 || sizeof(service_factory_base) == 12, "factory node is 12 bytes on i686");
static_assert(sizeof(void*) != 8 || sizeof(service_factory_base) == 24, "factory node is 24 bytes on x86-64");
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(offsetof(service_factory_base, next) == sizeof(void*), "next follows the table");
static_assert(offsetof(service_factory_base, class_guid) == 2 * sizeof(void*), "class_guid follows next");
#pragma GCC diagnostic pop

// Head of the module-wide factory chain (most recently registered first).
service_factory_base* factory_chain_head() noexcept;

class service_factory_registration : public service_factory_base {
protected:
  explicit service_factory_registration(const guid* cls);
  ~service_factory_registration() = default;
};

// Registers under class_guid and yields the embedded static instance of T.
template <typename T, const guid& ClassGuid>
class service_factory_single_t final : public service_factory_registration {
public:
  service_factory_single_t() : service_factory_registration(&ClassGuid) {}
  void create(service_base*& out_ref) override { service_hand_out(&instance_, out_ref); }
  service_impl_single_t<T>& instance() noexcept { return instance_; }

private:
  service_impl_single_t<T> instance_;
};

// Asks the host for the one service of class_guid. Throws
// exception_service_not_found / exception_service_duplicated.
void get_single_service(service_base*& out_ref, const guid& class_guid);

template <typename T> service_ptr_t<T> get_single_service(const guid& class_guid) {
  service_ptr_t<service_base> ref;
  get_single_service(ref.receive(), class_guid);
  return service_ptr_t<T>::adopt(static_cast<T*>(ref.detach()));
}

// Applies action to instance 0, 1, 2, ... of class_guid until the host has no more.
template <typename Action> void for_each_service(const guid& class_guid, Action&& action);

#include "runtime/service_lookup.inl"

template <typename T>
using play_callback_static_factory_t = service_factory_single_t<T, play_callback_static_class_guid>;
template <typename T> using preferences_page_factory_t = service_factory_single_t<T, preferences_page_class_guid>;
