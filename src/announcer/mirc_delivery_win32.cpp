// mIRC's shared-memory command interface (Win32 only): the command goes into
// a named 4096-byte section as UTF-16, then message 1224 tells the first child
// of the "MDIClient" window of the first mIRC window to run it from there.
// Each command has a section of a name never used before (mirc_blocks.h).
#include "announcer/mirc_command.h"
#include "announcer/mirc_delivery.h"
#include "announcer/mirc_interface.h"
#include "announcer/mirc_reply.h"
#include "runtime/console.h"
#include "support/pfc/string8.h"
#include "support/unique_handle_win32.h"

#include <cstring>
#include <utility>

#include <windows.h>

namespace {

static_assert(mirc_interface::command_message == WM_USER + 200, "mIRC's command message");
// As typed in the edit box, through mIRC's flood protection, from UTF-16 text:
// mIRC 7 and later read a block without the Unicode bit in the system's code
// page, which would garble every title that is not plain ASCII.
constexpr WPARAM mirc_command_method =
    mirc_interface::method_as_typed | mirc_interface::method_flood_protection | mirc_interface::method_unicode;

// "mIRC" and the number, in both encodings.
struct block_name {
  explicit block_name(std::uint32_t number) noexcept {
    std::memcpy(text, "mIRC", 4);
    pfc::format_decimal(text + 4, number);
    for (std::size_t i = 0; i < sizeof text; ++i)
      wide[i] = static_cast<wchar_t>(text[i]);
  }
  char text[16] = {};
  wchar_t wide[16] = {};
};

// The next number of this instance. The first comes from the performance
// counter and the process: another instance, in this process or another,
// starts somewhere else among two thousand million.
std::uint32_t take_block_number() noexcept {
  static std::uint32_t next = 0;
  if (next == 0) {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    next = first_block_number(static_cast<std::uint64_t>(now.QuadPart) ^
                              (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32));
  }
  const std::uint32_t number = next;
  next = next_block_number(number);
  return number;
}

// A block that this call alone made, under a number never used before. A name
// that exists (a block another program made, open to us or not, or another
// kind of object) is passed over, never written into.
unique_handle create_block(std::uint32_t& number) {
  DWORD error = 0;
  for (int tries = 0; tries < 16; ++tries) {
    number = take_block_number();
    unique_handle section(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                             mirc_interface::block_size, block_name(number).wide));
    error = GetLastError();
    if (section && error != ERROR_ALREADY_EXISTS) return section;
    if (!section && error != ERROR_ACCESS_DENIED && error != ERROR_INVALID_HANDLE) break;
  }
  pfc::string8 what("cannot create the shared block ");
  what.append_text(block_name(number).text, pfc::infinite_length);
  report_platform_failure(what.text_ptr(), error, "; track not announced");
  return {};
}

// Nothing here can raise: no failure has to be carried across the platform.
BOOL CALLBACK find_first_mirc(HWND window, LPARAM found) noexcept {
  wchar_t class_name[256];
  const UINT length = RealGetWindowClassW(window, class_name, 256);
  if (length == 0 || !mirc_class_name_matches(class_name, length)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// The window mIRC takes commands through: the first child of the "MDIClient"
// window of the first mIRC window. Null once a line has said why there is none.
HWND find_target() {
  HWND mirc = nullptr;
  EnumDesktopWindows(nullptr, &find_first_mirc, reinterpret_cast<LPARAM>(&mirc));
  if (mirc == nullptr) {
    console_error("no mIRC window found; track not announced");
    return nullptr;
  }
  console_info("found mirc window");
  HWND mdi_client = FindWindowExW(mirc, nullptr, L"MDIClient", nullptr);
  if (mdi_client == nullptr) {
    console_error("the mIRC window has no MDIClient window; track not announced");
    return nullptr;
  }
  HWND target = GetWindow(mdi_client, GW_CHILD);
  if (target == nullptr) console_error("mIRC's MDIClient window has no child window; track not announced");
  return target;
}

// A thread of one process: thread ids are unique only while the thread runs,
// and a mIRC started again gets new ones.
using mirc_thread = std::uint64_t;

// The thread of the window commands went to last, kept: a window keeps its
// thread for life, and asking the platform costs a round trip to the window
// manager on every track (under Wine, a few per cent of the announcement).
mirc_thread thread_of_target(HWND window) noexcept {
  static HWND last_window = nullptr;
  static mirc_thread last_thread = 0;
  if (window != last_window || last_thread == 0) {
    DWORD process = 0;
    const DWORD thread = GetWindowThreadProcessId(window, &process);
    last_thread = thread == 0 ? 0 : (static_cast<mirc_thread>(process) << 32) | thread;
    last_window = window;
  }
  return last_thread;
}

// The blocks of messages mIRC has not answered, until it answers a later
// one, their window goes, more are kept than the bound, or the component
// unloads.
kept_blocks_t<unique_handle, HWND, mirc_thread> unanswered;

// The command message, its wait bounded by bound_ms. The platform gives up on
// a window it already knows to be hung without waiting, with the same error as
// a wait that ran out: only the time tells the two apart.
mirc_reply send_command(HWND window, std::uint32_t number, std::uint32_t bound_ms) noexcept {
  DWORD_PTR answer = 0;
  const ULONGLONG sent_at = GetTickCount64();
  if (SendMessageTimeoutW(window, mirc_interface::command_message, mirc_command_method, static_cast<LPARAM>(number),
                          SMTO_BLOCK | SMTO_ABORTIFHUNG, bound_ms, &answer) != 0)
    return {mirc_reply::kind::answered, answer, 0};
  const DWORD error = GetLastError();
  if (!IsWindow(window)) return {mirc_reply::kind::gone, 0, error};
  if (error != ERROR_TIMEOUT && error != 0) return {mirc_reply::kind::failed, 0, error};
  if (GetTickCount64() - sent_at < bound_ms / 2) return {mirc_reply::kind::hung, 0, 0};
  return {mirc_reply::kind::timed_out, 0, 0};
}

} // namespace

void deliver_command(const char* command_text) {
  const HWND target = find_target();
  if (target == nullptr) return;
  unanswered.forget_gone([](HWND window) { return !IsWindow(window); });
  std::uint32_t number = 0;
  unique_handle section = create_block(number);
  if (!section) return;

  const std::uint32_t length = pfc::bounded_length(command_text, pfc::infinite_length);
  std::size_t taken = 0;
  {
    const unique_view view(MapViewOfFile(section.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!view) {
      const DWORD error = GetLastError();
      pfc::string8 what("cannot map the shared block ");
      what.append_text(block_name(number).text, pfc::infinite_length);
      report_platform_failure(what.text_ptr(), error, "; track not announced");
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

  // After one command went unanswered, the player waits for the next ones to
  // that mIRC only briefly: one long wait per stall. The section closes on
  // every way out but one: an unanswered message hands it to `unanswered`.
  const mirc_thread thread = thread_of_target(target);
  const bool stalled = unanswered.stalled(thread);
  settle_reply(unanswered, std::move(section), number, target, thread, stalled,
               send_command(target, number, stalled ? mirc_stall_wait_ms : mirc_answer_timeout_ms));
}
