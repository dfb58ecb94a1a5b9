// The settings page's dialog window, from template IDD_SETTINGS_PAGE: it owns
// the window, hands each notification of the check box and the pattern field
// to the page's logic, and lends the logic the window's items as its
// controls. No exception crosses its dialog procedure.
#pragma once
#include "preferences/deferred_failure.h"
#include "preferences/dialog_item_controls_win32.h"
#include "support/unique_handle_win32.h"

#include <windows.h>

class preferences_dialog_logic;

class settings_page_window final {
public:
  settings_page_window() = default;
  settings_page_window(const settings_page_window&) = delete;
  settings_page_window& operator=(const settings_page_window&) = delete;
  // The host destroys the window before its last release; if it did not, the
  // window goes here.
  ~settings_page_window();

  // Creates the window, hidden and filled by logic, as a child of parent;
  // logic then answers its messages until the window or this object is gone.
  // Raises exception_win32 with the last error (or what filling raised) when
  // no filled window came into being.
  void create(HWND parent, preferences_dialog_logic& logic);
  // Null until the first message arrives and again once the window is gone.
  HWND hwnd() const noexcept { return window_.get(); }

  // The window's items, for the logic; they see the window come and go.
  dialog_controls& controls() noexcept { return controls_; }

private:
  static INT_PTR CALLBACK dialog_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR on_message(UINT message, WPARAM wparam);

  preferences_dialog_logic* logic_ = nullptr;
  deferred_failure failures_;
  dialog_item_controls controls_{window_, failures_};
  // Last, so that a window the host left is destroyed while the rest is whole.
  unique_window window_;
};
