#include "preferences/dialog_item_controls_win32.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the platform's UTF-16 units");

void dialog_item_controls_win32::set_item_text(int id, const char16_t* text) {
  {
    const deferred_failure::own_call call(failures_);
    SetDlgItemTextW(dialog_, id, reinterpret_cast<const wchar_t*>(text));
  }
  failures_.rethrow_pending(); // the field's own change notification came through here
}

void dialog_item_controls_win32::check_button(int id, std::uint32_t state) {
  {
    const deferred_failure::own_call call(failures_);
    CheckDlgButton(dialog_, id, state);
  }
  failures_.rethrow_pending();
}

std::uint32_t dialog_item_controls_win32::is_button_checked(int id) { return IsDlgButtonChecked(dialog_, id); }

void* dialog_item_controls_win32::find_item(int id) { return GetDlgItem(dialog_, id); }

std::uint32_t dialog_item_controls_win32::item_text_length(void* item) {
  const int length = GetWindowTextLengthW(static_cast<HWND>(item));
  return length > 0 ? static_cast<std::uint32_t>(length) : 0;
}

std::uint32_t dialog_item_controls_win32::read_item_text(void* item, char16_t* buffer, std::uint32_t capacity) {
  const int read =
      GetWindowTextW(static_cast<HWND>(item), reinterpret_cast<wchar_t*>(buffer), static_cast<int>(capacity));
  return read > 0 ? static_cast<std::uint32_t>(read) : 0;
}
