// A small dialog window layer: routes one dialog window's messages to one C++
// object. The dialog is created with creation parameter 0, so its first
// message cannot carry the object; the object waits in a per-thread "being
// created" list until that first message binds the two.
#pragma once
#include "preferences/deferred_failure.h"

#include <windows.h>

#include <exception>

class dialog_window_win32 {
public:
  dialog_window_win32(const dialog_window_win32&) = delete;
  dialog_window_win32& operator=(const dialog_window_win32&) = delete;

  // Null until the first message arrives and again once the window is gone.
  HWND hwnd() const noexcept { return window_; }

protected:
  dialog_window_win32() = default;

  // Returns whether the message was handled; result is its answer. Only
  // message map 0 exists.
  virtual bool process_window_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result,
                                      DWORD map_id) = 0;
  virtual ~dialog_window_win32();
  // The dialog procedure installed once the window is bound to the object.
  virtual DLGPROC dialog_procedure() noexcept;
  // Runs with the old handle once the last message of the window is done.
  virtual void on_final_message(HWND old_window);

  // Creates the dialog from template_id in module as a child of parent. Null
  // when no window came into being; the thread's last error then says why.
  HWND create_dialog(HINSTANCE module, int template_id, HWND parent);

  // Failures of the messages the platform delivered during one of our own
  // calls, kept until that call returns.
  deferred_failure& failures() noexcept { return failures_; }

  // An exception from a message the platform delivered on its own (the host's
  // message loop, a user's click): no call of ours can carry it to anyone.
  virtual void on_stray_exception(std::exception_ptr failure) noexcept;

private:
  struct current_message {
    HWND window;
    UINT message;
  };
  friend struct dialog_creation_list;

  static INT_PTR CALLBACK start_dialog_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  static INT_PTR CALLBACK routed_dialog_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR route(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void keep_failure(std::exception_ptr failure) noexcept;

  HWND window_ = nullptr;
  const current_message* current_ = nullptr;
  bool destroyed_ = false;
  deferred_failure failures_;
  // Entry in the "being created" list while create_dialog runs.
  DWORD creating_thread_ = 0;
  dialog_window_win32* next_creating_ = nullptr;
};
