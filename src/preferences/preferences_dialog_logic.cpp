#include "preferences/preferences_dialog_logic.h"
#include "preferences/preferences_resource.h"
#include "settings/cfg_var.h"
#include "support/pfc/string8.h"
#include "support/utf8_convert.h"

#include <cstring>

namespace {
std::uint32_t checked_count(std::size_t count) {
  if (count > 0xFFFFFFFFu) pfc::throw_bad_alloc();
  return static_cast<std::uint32_t>(count);
}
} // namespace

namespace {
pfc::storage_t<char16_t, pfc::alloc_standard> as_utf16(const char* utf8) {
  pfc::storage_t<char16_t, pfc::alloc_standard> wide;
  wide.set_size(checked_count(pfc::utf8_to_utf16_size(utf8)));
  pfc::utf8_to_utf16(wide.data(), utf8);
  return wide;
}
} // namespace

void preferences_dialog_logic::show_pattern(const char* utf8) {
  controls_.set_item_text(IDC_TITLE_PATTERN, as_utf16(utf8).data());
}

bool preferences_dialog_logic::box_checked() { return controls_.is_button_checked(IDC_SEND_ENABLED) == 1; }

std::uint32_t preferences_dialog_logic::init_controls() {
  show_pattern(cfg_title_pattern.text_ptr());
  controls_.check_button(IDC_SEND_ENABLED, cfg_enabled.value != 0 ? 1 : 0);
  return 0;
}

void preferences_dialog_logic::control_changed() { listener_.notify_state_change(); }

pattern_field_text preferences_dialog_logic::read_pattern_field() {
  pattern_field_text text;
  void* field = controls_.find_item(IDC_TITLE_PATTERN);
  if (field == nullptr) return text;
  const std::uint32_t length = controls_.item_text_length(field);
  if (length == 0xFFFFFFFFu) pfc::throw_bad_alloc();
  text.units.set_size(length + 1);
  text.units.data()[0] = 0;
  const std::uint32_t read = controls_.read_item_text(field, text.units.data(), length + 1);
  // A control that claims more than the room it was given is not believed.
  text.length = read < length ? read : length;
  text.units.data()[text.length] = 0;
  return text;
}

pfc::storage_t<char, pfc::alloc_standard> preferences_dialog_logic::field_as_utf8() {
  const pattern_field_text field = read_pattern_field();
  pfc::storage_t<char, pfc::alloc_standard> utf8;
  const std::size_t size = pfc::utf16_to_utf8_size(field.c_str());
  utf8.set_size(checked_count(size));
  pfc::utf16_to_utf8(utf8.data(), size, field.c_str());
  return utf8;
}

bool preferences_dialog_logic::has_changes() {
  if (!controls_.window_exists()) return false;
  const pfc::storage_t<char, pfc::alloc_standard> text = field_as_utf8();
  const std::uint8_t checked = box_checked() ? 1 : 0;
  if (checked != cfg_enabled.value) return true;
  return std::strcmp(text.data(), cfg_title_pattern.text_ptr()) != 0;
}

std::uint32_t preferences_dialog_logic::state_flags() {
  return has_changes() ? page_state_resettable | page_state_changed : page_state_resettable;
}

void preferences_dialog_logic::apply_changes() {
  // Without its controls the page has nothing to store: reading them would
  // give an unchecked box and an empty field and wipe the settings.
  if (!controls_.window_exists()) return;
  // Both settings or neither: everything that allocates is made first, and
  // the commit below cannot fail.
  const std::uint8_t enabled = box_checked() ? 1 : 0;
  pfc::string8 pattern;
  pattern.assign_text(field_as_utf8().data(), pfc::infinite_length);
  cfg_enabled.value = enabled;
  cfg_title_pattern.swap(pattern);
  listener_.notify_state_change();
}

void preferences_dialog_logic::reset_to_defaults() {
  if (!controls_.window_exists()) return;
  // As for apply: the stored pattern and the field's text are both made
  // before anything changes, so a failure leaves settings, controls and the
  // page's state as they were.
  pfc::string8 pattern(cfg_title_pattern_default);
  const pfc::storage_t<char16_t, pfc::alloc_standard> shown = as_utf16(pattern.text_ptr());
  cfg_enabled.value = 1;
  cfg_title_pattern.swap(pattern);
  controls_.check_button(IDC_SEND_ENABLED, 1);
  controls_.set_item_text(IDC_TITLE_PATTERN, shown.data());
  listener_.notify_state_change();
}
