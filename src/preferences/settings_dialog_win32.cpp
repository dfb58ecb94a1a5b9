#include "preferences/settings_dialog_win32.h"
#include "preferences/preferences_dialog_logic.h"
#include "preferences/preferences_resource.h"
#include "runtime/console.h"
#include "support/exception_win32.h"

// The module this code is linked into: the dialog template travels with it.
extern "C" IMAGE_DOS_HEADER __ImageBase;

void settings_dialog_win32::create(HWND parent, preferences_dialog_logic& logic) {
  logic_ = &logic;
  SetLastError(0);
  const HWND window = create_dialog(reinterpret_cast<HINSTANCE>(&__ImageBase), IDD_SETTINGS_PAGE, parent);
  if (failures().has_pending()) {
    // Filling the controls failed: the half-made page goes, the cause travels on.
    if (window != nullptr) DestroyWindow(window);
    failures().rethrow_pending();
  }
  if (window == nullptr) raise_last_win32_error();
}

void settings_dialog_win32::destroy() noexcept {
  if (HWND window = hwnd()) DestroyWindow(window);
}

bool settings_dialog_win32::process_window_message(HWND window, UINT message, WPARAM wparam, LPARAM, LRESULT& result,
                                                   DWORD map_id) {
  if (map_id != 0) return false;
  if (message == WM_INITDIALOG) {
    result = on_init_dialog(window);
    return true;
  }
  if (message == WM_COMMAND && LOWORD(wparam) == IDC_SEND_ENABLED && HIWORD(wparam) == BN_CLICKED) {
    on_send_enabled_clicked();
    result = 0;
    return true;
  }
  if (message == WM_COMMAND && LOWORD(wparam) == IDC_TITLE_PATTERN && HIWORD(wparam) == EN_CHANGE) {
    on_title_pattern_changed();
    result = 0;
    return true;
  }
  return false;
}

LRESULT settings_dialog_win32::on_init_dialog(HWND window) {
  controls_.bind(window);
  return logic_->init_controls();
}

void settings_dialog_win32::on_send_enabled_clicked() { logic_->control_changed(); }

void settings_dialog_win32::on_title_pattern_changed() { logic_->control_changed(); }

void settings_dialog_win32::on_final_message(HWND) { controls_.unbind(); }

void settings_dialog_win32::on_stray_exception(std::exception_ptr failure) noexcept {
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
