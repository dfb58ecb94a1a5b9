#include "mirc_dlls_win32.h"

#include "mirc_dll/mirc_dll_interface_win32.h"

#include <cstring>
#include <cwchar>
#include <vector>

namespace {

// An export by name as the function type it is documented to have.
template <typename Function> Function find_export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

constexpr DWORD standin_version = 7 | 81 << 16; // 7.81

std::wstring wide_of(const std::string& text, UINT code_page) {
  const int n = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  if (n > 0) MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

std::string narrow_of(const std::wstring& text, UINT code_page) {
  const int n =
      WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  if (n > 0)
    WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

// A name without a folder is looked for beside mIRC, as mIRC does.
std::wstring full_path(const std::string& file) {
  const std::wstring name = wide_of(file, CP_UTF8);
  if (name.find_first_of(L"\\/:") != std::wstring::npos) return name;
  wchar_t self[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
  std::wstring folder(self, n);
  folder.erase(folder.find_last_of(L"\\/") + 1);
  return folder + name;
}

// mIRC's main window (the first top-level window of this thread) for mHwnd
// and mWnd; its active window is the status window inside it.
BOOL CALLBACK take_first_window(HWND window, LPARAM out) {
  *reinterpret_cast<HWND*>(out) = window;
  return FALSE;
}

HWND main_window() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), &take_first_window, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::string error_text(const char* what, DWORD error) {
  return std::string(what) + " (error " + std::to_string(error) + ")";
}

} // namespace

mirc_dlls_win32::~mirc_dlls_win32() {
  for (auto& [path, dll] : loaded_)
    release(path, dll, 2);
}

void mirc_dlls_win32::release(const std::wstring& path, loaded& dll, int timeout) {
  if (auto unload_dll = find_export<mirc_dll_interface::unload_dll>(dll.module.get(), "UnloadDll")) {
    const int answer = unload_dll(timeout);
    output_.report("dll: UnloadDll(" + std::to_string(timeout) + ") of " + narrow_of(path, CP_UTF8) + " returned " +
                   std::to_string(answer));
  }
  dll.module.reset();
}

dll_reply mirc_dlls_win32::call(const std::string& file, const std::string& proc, const std::string& data) {
  const std::wstring path = full_path(file);
  auto at = loaded_.find(path);
  bool keep = true;
  if (at == loaded_.end()) {
    loaded dll;
    dll.module.reset(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!dll.module) return {-1, error_text(("unable to open " + file).c_str(), GetLastError())};
    if (auto load_dll = find_export<mirc_dll_interface::load_dll>(dll.module.get(), "LoadDll")) {
      LOADINFO info{standin_version, main_window(), TRUE, FALSE, 0, buffer_bytes};
      load_dll(&info);
      keep = info.mKeep != FALSE;
      dll.unicode = info.mUnicode != FALSE;
      output_.report("dll: loaded " + file + " (LoadDll: mKeep=" + std::to_string(info.mKeep) +
                     " mUnicode=" + std::to_string(info.mUnicode) + ")");
    }
    at = loaded_.emplace(path, std::move(dll)).first;
  }
  loaded& dll = at->second;
  const auto procedure = find_export<mirc_dll_interface::procedure>(dll.module.get(), proc.c_str());
  if (procedure == nullptr) return {-1, "no such routine " + proc + " in " + file};

  // data and parms, mBytes each, the text in the form the DLL asked for.
  std::vector<char> data_buffer(buffer_bytes + 2, '\0'), parms(buffer_bytes + 2, '\0');
  if (dll.unicode) {
    const std::wstring text = wide_of(data, CP_UTF8).substr(0, buffer_bytes / 2 - 1);
    std::memcpy(data_buffer.data(), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  } else {
    const std::string text = narrow_of(wide_of(data, CP_UTF8), CP_ACP).substr(0, buffer_bytes - 1);
    std::memcpy(data_buffer.data(), text.c_str(), text.size() + 1);
  }
  HWND window = main_window();
  const int code = procedure(window, window, data_buffer.data(), parms.data(), FALSE, TRUE);
  dll_reply reply{code, {}};
  if (dll.unicode) {
    const auto* text = reinterpret_cast<const wchar_t*>(data_buffer.data());
    reply.data = narrow_of(std::wstring(text, wcsnlen(text, buffer_bytes / 2)), CP_UTF8);
  } else {
    reply.data =
        narrow_of(wide_of(std::string(data_buffer.data(), strnlen(data_buffer.data(), buffer_bytes)), CP_ACP), CP_UTF8);
  }
  if (!keep) {
    release(path, dll, 0);
    loaded_.erase(at);
  }
  return reply;
}

bool mirc_dlls_win32::unload(const std::string& file) {
  const auto at = loaded_.find(full_path(file));
  if (at == loaded_.end()) return false;
  release(at->first, at->second, 0);
  loaded_.erase(at);
  return true;
}
