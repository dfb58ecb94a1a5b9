// What the settings page does with its two controls: fill them from the
// settings, tell the host's listener of every change, compare, apply and
// reset. It keeps no copy of the settings; it reads and writes cfg_enabled
// and cfg_title_pattern directly. It knows the controls only through
// dialog_controls, so it runs with or without a window.
#pragma once
#include "host/preferences.h"
#include "preferences/dialog_controls.h"
#include "support/pfc/storage.h"

#include <cstdint>

// The edit field's text as read from the control.
struct pattern_field_text {
  pfc::storage_t<char16_t, pfc::alloc_standard> units;
  std::uint32_t length = 0;
  const char16_t* c_str() const noexcept { return length == 0 ? u"" : units.data(); }
};

class preferences_dialog_logic final {
public:
  // Both must outlive the logic.
  preferences_dialog_logic(dialog_controls& controls, page_state_listener& listener) noexcept
      : controls_(controls), listener_(listener) {}
  preferences_dialog_logic(const preferences_dialog_logic&) = delete;
  preferences_dialog_logic& operator=(const preferences_dialog_logic&) = delete;

  // Pattern into the field, then the flag into the check box. Returns 0.
  std::uint32_t init_controls();
  void control_changed();
  bool has_changes();
  // page_state_resettable, plus page_state_changed while the controls differ.
  std::uint32_t state_flags();
  // Stores the controls into the settings. Does nothing once the window is gone.
  void apply_changes();
  // Stores and shows the defaults at once. Does nothing once the window is gone.
  void reset_to_defaults();
  pattern_field_text read_pattern_field();

private:
  void show_pattern(const char* utf8);
  bool box_checked();
  pfc::storage_t<char, pfc::alloc_standard> field_as_utf8();

  dialog_controls& controls_;
  page_state_listener& listener_;
};
