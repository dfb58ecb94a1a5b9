// The stand-in host's service directory: the host API object handed to the
// component, holding one reference to every service it offers.
#pragma once
#include "host/host_api.h"
#include "host_ref.h"

#include <vector>

class host_registry final : public host_api {
public:
  host_registry() = default;
  host_registry(const host_registry&) = delete;
  host_registry& operator=(const host_registry&) = delete;
  ~host_registry() = default;

  // Offers service under class_guid; the registry keeps its own reference.
  void add(const guid& class_guid, service_base* service);
  // Withdraws every service of the class.
  void remove_all(const guid& class_guid);

  std::uint32_t find_class(const guid& class_guid) override;
  bool create_instance(service_base*& out_ref, std::uint32_t class_handle, std::uint32_t index) override;
  std::uint32_t count_instances(std::uint32_t class_handle) override;

private:
  struct service_class {
    guid id;
    std::vector<host_ref<service_base>> services;
  };
  service_class& class_of(const guid& class_guid);
  std::vector<service_class> classes_;
};
