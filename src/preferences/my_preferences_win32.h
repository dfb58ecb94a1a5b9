// The settings page instance the host holds: it keeps the host's listener,
// owns the page's window and logic, and answers the host's calls with that
// logic.
#pragma once
#include "host/preferences.h"
#include "preferences/preferences_dialog_logic.h"
#include "preferences/settings_page_window_win32.h"
#include "runtime/service.h"

class CMyPreferences : public preferences_page_instance {
public:
  // Takes its own reference to listener, which must not be null.
  explicit CMyPreferences(page_state_listener* state_listener);

  // true only for preferences_page_instance.
  bool query_class(service_base*& out_ref, const guid& class_guid) override;
  std::uint32_t state_flags() override { return logic_.state_flags(); }
  void apply_changes() override { logic_.apply_changes(); }
  void reset_to_defaults() override { logic_.reset_to_defaults(); }

protected:
  // Creates the dialog window, filled, as a child of parent; raises
  // exception_win32 (or what the filling raised) when that fails.
  void create(window_handle_t parent) { window_.create(static_cast<HWND>(parent), logic_); }
  // Null until the window exists and again once it is gone.
  window_handle_t hwnd() const noexcept { return window_.hwnd(); }
  ~CMyPreferences() = default;

private:
  service_ptr_t<page_state_listener> listener;
  settings_page_window window_;
  preferences_dialog_logic logic_;
};
