#include "component_module_win32.h"
#include "host/identity.h"
#include "host/playback.h"
#include "host/preferences.h"
#include "text_win32.h"

#include <cstdio>

namespace {

std::wstring full_path_of(const std::wstring& path) {
  wchar_t buffer[MAX_PATH * 4];
  DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 4, buffer, nullptr);
  if (n == 0 || n >= MAX_PATH * 4) return path;
  return std::wstring(buffer, n);
}

std::wstring file_name_of(const std::wstring& path) {
  auto cut = path.find_last_of(L"\\/");
  return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

} // namespace

loaded_component::loaded_component(const std::wstring& dll_path, host_registry& registry) {
  const std::wstring full = full_path_of(dll_path);
  path_utf8_ = to_utf8(full);
  HMODULE module = LoadLibraryW(full.c_str());
  if (module == nullptr)
    throw component_load_error("cannot load " + path_utf8_ + ": " + system_error_text(GetLastError()));
  module_handle owned(module);
  auto entry = reinterpret_cast<corvane_get_interface_fn>(
      reinterpret_cast<void*>(GetProcAddress(module, "corvane_get_interface")));
  if (entry == nullptr)
    throw component_load_error(path_utf8_ + " is not a Corvane component (no corvane_get_interface)");
  component_client* client = entry(&registry, module);
  if (client == nullptr) throw component_load_error(path_utf8_ + " returned no client interface");
  const std::uint32_t version = client->client_version();
  if (version != component_client_version)
    throw component_load_error(path_utf8_ + " speaks client version " + std::to_string(version) + ", this host " +
                               std::to_string(component_client_version));
  client->set_module_path(path_utf8_.c_str(), to_utf8(file_name_of(full)).c_str());
  module_ = std::move(owned);
  client_ = client;
}

loaded_component::~loaded_component() {
  if (client_ && ready_) client_->set_services_ready(false);
}

void loaded_component::set_services_ready(bool ready) {
  client_->set_services_ready(ready);
  ready_ = ready;
}

std::vector<service_factory_base*> loaded_component::factories() const {
  std::vector<service_factory_base*> chain;
  for (service_factory_base* f = client_->first_factory(); f != nullptr; f = f->next)
    chain.push_back(f);
  return chain;
}

std::vector<service_ptr_t<service_base>> loaded_component::services(const guid& class_guid) const {
  std::vector<service_ptr_t<service_base>> found;
  for (service_factory_base* f : factories()) {
    if (f->class_guid == nullptr || *f->class_guid != class_guid) continue;
    service_ptr_t<service_base> service;
    f->create(service.receive());
    if (service) found.push_back(std::move(service));
  }
  return found;
}

std::string describe_class(const guid& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned long>(g.data1), g.data2, g.data3, g.data4[0], g.data4[1], g.data4[2], g.data4[3],
                g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
  std::string out = text;
  if (g == play_callback_static_class_guid)
    out += " play_callback_static";
  else if (g == preferences_page_class_guid)
    out += " preferences_page";
  else if (g == componentversion_class_guid)
    out += " componentversion";
  else if (g == component_installation_validator_class_guid)
    out += " component_installation_validator";
  return out;
}
