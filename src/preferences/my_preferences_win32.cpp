#include "preferences/my_preferences_win32.h"
#include "preferences/preferences_resource.h"
#include "shell/console.h"
#include "support/exception_win32.h"

// The module this code is linked into: the dialog template travels with it.
extern "C" IMAGE_DOS_HEADER __ImageBase;

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the platform's UTF-16 units");

CMyPreferences::CMyPreferences(page_state_listener* state_listener)
    : preferences_dialog_logic(static_cast<dialog_controls&>(*this), state_listener) {}

CMyPreferences::~CMyPreferences() {
  if (HWND window = hwnd()) DestroyWindow(window);
}

bool CMyPreferences::query_class(service_base*& out_ref, const guid& class_guid) {
  if (class_guid != preferences_page_instance_class_guid) return false;
  return service_hand_out(static_cast<preferences_page_instance*>(this), out_ref);
}

void CMyPreferences::create(window_handle_t parent) {
  SetLastError(0);
  const HWND window =
      create_dialog(reinterpret_cast<HINSTANCE>(&__ImageBase), IDD_SETTINGS_PAGE, static_cast<HWND>(parent));
  if (has_pending()) {
    // Filling the controls failed: the half-made page goes, the cause travels on.
    if (window != nullptr) DestroyWindow(window);
    rethrow_pending();
  }
  if (window == nullptr) raise_last_win32_error();
}

bool CMyPreferences::process_window_message(HWND, UINT message, WPARAM wparam, LPARAM, LRESULT& result, DWORD map_id) {
  if (map_id != 0) return false;
  if (message == WM_INITDIALOG) {
    result = init_controls();
    return true;
  }
  if (message == WM_COMMAND) {
    const unsigned id = LOWORD(wparam), code = HIWORD(wparam);
    if ((id == IDC_SEND_ENABLED && code == BN_CLICKED) || (id == IDC_TITLE_PATTERN && code == EN_CHANGE)) {
      control_changed();
      result = 0;
      return true;
    }
  }
  return false;
}

void CMyPreferences::set_item_text(int id, const char16_t* text) {
  {
    const own_call call(*this);
    SetDlgItemTextW(hwnd(), id, reinterpret_cast<const wchar_t*>(text));
  }
  rethrow_pending(); // the field's own change notification came through here
}

void CMyPreferences::check_button(int id, std::uint32_t state) {
  {
    const own_call call(*this);
    CheckDlgButton(hwnd(), id, state);
  }
  rethrow_pending();
}

void CMyPreferences::on_stray_exception(std::exception_ptr failure) noexcept {
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& e) {
    try {
      console_error(e.what());
    } catch (...) {
      // Nothing is left to tell it to; the page goes on.
    }
  } catch (...) {
  }
}

std::uint32_t CMyPreferences::is_button_checked(int id) { return IsDlgButtonChecked(hwnd(), id); }

void* CMyPreferences::find_item(int id) { return GetDlgItem(hwnd(), id); }

std::uint32_t CMyPreferences::item_text_length(void* item) {
  const int length = GetWindowTextLengthW(static_cast<HWND>(item));
  return length > 0 ? static_cast<std::uint32_t>(length) : 0;
}

std::uint32_t CMyPreferences::read_item_text(void* item, char16_t* buffer, std::uint32_t capacity) {
  const int read =
      GetWindowTextW(static_cast<HWND>(item), reinterpret_cast<wchar_t*>(buffer), static_cast<int>(capacity));
  return read > 0 ? static_cast<std::uint32_t>(read) : 0;
}
