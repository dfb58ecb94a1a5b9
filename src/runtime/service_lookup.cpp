#include "runtime/service.h"
#include "support/pfc/exceptions.h"

namespace {
// Zero-initialised before any constructor runs, so registration order is the
// order of static construction.
service_factory_base* g_chain_head = nullptr;
} // namespace

service_factory_base* factory_chain_head() noexcept { return g_chain_head; }

service_factory_registration::service_factory_registration(const guid* cls) : service_factory_base(cls, g_chain_head) {
  g_chain_head = this;
}

void get_single_service(service_base*& out_ref, const guid& class_guid) {
  host_api* api = module_host_api();
  if (api == nullptr) throw exception_service_not_found();
  const std::uint32_t cls = api->find_class(class_guid);
  const std::uint32_t count = api->count_instances(cls);
  if (count == 0) throw exception_service_not_found();
  if (count >= 2) throw exception_service_duplicated();
  if (!api->create_instance(out_ref, cls, 0)) throw exception_service_not_found();
}
