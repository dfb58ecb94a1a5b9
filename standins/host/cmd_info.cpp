#include "host_commands.h"

#include <cstdio>

int run_info(host_session& session, const std::vector<std::wstring>&) {
  component_client& client = session.component.client();
  std::printf("module path: %s\n", session.component.module_path_utf8().c_str());
  std::printf("client version: %u\n", static_cast<unsigned>(client.client_version()));
  std::printf("debug build: %s\n", client.is_debug_build() ? "yes" : "no");
  unsigned index = 0;
  for (service_factory_base* factory : session.component.factories())
    std::printf("factory %u: %s\n", index++, describe_class(*factory->class_guid).c_str());
  return 0;
}
