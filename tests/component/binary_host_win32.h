// What a host knows of the component: the host declarations, the file, and
// the exported name. Loads the real cor_chirpline.dll from this program's
// folder and calls its tables by slot number, the way a foreign host does.
#pragma once
#include "host/client_interface.h"

#include <string>

#include <windows.h>

inline std::wstring program_folder() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, n);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

inline std::wstring component_path() { return program_folder() + L"cor_chirpline.dll"; }

// One load of the component; FreeLibrary when it goes.
class component_library {
public:
  component_library() : module_(LoadLibraryExW(component_path().c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) {}
  component_library(const component_library&) = delete;
  component_library& operator=(const component_library&) = delete;
  ~component_library() { unload(); }

  HMODULE module() const noexcept { return module_; }
  void unload() noexcept {
    if (module_ != nullptr) FreeLibrary(module_);
    module_ = nullptr;
  }
  corvane_get_interface_fn entry_point() const noexcept {
    return reinterpret_cast<corvane_get_interface_fn>(
        reinterpret_cast<void*>(GetProcAddress(module_, "corvane_get_interface")));
  }

private:
  HMODULE module_;
};

// Calls slot `slot` of object's operation table with the platform's member
// calling convention (this-call on i686; x86-64 has one convention, the object
// its first argument), knowing nothing of the C++ class.
#if defined(__i386__)
#define CHIRPLINE_SLOT_CALL __attribute__((thiscall))
#else
#define CHIRPLINE_SLOT_CALL
#endif
template <typename R, typename... A> R call_slot(const void* object, int slot, A... args) {
  using member_fn = R(CHIRPLINE_SLOT_CALL*)(const void*, A...);
  const member_fn* table = *static_cast<const member_fn* const*>(object);
  return table[slot](object, args...);
}

// The module whose image holds address (null if none does).
inline HMODULE module_of(const void* address) {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     static_cast<LPCWSTR>(address), &module);
  return module;
}
