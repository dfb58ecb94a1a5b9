#include "runtime/module_state.h"
#include "runtime/static_order.h"
#include "support/pfc/string8.h"

namespace {
host_api* g_host_api = nullptr;
pfc::exact_text g_module_path CHIRPLINE_STATIC_ORDER(static_step_module_path);
pfc::exact_text g_module_file_name CHIRPLINE_STATIC_ORDER(static_step_module_file_name);
bool g_services_ready = false;
} // namespace

host_api* module_host_api() noexcept { return g_host_api; }
void set_module_host_api(host_api* api) noexcept { g_host_api = api; }

const char* module_path() noexcept { return g_module_path.c_str(); }
const char* module_file_name() noexcept { return g_module_file_name.c_str(); }

void set_module_path(const char* full_path, const char* file_name) {
  // Build both copies before replacing either, so a failure changes nothing.
  pfc::exact_text path, name;
  path.assign(full_path);
  name.assign(file_name);
  g_module_path = std::move(path);
  g_module_file_name = std::move(name);
}

bool services_ready() noexcept { return g_services_ready; }
void set_services_ready(bool ready) noexcept { g_services_ready = ready; }
