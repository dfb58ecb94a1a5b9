// The settings page instance: a dialog from template IDD_SETTINGS_PAGE whose
// controls are the check box and the pattern field, driven by
// preferences_dialog_logic.
#pragma once
#include "host/preferences.h"
#include "preferences/dialog_controls.h"
#include "preferences/dialog_window_win32.h"
#include "preferences/preferences_dialog_logic.h"

class CMyPreferences : public dialog_window_win32,
                       public preferences_page_instance,
                       private dialog_controls,
                       public preferences_dialog_logic {
public:
  // Takes its own reference to listener.
  explicit CMyPreferences(page_state_listener* state_listener);

  // true only for preferences_page_instance.
  bool query_class(service_base*& out_ref, const guid& class_guid) override;
  std::uint32_t state_flags() override { return preferences_dialog_logic::state_flags(); }
  void apply_changes() override { preferences_dialog_logic::apply_changes(); }
  void reset_to_defaults() override { preferences_dialog_logic::reset_to_defaults(); }

protected:
  // Creates the dialog window, filled, as a child of parent; raises
  // exception_win32 (or what the filling raised) when that fails.
  void create(window_handle_t parent);
  // The host destroys the window before its last release; if it did not,
  // the window goes here, while the object can still answer its messages.
  ~CMyPreferences() override;

  bool process_window_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result,
                              DWORD map_id) override;
  // A failure while the host's message loop ran the page (the listener
  // raising on a user's click) goes to the console.
  void on_stray_exception(std::exception_ptr failure) noexcept override;

private:
  bool window_exists() override { return hwnd() != nullptr; }
  void set_item_text(int id, const char16_t* text) override;
  void check_button(int id, std::uint32_t state) override;
  std::uint32_t is_button_checked(int id) override;
  void* find_item(int id) override;
  std::uint32_t item_text_length(void* item) override;
  std::uint32_t read_item_text(void* item, char16_t* buffer, std::uint32_t capacity) override;
};
