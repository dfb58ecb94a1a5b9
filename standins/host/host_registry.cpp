#include "host_registry.h"

host_registry::service_class& host_registry::class_of(const guid& class_guid) {
  for (auto& c : classes_)
    if (c.id == class_guid) return c;
  classes_.push_back(service_class{class_guid, {}});
  return classes_.back();
}

void host_registry::add(const guid& class_guid, service_base* service) {
  service->add_ref();
  class_of(class_guid).services.push_back(host_ref<service_base>::adopt(service));
}

void host_registry::remove_all(const guid& class_guid) { class_of(class_guid).services.clear(); }

// Handles are 1-based indexes, so 0 never names a class.
std::uint32_t host_registry::find_class(const guid& class_guid) {
  class_of(class_guid);
  for (std::size_t i = 0; i < classes_.size(); ++i)
    if (classes_[i].id == class_guid) return static_cast<std::uint32_t>(i + 1);
  return 0;
}

bool host_registry::create_instance(service_base*& out_ref, std::uint32_t class_handle, std::uint32_t index) {
  if (class_handle == 0 || class_handle > classes_.size()) return false;
  auto& services = classes_[class_handle - 1].services;
  if (index >= services.size()) return false;
  return host_hand_out(services[index].get(), out_ref);
}

std::uint32_t host_registry::count_instances(std::uint32_t class_handle) {
  if (class_handle == 0 || class_handle > classes_.size()) return 0;
  return static_cast<std::uint32_t>(classes_[class_handle - 1].services.size());
}
