// A component DLL loaded by path and brought up the way the player does it:
// entry point, version check, module path, services declared ready.
#pragma once
#include "host/client_interface.h"
#include "host_registry.h"

#include <stdexcept>
#include <string>
#include <vector>

#include <windows.h>

// A failure to bring a component up; what() is one line for the user.
class component_load_error : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class module_handle {
public:
  explicit module_handle(HMODULE module = nullptr) noexcept : module_(module) {}
  module_handle(module_handle&& other) noexcept : module_(other.release()) {}
  module_handle& operator=(module_handle&& other) noexcept {
    if (this != &other) {
      reset();
      module_ = other.release();
    }
    return *this;
  }
  ~module_handle() { reset(); }
  HMODULE get() const noexcept { return module_; }
  HMODULE release() noexcept {
    HMODULE m = module_;
    module_ = nullptr;
    return m;
  }
  void reset() noexcept {
    if (module_) FreeLibrary(release());
  }

private:
  HMODULE module_;
};

class loaded_component {
public:
  // Loads and starts the component; throws component_load_error.
  loaded_component(const std::wstring& dll_path, host_registry& registry);
  loaded_component(const loaded_component&) = delete;
  loaded_component& operator=(const loaded_component&) = delete;
  // Declares the host's services gone, then unloads.
  ~loaded_component();

  component_client& client() const noexcept { return *client_; }
  const std::string& module_path_utf8() const noexcept { return path_utf8_; }
  HMODULE module() const noexcept { return module_.get(); }

  // The factories in chain order.
  std::vector<service_factory_base*> factories() const;
  // Every service the component registers under class_guid, in chain order.
  std::vector<service_ptr_t<service_base>> services(const guid& class_guid) const;

  void set_services_ready(bool ready);

private:
  module_handle module_;
  component_client* client_ = nullptr;
  std::string path_utf8_;
  bool ready_ = false;
};

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" and, when known, the class's name.
std::string describe_class(const guid& class_guid);
