#include "host/client_interface.h"
#include "runtime/module_state.h"
#include "runtime/service.h"
#include "settings/settings_stream_io.h"

#if defined(_WIN32)
#define CHIRPLINE_EXPORT __declspec(dllexport)
#else
#define CHIRPLINE_EXPORT __attribute__((visibility("default")))
#endif

namespace {

class component_client_impl final : public component_client {
public:
  std::uint32_t client_version() override { return component_client_version; }
  service_factory_base* first_factory() override { return factory_chain_head(); }
  void save_settings(settings_writer& writer, abort_handle& abort) override { write_all_variables(writer, abort); }
  void load_settings(settings_reader& reader, abort_handle& abort) override { read_all_variables(reader, abort); }
  void set_module_path(const char* full_path, const char* file_name) override {
    ::set_module_path(full_path, file_name);
  }
  void set_services_ready(bool ready) override { ::set_services_ready(ready); }
  bool is_debug_build() override { return false; }
};

component_client_impl g_client;

} // namespace

extern "C" CHIRPLINE_EXPORT component_client* corvane_get_interface(host_api* api, void* /*module_handle*/) {
  set_module_host_api(api);
  return &g_client;
}
