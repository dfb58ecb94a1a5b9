// The player's own counted references. A player that counted with the
// component's code would repeat the component's counting mistakes on its own
// side of every call, and its checks could not see them.
#pragma once
#include "host/service_base.h"

#include <atomic>
#include <cstdint>
#include <utility>

// Holds one reference; gives it back when replaced or destroyed.
template <typename T> class host_ref {
public:
  host_ref() = default;
  // Takes over a reference the caller already holds.
  static host_ref adopt(T* object) noexcept {
    host_ref ref;
    ref.object_ = object;
    return ref;
  }
  host_ref(const host_ref& other) noexcept : object_(other.object_) {
    if (object_) object_->add_ref();
  }
  host_ref(host_ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  host_ref& operator=(host_ref other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~host_ref() { reset(); }

  void reset() noexcept {
    if (T* old = std::exchange(object_, nullptr)) old->release();
  }
  T* get() const noexcept { return object_; }
  T* operator->() const noexcept { return object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }
  T* detach() noexcept { return std::exchange(object_, nullptr); }
  // For the component's out-parameters, which give back what the slot held.
  T*& receive() noexcept { return object_; }

private:
  T* object_ = nullptr;
};

// query_class's answer: a new reference to self in out_ref, then the old one given back.
inline bool host_hand_out(service_base* self, service_base*& out_ref) {
  self->add_ref();
  if (service_base* old = std::exchange(out_ref, self)) old->release();
  return true;
}

// Counts nothing: for player objects whose references no ledger watches.
struct untallied {
  static void born() noexcept {}
  static void died() noexcept {}
  static void taken() noexcept {}
  static void released() noexcept {}
};

// A player object on the heap, owned by its count, which starts at 0: its
// maker takes the first reference. Tally hears of every reference taken and
// given back, and of the object's birth and death.
template <typename T, typename Tally = untallied> class host_counted_t final : public T {
public:
  template <typename... Args> explicit host_counted_t(Args&&... args) : T(std::forward<Args>(args)...) {
    Tally::born();
  }
  ~host_counted_t() { Tally::died(); }
  std::int32_t add_ref() override {
    Tally::taken();
    return count_.fetch_add(1, std::memory_order_acq_rel) + 1;
  }
  std::int32_t release() override {
    Tally::released();
    const std::int32_t left = count_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }
  std::int32_t reference_count() const noexcept { return count_.load(); }

private:
  std::atomic<std::int32_t> count_{0};
};

template <typename T, typename Tally = untallied, typename... Args>
host_ref<host_counted_t<T, Tally>> make_counted(Args&&... args) {
  auto* object = new host_counted_t<T, Tally>(std::forward<Args>(args)...); // owned by its count from here on
  object->add_ref();
  return host_ref<host_counted_t<T, Tally>>::adopt(object);
}

// A player service on the heap, counted like any other service.
template <typename T, typename... Args> host_ref<T> make_host_service(Args&&... args) {
  return host_ref<T>::adopt(make_counted<T>(std::forward<Args>(args)...).detach());
}
