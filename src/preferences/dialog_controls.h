// The control operations the settings dialog's logic needs, and nothing else:
// the real dialog answers them with its window's controls, tests with their own.
#pragma once
#include <cstdint>

class dialog_controls {
public:
  // False once the window is gone (or before it exists).
  virtual bool window_exists() = 0;
  virtual void set_item_text(int id, const char16_t* text) = 0;
  // state 1 checked, 0 not.
  virtual void check_button(int id, std::uint32_t state) = 0;
  // 1 (checked), 0, or the control's other states.
  virtual std::uint32_t is_button_checked(int id) = 0;
  // Null when the dialog has no such control.
  virtual void* find_item(int id) = 0;
  // In UTF-16 units, without the terminator.
  virtual std::uint32_t item_text_length(void* item) = 0;
  // Reads at most capacity units including the terminator; returns the units read.
  virtual std::uint32_t read_item_text(void* item, char16_t* buffer, std::uint32_t capacity) = 0;

protected:
  dialog_controls() = default;
  dialog_controls(const dialog_controls&) = default;
  dialog_controls& operator=(const dialog_controls&) = default;
  ~dialog_controls() = default;
};
