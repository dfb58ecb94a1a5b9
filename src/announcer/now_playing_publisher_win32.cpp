// The block "ChirplineNowPlaying" (Win32 only): made at the first track,
// written at every track, closed when the component unloads, so a player that
// quits or falls over leaves nothing behind for a reader to find.
#include "announcer/now_playing_title.h"
#include "now_playing/now_playing_protocol.h"
#include "runtime/console.h"
#include "support/exception_win32.h"
#include "support/pfc/string8.h"
#include "support/unique_handle_win32.h"

#include <utility>

#include <windows.h>

namespace {

class now_playing_publisher {
public:
  void publish(const char* command_text) noexcept {
    if (!view_ && !open()) return;
    write_now_playing_title(*static_cast<now_playing::block*>(view_.get()), command_text);
  }

private:
  // A block of that name that exists already is some other program's (or an
  // earlier player's, kept open for a moment by a reader): never written into,
  // for its readers would take our titles for its data or the other way
  // round. Tried again at the next track, so a reader that lets go turns
  // the titles on again.
  bool open() noexcept {
    unique_handle section(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, now_playing::block_size,
                                             now_playing::block_name));
    DWORD error = GetLastError();
    if (section && error != ERROR_ALREADY_EXISTS) {
      unique_view view(MapViewOfFile(section.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
      if (view) {
        section_ = std::move(section);
        view_ = std::move(view);
        return true;
      }
      error = GetLastError();
    }
    if (!told_) tell(section ? ERROR_ALREADY_EXISTS : error);
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
