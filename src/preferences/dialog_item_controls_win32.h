// The control operations of dialog_controls answered by the items of one
// dialog window, from the window's first message to its last. Setting a
// control makes the platform send the dialog notifications at once; a failure
// while they are handled is raised here, once the platform call has returned.
#pragma once
#include "preferences/deferred_failure.h"
#include "preferences/dialog_controls.h"

#include <windows.h>

class dialog_item_controls_win32 final : public dialog_controls {
public:
  explicit dialog_item_controls_win32(deferred_failure& failures) noexcept : failures_(failures) {}
  dialog_item_controls_win32(const dialog_item_controls_win32&) = delete;
  dialog_item_controls_win32& operator=(const dialog_item_controls_win32&) = delete;
  ~dialog_item_controls_win32() = default;

  void bind(HWND dialog) noexcept { dialog_ = dialog; }
  void unbind() noexcept { dialog_ = nullptr; }

  bool window_exists() override { return dialog_ != nullptr; }
  void set_item_text(int id, const char16_t* text) override;
  void check_button(int id, std::uint32_t state) override;
  std::uint32_t is_button_checked(int id) override;
  void* find_item(int id) override;
  std::uint32_t item_text_length(void* item) override;
  std::uint32_t read_item_text(void* item, char16_t* buffer, std::uint32_t capacity) override;

private:
  HWND dialog_ = nullptr;
  deferred_failure& failures_;
};
