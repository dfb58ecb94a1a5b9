// The settings page's controls as the dialog's logic sees them: the items of
// the page's window, reached through the window handle its owner keeps.
#pragma once
#include "preferences/deferred_failure.h"
#include "preferences/dialog_controls.h"
#include "support/unique_handle_win32.h"

#include <windows.h>

class dialog_item_controls final : public dialog_controls {
public:
  // Both belong to the page's window and outlive these controls.
  dialog_item_controls(const unique_window& window, deferred_failure& failures) noexcept
      : window_(window), failures_(failures) {}

  bool window_exists() override { return static_cast<bool>(window_); }
  void set_item_text(int id, const char16_t* text) override;
  void check_button(int id, std::uint32_t state) override;
  std::uint32_t is_button_checked(int id) override;
  void* find_item(int id) override;
  std::uint32_t item_text_length(void* item) override;
  std::uint32_t read_item_text(void* item, char16_t* buffer, std::uint32_t capacity) override;

private:
  const unique_window& window_;
  deferred_failure& failures_;
};
