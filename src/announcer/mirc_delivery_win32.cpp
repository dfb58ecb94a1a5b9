// mIRC's shared-memory command interface (Win32 only): the command goes into
// a named 4096-byte section as UTF-16, then message 1224 tells the first child
// of the "MDIClient" window of the first mIRC window to run it from there.
#include "announcer/mirc_command.h"
#include "announcer/mirc_delivery.h"
#include "announcer/mirc_interface.h"
#include "announcer/mirc_reply.h"
#include "runtime/console.h"
#include "support/pfc/string8.h"
#include "support/unique_handle_win32.h"
#include "support/utf8_convert.h"

#include <cstring>
#include <exception>
#include <type_traits>
#include <utility>

#include <windows.h>

namespace {

static_assert(mirc_interface::command_message == WM_USER + 200, "mIRC's command message");
// As typed in the edit box, through mIRC's flood protection, from UTF-16 text:
// mIRC 7 and later read a block without the Unicode bit in the system's code
// page, which would garble every title that is not plain ASCII.
constexpr WPARAM mirc_command_method =
    mirc_interface::method_as_typed | mirc_interface::method_flood_protection | mirc_interface::method_unicode;

// "mIRC" for 0, "mIRC1" to "mIRC9" for 1 to 9, in both encodings.
struct block_name {
  explicit block_name(unsigned index) noexcept {
    std::memcpy(text, "mIRC", 5);
    if (index != 0) {
      text[4] = static_cast<char>('0' + index);
      text[5] = '\0';
    }
    for (int i = 0; i < 6; ++i)
      wide[i] = static_cast<wchar_t>(text[i]);
  }
  char text[6] = {};
  wchar_t wide[6] = {};
};

// Creates the block "mIRC", or, when some other program holds it already, the
// first of "mIRC1" to "mIRC9" that does not exist yet: writing into a block we
// did not create would clobber that program's command. A name we may not
// open (a block an administrator's program made) is just as taken. None of
// the names is ours here: a late block of ours is gone before a new one is
// made.
unique_handle create_block(unsigned& index) {
  for (unsigned i = 0; i < mirc_interface::block_names; ++i) {
    const block_name name(i);
    unique_handle section(
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, mirc_interface::block_size, name.wide));
    const DWORD error = GetLastError();
    if (!section && error == ERROR_ACCESS_DENIED) continue;
    if (!section) {
      pfc::string8 what("cannot create the shared block ");
      what.append_text(name.text, pfc::infinite_length);
      report_platform_failure(what.text_ptr(), error);
      return {};
    }
    if (error == ERROR_ALREADY_EXISTS) continue;
    index = i;
    return section;
  }
  console_error("the shared blocks mIRC and mIRC1 to mIRC9 are all held by other programs; track not announced");
  return {};
}

// Calls visit(window) for every top-level window of the desktop until it
// returns false. An exception from visit stops the walk inside the callback
// and is raised again once the platform has returned.
template <typename Visit> struct window_walk {
  Visit& visit;
  std::exception_ptr failure;
};

template <typename Visit> BOOL CALLBACK visit_window(HWND window, LPARAM context) {
  auto& walk = *reinterpret_cast<window_walk<Visit>*>(context);
  try {
    return walk.visit(window) ? TRUE : FALSE;
  } catch (...) {
    walk.failure = std::current_exception();
    return FALSE;
  }
}

template <typename Visit> void for_each_desktop_window(Visit&& visit) {
  window_walk<std::remove_reference_t<Visit>> walk{visit, nullptr};
  EnumDesktopWindows(nullptr, &visit_window<std::remove_reference_t<Visit>>, reinterpret_cast<LPARAM>(&walk));
  if (walk.failure) std::rethrow_exception(walk.failure);
}

bool is_mirc_window(HWND window) {
  wchar_t class_name[256];
  const UINT length = RealGetWindowClassW(window, class_name, 256);
  return length != 0 && mirc_class_name_matches(class_name, length);
}

// What mIRC's queue may still hold of ours: held until mIRC has answered a
// later message, at the latest until the component unloads.
late_block_t<unique_handle, HWND> late;

// One message to mIRC, its wait bounded by bound_ms. The platform gives up on
// a window it already knows to be hung without waiting, with the same error
// as a wait that ran out: only the time tells the two apart.
mirc_reply send_bounded(HWND target, UINT message, WPARAM method, LPARAM block_index, std::uint32_t bound_ms) noexcept {
  DWORD_PTR answer = 0;
  const ULONGLONG sent_at = GetTickCount64();
  if (SendMessageTimeoutW(target, message, method, block_index, SMTO_BLOCK | SMTO_ABORTIFHUNG, bound_ms, &answer) != 0)
    return {mirc_reply::kind::answered, answer, 0};
  const DWORD error = GetLastError();
  if (error != ERROR_TIMEOUT && error != 0) return {mirc_reply::kind::failed, 0, error};
  if (GetTickCount64() - sent_at < bound_ms / 2) return {mirc_reply::kind::hung, 0, 0};
  return {mirc_reply::kind::timed_out, 0, 0};
}

// WM_NULL needs no block and does nothing, yet mIRC answers it only after
// starting on every message sent before it. A window that is gone has dropped
// whatever was queued for it, whatever error the send reports. `hung` is set
// when the question came back without a wait (the platform counts the window
// hung, or refused the message).
bool mirc_answers(HWND window, bool& hung) noexcept {
  const mirc_reply reply = send_bounded(window, WM_NULL, 0, 0, mirc_catch_up_timeout_ms);
  if (reply.what == mirc_reply::kind::answered || !IsWindow(window)) return true;
  hung = reply.what != mirc_reply::kind::timed_out;
  return false;
}

// The window mIRC takes commands through: the first child of the "MDIClient"
// window of the first mIRC window. Null once a line has said why there is none.
HWND find_command_target() {
  HWND mirc_window = nullptr;
  for_each_desktop_window([&](HWND window) {
    if (!is_mirc_window(window)) return true;
    console_info("found mirc window");
    mirc_window = window;
    return false; // only the first mIRC gets the command
  });
  if (mirc_window == nullptr) {
    console_error("no mIRC window found; track not announced");
    return nullptr;
  }
  HWND mdi_client = FindWindowExW(mirc_window, nullptr, L"MDIClient", nullptr);
  if (mdi_client == nullptr) {
    console_error("the mIRC window has no MDIClient window; track not announced");
    return nullptr;
  }
  HWND target = GetWindow(mdi_client, GW_CHILD);
  if (target == nullptr) console_error("mIRC's MDIClient window has no child window; track not announced");
  return target;
}

} // namespace

void deliver_command(const char* command_text) {
  HWND target = find_command_target();
  if (target == nullptr) return;
  // Asked before any block is made: a message still queued would read a new
  // block of the name it names.
  bool hung = false;
  if (!late.caught_up(target, [&](HWND window) { return mirc_answers(window, hung); })) {
    console_error(hung ? "mIRC is not responding; track not announced"
                       : "mIRC is still busy with an earlier command; track not announced");
    return;
  }
  unsigned block_index = 0;
  unique_handle section = create_block(block_index);
  if (!section) return;

  const std::uint32_t length = pfc::bounded_length(command_text, pfc::infinite_length);
  std::size_t taken = 0;
  {
    const unique_view view(MapViewOfFile(section.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!view) {
      const DWORD error = GetLastError();
      pfc::string8 what("cannot map the shared block ");
      what.append_text(block_name(block_index).text, pfc::infinite_length);
      report_platform_failure(what.text_ptr(), error);
      return;
    }
    // The view starts on a page boundary, so it is aligned for UTF-16 units.
    taken = fit_command_into_block(static_cast<char16_t*>(view.get()), command_text);
  } // unmapped before anything below can raise

  if (taken < length) {
    pfc::string8 message;
    describe_command_cut(command_text, length, static_cast<std::uint32_t>(taken), message);
    console_info(message.text_ptr());
  }

  // The section closes on every way out but one: a late message hands it to
  // `late` (mIRC may still read it).
  settle_reply(
      late, std::move(section), target,
      send_bounded(target, mirc_interface::command_message, mirc_command_method, block_index, mirc_answer_timeout_ms));
}
