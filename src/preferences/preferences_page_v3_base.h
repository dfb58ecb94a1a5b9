// The third revision of the host's page interface with the fixed answers of
// its older operations: no page-level reset, no old-style window creation, a
// help address built from the page's own name and identifier.
#pragma once
#include "host/preferences.h"

// The host's help site; the host version, the page path and name follow it.
inline constexpr const char preferences_help_base_address[] = "https://help.corvane.invalid/";

class preferences_page_v3_base : public preferences_page_v3 {
public:
  // preferences_page_v3, preferences_page_v2, preferences_page, in that order.
  bool query_class(service_base*& out_ref, const guid& class_guid) override;
  // Replaced by make_instance: raises pfc::exception_not_implemented.
  window_handle_t create_page_window(window_handle_t parent_window) override;
  // Resetting works through the page instance, not the page.
  bool can_reset() override { return false; }
  void reset_page() override {}
  // Base address, host version, "/preferences/", page identifier, "/", name.
  bool help_url(pfc::string_base& out_text) override;
  double sort_priority() override { return 0.0; }

protected:
  preferences_page_v3_base() = default;
  ~preferences_page_v3_base() = default;
};
