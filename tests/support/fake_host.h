// The host's service directory as tests and benchmarks see it: services
// offered by class, in the order given, and nothing the host would not do.
// Built from the host declarations alone, so programs that load the real DLL
// can hand it over as well.
#pragma once
#include "host/host_api.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class fake_host final : public host_api {
public:
  // What create_instance does with a reference already in the out slot.
  // Hosts differ: some give it back, some simply overwrite it, so the
  // component must only ever hand over empty slots.
  enum class filled_slot { released, overwritten };

  // Handles are first_handle + position in `classes`; a class the host never
  // heard of gets unknown_handle, which names nothing but is not zero, so the
  // component cannot tell it apart without asking.
  static constexpr std::uint32_t first_handle = 100;
  static constexpr std::uint32_t unknown_handle = 7;

  explicit fake_host(filled_slot on_filled_slot = filled_slot::released) : on_filled_slot_(on_filled_slot) {}
  fake_host(const fake_host&) = delete;
  fake_host& operator=(const fake_host&) = delete;

  // Adds service after those already offered under class_guid.
  void offer(const guid& class_guid, service_base* service) { class_of(class_guid).push_back(service); }
  // Keeps the class (and so its handle) known, with no services left.
  void withdraw_all(const guid& class_guid) { class_of(class_guid).clear(); }

  std::uint32_t find_class(const guid& class_guid) override {
    for (std::size_t i = 0; i < classes.size(); ++i)
      if (classes[i].first == class_guid) {
        if (record_calls) calls.push_back("find " + std::to_string(first_handle + i));
        return static_cast<std::uint32_t>(first_handle + i);
      }
    if (record_calls) calls.push_back("find unknown");
    return unknown_handle;
  }

  bool create_instance(service_base*& out_ref, std::uint32_t handle, std::uint32_t index) override {
    if (record_calls) calls.push_back("create " + std::to_string(handle) + " " + std::to_string(index));
    every_slot_was_empty = every_slot_was_empty && out_ref == nullptr;
    const std::vector<service_base*>* services = services_of(handle);
    if (services == nullptr || index >= services->size()) return false;
    service_base* service = (*services)[index];
    service->add_ref();
    service_base* old = std::exchange(out_ref, service);
    if (old != nullptr && on_filled_slot_ == filled_slot::released) old->release();
    return true;
  }

  std::uint32_t count_instances(std::uint32_t handle) override {
    if (record_calls) calls.push_back("count " + std::to_string(handle));
    const std::vector<service_base*>* services = services_of(handle);
    return services == nullptr ? 0 : static_cast<std::uint32_t>(services->size());
  }

  // The directory itself; the host holds no references to what it offers.
  std::vector<std::pair<guid, std::vector<service_base*>>> classes;
  // Off by default: a benchmark asks millions of times, and should not pay
  // for the text either.
  bool record_calls = false;
  // "find H" / "find unknown", "count H", "create H I", in the order asked.
  std::vector<std::string> calls;
  bool every_slot_was_empty = true;

private:
  std::vector<service_base*>& class_of(const guid& class_guid) {
    for (auto& c : classes)
      if (c.first == class_guid) return c.second;
    classes.emplace_back(class_guid, std::vector<service_base*>{});
    return classes.back().second;
  }
  const std::vector<service_base*>* services_of(std::uint32_t handle) const {
    if (handle < first_handle || handle - first_handle >= classes.size()) return nullptr;
    return &classes[handle - first_handle].second;
  }

  filled_slot on_filled_slot_;
};
