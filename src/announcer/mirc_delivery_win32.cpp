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

// A thread of one process: thread ids are unique only while the thread runs,
// and a mIRC started again gets new ones.
using mirc_thread = std::uint64_t;
using late_block = late_block_t<unique_handle, HWND, mirc_thread>;

mirc_thread thread_of(HWND window) noexcept {
  DWORD process = 0;
  const DWORD thread = GetWindowThreadProcessId(window, &process);
  return thread == 0 ? 0 : (static_cast<mirc_thread>(process) << 32) | thread;
}

// The thread of the window commands went to last, kept: a window keeps its
// thread for life, and asking the platform costs a round trip to the window
// manager on every track (under Wine, a few per cent of the announcement).
mirc_thread thread_of_target(HWND window) noexcept {
  static HWND last_window = nullptr;
  static mirc_thread last_thread = 0;
  if (window != last_window || last_thread == 0) {
    last_thread = thread_of(window);
    last_window = window;
  }
  return last_thread;
}

// What mIRC's queue may still hold of ours: held until mIRC has answered a
// later message, at the latest until the component unloads.
late_block late;

// One message to a window, its wait bounded by bound_ms. The platform gives
// up on a window it already knows to be hung without waiting, with the same
// error as a wait that ran out: only the time tells the two apart.
mirc_reply send_bounded(HWND window, UINT message, WPARAM w, LPARAM l, std::uint32_t bound_ms) noexcept {
  DWORD_PTR answer = 0;
  const ULONGLONG sent_at = GetTickCount64();
  if (SendMessageTimeoutW(window, message, w, l, SMTO_BLOCK | SMTO_ABORTIFHUNG, bound_ms, &answer) != 0)
    return {mirc_reply::kind::answered, answer, 0};
  const DWORD error = GetLastError();
  if (error != ERROR_TIMEOUT && error != 0) return {mirc_reply::kind::failed, 0, error};
  if (GetTickCount64() - sent_at < bound_ms / 2) return {mirc_reply::kind::hung, 0, 0};
  return {mirc_reply::kind::timed_out, 0, 0};
}

// The catch-up questions of one track share one bound, so a track waits a
// quarter of a second at most however many mIRCs it asks. WM_NULL needs no
// block and does nothing, yet mIRC answers it only after starting on every
// message sent to its thread before it. A window that is gone has dropped
// whatever was queued for it, whatever error the send reports. `unanswered`
// keeps the last reply that was not an answer.
class catch_up_questions {
public:
  bool ask(HWND window) noexcept {
    const ULONGLONG spent = GetTickCount64() - began_;
    // Too little left to tell a wait from a refusal: as good as no answer.
    if (spent + minimum_bound_ms > mirc_catch_up_timeout_ms) {
      unanswered = {mirc_reply::kind::timed_out, 0, 0};
      return false;
    }
    const mirc_reply reply =
        send_bounded(window, WM_NULL, 0, 0, mirc_catch_up_timeout_ms - static_cast<std::uint32_t>(spent));
    if (reply.what == mirc_reply::kind::answered || !IsWindow(window)) return true;
    unanswered = reply;
    return false;
  }
  mirc_reply unanswered{};

private:
  static constexpr std::uint32_t minimum_bound_ms = 50;
  const ULONGLONG began_ = GetTickCount64();
};

// Where the command goes, then every mIRC window until each one's thread has
// answered this instance (then the first alone: the walk stops there, as
// cheap as it ever was). What has answered is kept for as many mIRCs as
// this; more on one desktop could not be kept apart.
constexpr std::size_t most_mircs = late_block::threads_kept;
struct mirc_list {
  late_block::mirc at[most_mircs + 1];
  std::size_t count = 1;
};

// The window mIRC takes commands through (the first child of the "MDIClient"
// window of the first mIRC window) in at[0], then every mIRC window, or with
// `every` false only the first. False once a line has said why no command
// can go.
bool find_mircs(mirc_list& mircs, bool every) {
  HWND first = nullptr;
  std::size_t found = 0;
  for_each_desktop_window([&](HWND window) {
    if (!is_mirc_window(window)) return true;
    if (first == nullptr) {
      console_info("found mirc window");
      first = window;
    }
    if (!every) return false;
    if (++found <= most_mircs) mircs.at[mircs.count++] = {window, thread_of(window)};
    return true;
  });
  if (first == nullptr) {
    console_error("no mIRC window found; track not announced");
    return false;
  }
  if (found > most_mircs) {
    char digits[64];
    pfc::string8 message("more than ");
    message.append_text(pfc::format_decimal(digits, most_mircs), pfc::infinite_length);
    message.append_text(" mIRC windows are open; track not announced", pfc::infinite_length);
    console_error(message.text_ptr());
    return false;
  }
  HWND mdi_client = FindWindowExW(first, nullptr, L"MDIClient", nullptr);
  if (mdi_client == nullptr) {
    console_error("the mIRC window has no MDIClient window; track not announced");
    return false;
  }
  HWND target = GetWindow(mdi_client, GW_CHILD);
  if (target == nullptr) {
    console_error("mIRC's MDIClient window has no child window; track not announced");
    return false;
  }
  mircs.at[0] = {target, thread_of_target(target)};
  return true;
}

} // namespace

void deliver_command(const char* command_text) {
  mirc_list mircs;
  if (!find_mircs(mircs, !late.every_mirc_asked())) return;
  // Asked before any block is made: a message still queued in any mIRC would
  // read a new block of the name it names.
  catch_up_questions questions;
  if (const late_block::mirc* silent =
          late.caught_up(mircs.at, mircs.count, [&](HWND window) { return questions.ask(window); })) {
    report_unanswered(questions.unanswered, silent->thread == mircs.at[0].thread);
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
  const late_block::mirc& target = mircs.at[0];
  settle_reply(late, std::move(section), target,
               send_bounded(target.window, mirc_interface::command_message, mirc_command_method,
                            static_cast<LPARAM>(block_index), mirc_answer_timeout_ms));
}
