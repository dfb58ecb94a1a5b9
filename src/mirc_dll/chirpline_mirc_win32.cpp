// chirpline_mirc.dll: mIRC's $dll(chirpline_mirc.dll, title, ) gives the
// title the player started last, as the component publishes it in the block
// "ChirplineNowPlaying". Built without the C++ runtime (no exception, no
// allocation, no stream), linked statically: it needs nothing beside it.
#include "mirc_dll_interface_win32.h"
#include "mirc_load_info.h"
#include "now_playing/now_playing_protocol.h"

#include <windows.h>

namespace {

// What LoadDll learnt. Without a LoadDll (mIRC before 5.8) the text is not
// UTF-16 and the value is empty.
bool g_unicode = false;
std::uint32_t g_data_units = 900;

using mirc_dll_interface::halt;
using mirc_dll_interface::value;

// The section and its view, each closed on every way out.
struct section_owner {
  HANDLE handle;
  ~section_owner() {
    if (handle != nullptr) CloseHandle(handle);
  }
};
struct view_owner {
  void* view;
  ~view_owner() {
    if (view != nullptr) UnmapViewOfFile(view);
  }
};

// Opened afresh at each call, so a player that restarted is seen; nothing
// here waits for the player, which may be gone or never have started.
bool read_published_title(char16_t* out, std::uint32_t& length) {
  const section_owner section{OpenFileMappingW(FILE_MAP_READ, FALSE, now_playing::block_name)};
  if (section.handle == nullptr) return false;
  const view_owner view{MapViewOfFile(section.handle, FILE_MAP_READ, 0, 0, 0)};
  if (view.view == nullptr) return false;
  // A block of that name made by some other program may be smaller than ours.
  MEMORY_BASIC_INFORMATION region;
  if (VirtualQuery(view.view, &region, sizeof region) != sizeof region) return false;
  return now_playing::read_title(view.view, region.RegionSize, out, length);
}

} // namespace

extern "C" {

__declspec(dllexport) void __stdcall LoadDll(LOADINFO* info) {
  const mirc_dll::load_info_fields fields = mirc_dll::load_info_fields_of(info->mVersion);
  info->mKeep = TRUE; // the calls are cheap and keep nothing: no reason to be loaded anew each time
  if (fields.unicode) info->mUnicode = TRUE;
  g_unicode = fields.unicode;
  g_data_units = mirc_dll::data_units(fields, fields.bytes ? info->mBytes : 0);
}

__declspec(dllexport) int __stdcall UnloadDll(int /*timeout*/) {
  return 1; // nothing is kept between calls: unload whenever mIRC likes
}

// $dll(chirpline_mirc.dll, title, ): the title, cut at a character boundary
// to what data holds with its terminator; empty when no player publishes
// one, no track has started, or the block fails its checks.
__declspec(dllexport) int __stdcall title(HWND, HWND, wchar_t* data, wchar_t*, BOOL, BOOL) {
  if (data == nullptr) return halt;
  if (!g_unicode) {
    *reinterpret_cast<char*>(data) = '\0'; // byte text: an empty value
    return value;
  }
  if (g_data_units == 0) return value;
  char16_t text[now_playing::text_units];
  std::uint32_t length = 0;
  if (!read_published_title(text, length)) length = 0;
  const std::uint32_t units = now_playing::units_that_fit(text, length, g_data_units);
  for (std::uint32_t i = 0; i < units; ++i)
    data[i] = static_cast<wchar_t>(text[i]);
  data[units] = L'\0';
  return value;
}

} // extern "C"
