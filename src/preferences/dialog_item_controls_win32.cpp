#include "preferences/dialog_item_controls_win32.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the platform's UTF-16 units");

// Setting a control's text or state makes it notify the page at once.
void dialog_item_controls::set_item_text(int id, const char16_t* text) {
  failures_.own_platform_call([&] { SetDlgItemTextW(window_.get(), id, reinterpret_cast<const wchar_t*>(text)); });
}

void dialog_item_controls::check_button(int id, std::uint32_t state) {
  failures_.own_platform_call([&] { CheckDlgButton(window_.get(), id, state); });
}

std::uint32_t dialog_item_controls::is_button_checked(int id) { return IsDlgButtonChecked(window_.get(), id); }

void* dialog_item_controls::find_item(int id) { return GetDlgItem(window_.get(), id); }

std::uint32_t dialog_item_controls::item_text_length(void* item) {
  const int length = GetWindowTextLengthW(static_cast<HWND>(item));
  return length > 0 ? static_cast<std::uint32_t>(length) : 0;
}

std::uint32_t dialog_item_controls::read_item_text(void* item, char16_t* buffer, std::uint32_t capacity) {
  const int read =
      GetWindowTextW(static_cast<HWND>(item), reinterpret_cast<wchar_t*>(buffer), static_cast<int>(capacity));
  return read > 0 ? static_cast<std::uint32_t>(read) : 0;
}
