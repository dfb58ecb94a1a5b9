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

// Bytes of committed, readable memory from the start of view: a block of
// that name made by some other program may be smaller than ours, or made
// with pages reserved and never committed, which no reader may touch.
std::size_t readable_bytes(const void* view) {
  MEMORY_BASIC_INFORMATION region;
  if (VirtualQuery(view, &region, sizeof region) != sizeof region || region.State != MEM_COMMIT) return 0;
  constexpr DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                             PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  if ((region.Protect & readable) == 0 || (region.Protect & PAGE_GUARD) != 0) return 0;
  return region.RegionSize;
}

// The published title, cut to capacity units with its terminator and made
// safe for mIRC's command line, into out (text_units units). Returns why
// there is no title, as the /np script says it after "Chirpline: " on the
// user's screen only (with a title: that there is one). Opened afresh at
// each call, so a player that restarted is seen; nothing here waits for the
// player, which may be gone or never have started.
const char* read_published_title(std::size_t capacity, char16_t* out, std::uint32_t& units) {
  static constexpr char not_ours[] =
      "another program holds the name ChirplineNowPlaying, where Corvane keeps the title (see Corvane's console)";
  out[0] = 0;
  units = 0;
  const section_owner section{OpenFileMappingW(FILE_MAP_READ, FALSE, now_playing::block_name)};
  if (section.handle == nullptr)
    return "Corvane is not running, has started no track yet, or has no Chirpline component";
  const view_owner view{MapViewOfFile(section.handle, FILE_MAP_READ, 0, 0, 0)};
  if (view.view == nullptr) return not_ours;
  switch (now_playing::read_client_title(view.view, readable_bytes(view.view), capacity, out, units)) {
  case now_playing::read_result::title:
    return "Corvane has a title now; try again";
  case now_playing::read_result::empty:
    return "the title of the track Corvane plays is empty";
  case now_playing::read_result::closed:
    return "Corvane has quit";
  case now_playing::read_result::changing:
    return "Corvane changed the title while it was read; try again";
  case now_playing::read_result::not_ours:
    break;
  }
  return not_ours;
}

// text (ASCII) into data as the text form LoadDll settled, cut to what data holds.
void put_text(void* data, const char* text) {
  const std::uint32_t room = g_unicode ? g_data_units : 900;
  if (room == 0) return;
  std::uint32_t n = 0;
  for (; text[n] != '\0' && n + 1 < room; ++n) {
    if (g_unicode)
      static_cast<wchar_t*>(data)[n] = static_cast<wchar_t>(text[n]);
    else
      static_cast<char*>(data)[n] = text[n];
  }
  if (g_unicode)
    static_cast<wchar_t*>(data)[n] = L'\0';
  else
    static_cast<char*>(data)[n] = '\0';
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
// to what data holds with its terminator, with the same rule as the
// component's for '|' and control characters; empty when there is none
// (reason says why).
__declspec(dllexport) int __stdcall title(HWND, HWND, wchar_t* data, wchar_t*, BOOL, BOOL) {
  if (data == nullptr) return halt;
  if (!g_unicode) {
    *reinterpret_cast<char*>(data) = '\0'; // byte text: an empty value
    return value;
  }
  if (g_data_units < 1) return value; // no room even for the terminator
  char16_t text[now_playing::text_units];
  std::uint32_t units = 0;
  read_published_title(g_data_units, text, units);
  for (std::uint32_t i = 0; i < units; ++i)
    data[i] = static_cast<wchar_t>(text[i]);
  data[units] = L'\0';
  return value;
}

// $dll(chirpline_mirc.dll, reason, ): why title gives nothing, in a few
// words, also to a mIRC too old for title.
__declspec(dllexport) int __stdcall reason(HWND, HWND, wchar_t* data, wchar_t*, BOOL, BOOL) {
  if (data == nullptr) return halt;
  if (!g_unicode) {
    put_text(data, "mIRC 7.0 or later is needed");
    return value;
  }
  char16_t text[now_playing::text_units];
  std::uint32_t units = 0;
  put_text(data, read_published_title(now_playing::text_units, text, units));
  return value;
}

} // extern "C"
