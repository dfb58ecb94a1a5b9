// The order in which the component's statics come into being when the library
// loads (and go, in reverse, when it unloads). They live in different
// translation units, so the order is stated here rather than left to the link.
#pragma once

#define CHIRPLINE_STATIC_ORDER(step) __attribute__((init_priority(1000 + (step))))

enum chirpline_static_step {
  static_step_installation_validator_factory = 1,
  static_step_componentversion_factory,
  static_step_title_pattern,
  static_step_enabled_flag,
  static_step_preferences_page_factory,
  static_step_play_callback_factory,
  static_step_module_path,
  static_step_module_file_name,
  static_step_abort_signal_hook,
};
