// The block "ChirplineNowPlaying" (Win32 only): made at the first track,
// written at every track, marked closed and let go when the component
// unloads, so a player that quits leaves no title behind, not even to a
// reader that still holds the block.
#include "announcer/now_playing_title.h"
#include "now_playing/now_playing_protocol.h"
#include "runtime/console.h"
#include "support/exception_win32.h"
#include "support/pfc/string8.h"
#include "support/unique_handle_win32.h"

#include <utility>

#include <windows.h>

namespace {

// Bytes of committed, readable and writable memory from the start of view.
std::size_t writable_bytes(const void* view) noexcept {
  MEMORY_BASIC_INFORMATION region;
  if (VirtualQuery(view, &region, sizeof region) != sizeof region || region.State != MEM_COMMIT) return 0;
  if ((region.Protect & (PAGE_READWRITE | PAGE_EXECUTE_READWRITE)) == 0 || (region.Protect & PAGE_GUARD) != 0) return 0;
  return region.RegionSize;
}

class now_playing_publisher {
public:
  now_playing_publisher() noexcept = default;
  now_playing_publisher(const now_playing_publisher&) = delete;
  now_playing_publisher& operator=(const now_playing_publisher&) = delete;
  // A reader may keep the block alive after the player has gone: it finds
  // it closed, with no title, and a new player may take it over.
  ~now_playing_publisher() {
    if (view_) now_playing::close_block(*static_cast<now_playing::block*>(view_.get()));
  }

  void publish(const char* command_text) noexcept {
    if (!view_ && !open()) return;
    write_now_playing_title(*static_cast<now_playing::block*>(view_.get()), command_text);
  }

private:
  // A block of that name that exists already is some other program's, never
  // written into, for its readers would take our titles for its data or the
  // other way round; or an earlier player's that a reader still holds, which
  // that player marked closed: that one is taken over. Tried again at the
  // next track, so a program that lets go turns the titles on again.
  bool open() noexcept {
    unique_handle section(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, now_playing::block_size,
                                             now_playing::block_name));
    DWORD error = GetLastError();
    if (section) {
      const bool existed = error == ERROR_ALREADY_EXISTS;
      unique_view view(MapViewOfFile(section.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
      error = view ? error : GetLastError();
      if (view && (!existed ||
                   now_playing::take_over(*static_cast<now_playing::block*>(view.get()), writable_bytes(view.get())))) {
        section_ = std::move(section);
        view_ = std::move(view);
        return true;
      }
      if (existed) error = ERROR_ALREADY_EXISTS;
    }
    if (!told_) tell(error);
    return false;
  }

  // Said once: a held name would otherwise add a line to every track.
  void tell(DWORD error) noexcept {
    told_ = true;
    const bool held = error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_HANDLE;
    try {
      if (held) {
        console_info("on-demand titles are off: another program holds the shared block ChirplineNowPlaying; "
                     "trying again at the next track");
      } else {
        const exception_win32 failure(error);
        pfc::string8 line("on-demand titles are off: cannot make the shared block ChirplineNowPlaying: ");
        char digits[64];
        line.append_text(failure.what(), pfc::infinite_length);
        line.append_text(" (system error ", pfc::infinite_length);
        line.append_text(pfc::format_decimal(digits, error), pfc::infinite_length);
        line.append_text("); trying again at the next track", pfc::infinite_length);
        console_info(line.text_ptr());
      }
    } catch (...) {
      // The announcement goes on without the line; nothing of it depends on it.
    }
  }

  unique_handle section_;
  unique_view view_;
  bool told_ = false;
};

// No step of the static order: it closes before the registered statics, and
// nothing of theirs uses it.
now_playing_publisher publisher;

} // namespace

void publish_now_playing(const char* command_text) noexcept { publisher.publish(command_text); }
