#include "preferences/dialog_window_win32.h"

#include <utility>

// One list for the module, one lock around it; entries are the objects
// themselves, so entering needs no allocation.
struct dialog_creation_list {
  CRITICAL_SECTION lock;
  dialog_window_win32* head = nullptr;

  dialog_creation_list() noexcept { InitializeCriticalSection(&lock); }
  ~dialog_creation_list() { DeleteCriticalSection(&lock); }
  dialog_creation_list(const dialog_creation_list&) = delete;
  dialog_creation_list& operator=(const dialog_creation_list&) = delete;

  void enter(dialog_window_win32* object) noexcept {
    EnterCriticalSection(&lock);
    object->creating_thread_ = GetCurrentThreadId();
    object->next_creating_ = head;
    head = object;
    LeaveCriticalSection(&lock);
  }

  // Unlinks and returns this thread's entry (or the given object's), or null.
  dialog_window_win32* take(DWORD thread, const dialog_window_win32* only = nullptr) noexcept {
    EnterCriticalSection(&lock);
    dialog_window_win32* found = nullptr;
    for (dialog_window_win32** link = &head; *link != nullptr; link = &(*link)->next_creating_) {
      dialog_window_win32* entry = *link;
      if (only != nullptr ? entry == only : entry->creating_thread_ == thread) {
        *link = entry->next_creating_;
        entry->next_creating_ = nullptr;
        entry->creating_thread_ = 0;
        found = entry;
        break;
      }
    }
    LeaveCriticalSection(&lock);
    return found;
  }

  static dialog_creation_list& instance() noexcept {
    static dialog_creation_list list;
    return list;
  }
};

namespace {

// Messages whose answer a dialog procedure returns itself instead of storing
// it as the dialog's message result.
bool answers_directly(UINT message) noexcept {
  switch (message) {
  case WM_INITDIALOG:
  case WM_VKEYTOITEM:
  case WM_CHARTOITEM:
  case WM_QUERYDRAGICON:
  case WM_COMPAREITEM:
    return true;
  default:
    return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
  }
}

// Removes the object's entry if the window never took it (creation failed
// before the first message).
class creation_entry {
public:
  explicit creation_entry(dialog_window_win32* object) noexcept : object_(object) {
    dialog_creation_list::instance().enter(object);
  }
  ~creation_entry() { dialog_creation_list::instance().take(0, object_); }
  creation_entry(const creation_entry&) = delete;
  creation_entry& operator=(const creation_entry&) = delete;

private:
  dialog_window_win32* object_;
};

} // namespace

dialog_window_win32::~dialog_window_win32() = default;

DLGPROC dialog_window_win32::dialog_procedure() noexcept { return routed_dialog_procedure; }

void dialog_window_win32::on_final_message(HWND) {}

void dialog_window_win32::on_stray_exception(std::exception_ptr) noexcept {}

HWND dialog_window_win32::create_dialog(HINSTANCE module, int template_id, HWND parent) {
  const deferred_failure::own_call call(failures_);
  const creation_entry entry(this);
  return CreateDialogParamW(module, MAKEINTRESOURCEW(template_id), parent, start_dialog_procedure, 0);
}

void dialog_window_win32::keep_failure(std::exception_ptr failure) noexcept {
  if (!failures_.keep(failure)) on_stray_exception(std::move(failure));
}

INT_PTR CALLBACK dialog_window_win32::start_dialog_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  dialog_window_win32* self = dialog_creation_list::instance().take(GetCurrentThreadId());
  if (self == nullptr) return FALSE;
  self->window_ = window;
  SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
  SetWindowLongPtrW(window, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(self->dialog_procedure()));
  return self->route(window, message, wparam, lparam);
}

INT_PTR CALLBACK dialog_window_win32::routed_dialog_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<dialog_window_win32*>(GetWindowLongPtrW(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  return self->route(window, message, wparam, lparam);
}

INT_PTR dialog_window_win32::route(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  const current_message record{window, message};
  const current_message* outer = current_;
  current_ = &record;
  LRESULT result = 0;
  bool handled;
  try {
    handled = process_window_message(window, message, wparam, lparam, result, 0);
  } catch (...) {
    // No exception may cross the platform's dispatch; it travels on once the
    // call that delivered this message has returned.
    keep_failure(std::current_exception());
    handled = true;
    result = 0;
  }
  current_ = outer;

  INT_PTR answer;
  if (handled) {
    if (answers_directly(message)) {
      answer = static_cast<INT_PTR>(result);
    } else {
      if (!destroyed_) SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
      answer = TRUE;
    }
  } else {
    if (message == WM_NCDESTROY) destroyed_ = true;
    answer = FALSE;
  }

  if (destroyed_ && current_ == nullptr) {
    const HWND old_window = window_;
    window_ = nullptr;
    destroyed_ = false;
    SetWindowLongPtrW(old_window, DWLP_USER, 0);
    try {
      on_final_message(old_window);
    } catch (...) {
      keep_failure(std::current_exception());
    }
  }
  return answer;
}
