// The stand-in's DLL calls, as mIRC 7.81 makes them: a DLL is loaded at its
// first call (a name without a folder beside the stand-in), LoadDll hears
// the version with every field, and mKeep and mUnicode are honoured; each
// procedure gets buffers of mBytes. UnloadDll(2) when the stand-in exits.
#pragma once
#include "handle_owner_win32.h"
#include "mirc_dll_calls.h"
#include "standin_output_win32.h"

#include <map>
#include <string>

#include <windows.h>

class mirc_dlls_win32 final : public mirc_dlls {
public:
  explicit mirc_dlls_win32(standin_output& output) noexcept : output_(output) {}
  ~mirc_dlls_win32();
  mirc_dlls_win32(const mirc_dlls_win32&) = delete;
  mirc_dlls_win32& operator=(const mirc_dlls_win32&) = delete;

  dll_reply call(const std::string& file, const std::string& proc, const std::string& data) override;
  bool unload(const std::string& file) override;

  // The size mIRC 7.81 gives data and parms, in bytes (8192 UTF-16 units).
  static constexpr DWORD buffer_bytes = 16384;

private:
  struct loaded {
    owned_module module;
    bool unicode = false;
  };
  // UnloadDll(timeout) where the DLL has one, then FreeLibrary.
  void release(const std::wstring& path, loaded& dll, int timeout);

  standin_output& output_;
  std::map<std::wstring, loaded> loaded_; // by full path
};
