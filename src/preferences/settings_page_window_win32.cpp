#include "preferences/settings_page_window_win32.h"
#include "preferences/preferences_dialog_logic.h"
#include "preferences/preferences_resource.h"
#include "runtime/console.h"
#include "support/exception_win32.h"

#include <utility>

// The module this code is linked into: the dialog template travels with it.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

// The dialog is created with creation parameter 0, so its first message
// cannot carry the object: the object waits here, seen by its own thread
// only, until that message takes it.
thread_local settings_page_window* t_being_created = nullptr;

// A failure of a message the host's loop delivered (a user's click) has no
// call of ours to travel with: the user hears of it on the console.
void report_stray(std::exception_ptr failure) noexcept {
  try {
    std::rethrow_exception(std::move(failure));
  } catch (const std::exception& e) {
    try {
      console_error(e.what());
    } catch (...) {
      // Nothing is left to tell it to; the page goes on.
    }
  } catch (...) {
  }
}

} // namespace

settings_page_window::~settings_page_window() {
  // The logic goes with the page that holds this window: the last messages,
  // sent while window_ destroys a window the host left, must not reach it.
  logic_ = nullptr;
}

void settings_page_window::create(HWND parent, preferences_dialog_logic& logic) {
  logic_ = &logic;
  settings_page_window* const outer = std::exchange(t_being_created, this);
  SetLastError(0);
  HWND window;
  {
    const deferred_failure::own_call marked(failures_);
    window = CreateDialogParamW(reinterpret_cast<HINSTANCE>(&__ImageBase), MAKEINTRESOURCEW(IDD_SETTINGS_PAGE), parent,
                                dialog_procedure, 0);
  }
  const DWORD error = GetLastError();
  // Still offered when creation failed before the first message.
  t_being_created = outer;
  if (failures_.has_pending()) {
    // Filling the controls failed: the half-made page goes, the cause travels on.
    window_.reset();
    failures_.rethrow_pending();
  }
  if (window == nullptr) {
    // Putting the slot back may go through TlsGetValue, which clears the last
    // error when it succeeds.
    SetLastError(error);
    raise_last_win32_error();
  }
}

INT_PTR CALLBACK settings_page_window::dialog_procedure(HWND window, UINT message, WPARAM wparam, LPARAM) {
  auto* self = reinterpret_cast<settings_page_window*>(GetWindowLongPtrW(window, DWLP_USER));
  if (self == nullptr) {
    self = std::exchange(t_being_created, nullptr);
    if (self == nullptr) return FALSE;
    self->window_.reset(window);
    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
  }
  if (message == WM_NCDESTROY) {
    self->window_.release(); // the window's last message: it is gone
    return FALSE;
  }
  return self->on_message(message, wparam);
}

INT_PTR settings_page_window::on_message(UINT message, WPARAM wparam) {
  const bool control_changed =
      message == WM_COMMAND && ((LOWORD(wparam) == IDC_SEND_ENABLED && HIWORD(wparam) == BN_CLICKED) ||
                                (LOWORD(wparam) == IDC_TITLE_PATTERN && HIWORD(wparam) == EN_CHANGE));
  if (logic_ == nullptr || (message != WM_INITDIALOG && !control_changed)) return FALSE;
  // WM_INITDIALOG's answer is the procedure's own: 0 leaves the focus alone.
  INT_PTR answer = FALSE;
  try {
    if (message == WM_INITDIALOG)
      answer = static_cast<INT_PTR>(logic_->init_controls());
    else
      logic_->control_changed();
  } catch (...) {
    if (!failures_.keep(std::current_exception())) report_stray(std::current_exception());
  }
  if (message == WM_INITDIALOG) return answer;
  // A notification's answer is the dialog's message result, 0; TRUE says it
  // was handled.
  if (window_) SetWindowLongPtrW(window_.get(), DWLP_MSGRESULT, 0);
  return TRUE;
}
