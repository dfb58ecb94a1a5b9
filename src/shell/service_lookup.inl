#pragma once
#include "shell/module_state.h"

template <typename Action> void for_each_service(const guid& class_guid, Action&& action) {
  host_api* api = module_host_api();
  if (api == nullptr) return;
  const std::uint32_t cls = api->find_class(class_guid);
  service_ptr_t<service_base> instance;
  for (std::uint32_t index = 0;; ++index) {
    if (!api->create_instance(instance.receive(), cls, index)) break;
    action(instance.get());
  }
}
