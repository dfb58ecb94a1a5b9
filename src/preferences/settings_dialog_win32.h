// The settings page's dialog window, from template IDD_SETTINGS_PAGE: its
// message map hands each notification of the check box and the pattern field
// to the page's logic, and its items answer the logic's control operations.
#pragma once
#include "preferences/dialog_item_controls_win32.h"
#include "preferences/dialog_window_win32.h"

class preferences_dialog_logic;

class settings_dialog_win32 final : public dialog_window_win32 {
public:
  settings_dialog_win32() noexcept : controls_(failures()) {}
  ~settings_dialog_win32() override = default;

  dialog_controls& controls() noexcept { return controls_; }
  // Creates the window, hidden and filled by logic, as a child of parent;
  // raises exception_win32 (or what filling it raised) when that fails.
  void create(HWND parent, preferences_dialog_logic& logic);
  // Destroys the window if it is still there.
  void destroy() noexcept;

private:
  bool process_window_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result,
                              DWORD map_id) override;
  void on_final_message(HWND old_window) override;
  // A failure while the host's message loop ran the page (the listener
  // raising on a user's click) goes to the console.
  void on_stray_exception(std::exception_ptr failure) noexcept override;

  LRESULT on_init_dialog(HWND window);
  void on_send_enabled_clicked();
  void on_title_pattern_changed();

  dialog_item_controls_win32 controls_;
  preferences_dialog_logic* logic_ = nullptr;
};
