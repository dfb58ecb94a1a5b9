// The seven operations through which the host drives the component, and the
// exported entry point that hands them out.
#pragma once
#include "host/host_api.h"
#include "host/settings_stream.h"

class component_client {
public:
  virtual std::uint32_t client_version() = 0;
  virtual service_factory_base* first_factory() = 0;
  virtual void save_settings(settings_writer& writer, abort_handle& abort) = 0;
  virtual void load_settings(settings_reader& reader, abort_handle& abort) = 0;
  virtual void set_module_path(const char* full_path, const char* file_name) = 0;
  virtual void set_services_ready(bool ready) = 0;
  virtual bool is_debug_build() = 0;

protected:
  ~component_client() = default;
};

constexpr std::uint32_t component_client_version = 76;

using corvane_get_interface_fn = component_client* (*)(host_api* api, void* module_handle);
