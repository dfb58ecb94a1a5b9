#pragma once
#include "runtime/module_state.h"

// Each instance is created into an empty slot, so the walk is sound whether or
// not the host releases what the slot held; the previous instance is released
// once the next one has replaced it, the last one when the walk ends (also when
// the action throws).
template <typename Action> void for_each_service(const guid& class_guid, Action&& action) {
  host_api* api = module_host_api();
  if (api == nullptr) return;
  const std::uint32_t cls = api->find_class(class_guid);
  service_ptr_t<service_base> instance;
  for (std::uint32_t index = 0;; ++index) {
    service_ptr_t<service_base> next;
    if (!api->create_instance(next.receive(), cls, index)) break;
    instance = std::move(next);
    action(instance.get());
  }
}
