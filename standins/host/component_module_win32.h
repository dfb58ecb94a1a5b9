// A component DLL loaded by path and brought up the way the player does it:
// entry point, version check, module path, services declared ready.
#pragma once
#include "handle_owner_win32.h"
#include "host/client_interface.h"
#include "host_registry.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <windows.h>

// A failure to bring a component up; what() is one line for the user.
class component_load_error : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

using module_handle = owned_module;

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
  std::vector<host_ref<service_base>> services(const guid& class_guid) const;

  void set_services_ready(bool ready);

private:
  module_handle module_;
  component_client* client_ = nullptr;
  std::string path_utf8_;
  bool ready_ = false;
};

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" and, when known, the class's name.
std::string describe_class(const guid& class_guid);

// Why a load failed, when Windows says only "module not found" (126) and never
// which module: the player reads the import tables itself to name it.
// The DLL names in the import table of the PE file at path, in table order;
// empty when the file cannot be read or is not a PE image.
std::vector<std::string> dll_imports(const std::wstring& path);

// 32 or 64 for a PE image built for i686 or x86-64, 0 for anything else or
// a file that cannot be read: a player loads only components of its own kind,
// and Windows says no more than "not a valid Win32 application" (193).
int image_bits(const std::wstring& path);

struct missing_dll {
  std::string name;      // empty when nothing is missing
  std::string needed_by; // the file name of the module that imports it
};

// The first import, depth first, that is neither loaded in this process
// (is_loaded) nor a file in the component's folder or the system folders:
// where LoadLibraryExW with LOAD_WITH_ALTERED_SEARCH_PATH looks.
missing_dll find_missing_dll(const std::wstring& component_path,
                             const std::function<bool(const std::string&)>& is_loaded);
