// A small dialog window layer: routes one dialog window's messages to one C++
// object. The dialog is created with creation parameter 0, so its first
// message cannot carry the object; the object waits in a per-thread "being
// created" list until that first message binds the two.
#pragma once
#include <windows.h>

#include <exception>
#include <utility>

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

  // Marks a call of the object's own that makes the platform send the window
  // messages (creation, setting a control). An exception thrown while such a
  // message is handled waits until that platform call has returned, and the
  // object's call raises it (rethrow_pending).
  class own_call {
  public:
    explicit own_call(dialog_window_win32& window) noexcept : window_(window) { ++window_.own_calls_; }
    ~own_call() { --window_.own_calls_; }
    own_call(const own_call&) = delete;
    own_call& operator=(const own_call&) = delete;

  private:
    dialog_window_win32& window_;
  };
  void rethrow_pending();
  bool has_pending() const noexcept { return static_cast<bool>(pending_); }

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
  std::exception_ptr pending_;
  int own_calls_ = 0;
  // Entry in the "being created" list while create_dialog runs.
  DWORD creating_thread_ = 0;
  dialog_window_win32* next_creating_ = nullptr;
};
