// What mIRC does with message 1224, as the stand-in does it: wait if it plays
// a hung mIRC, refuse what mIRC would not run, read the command from the
// block the message names, record it and, with an IRC session, run it there.
#pragma once
#include "handle_owner_win32.h"
#include "irc_session_win32.h"
#include "mirc_dll_calls.h"
#include "standin_options.h"
#include "standin_output_win32.h"

#include <random>

#include <windows.h>

class command_handler {
public:
  // session: null without an IRC connection. All three outlive the handler.
  command_handler(const standin_options& options, standin_output& output, irc_session* session) noexcept;
  command_handler(const command_handler&) = delete;
  command_handler& operator=(const command_handler&) = delete;

  // Message 1224 to `window`: 1 when the command ran, 0 when it was refused.
  LRESULT run_command(HWND window, WPARAM method, LPARAM index);
  // Another message of mIRC's range: refused, answered 0.
  LRESULT refuse_message(UINT message);

  // How "//" lines reach DLLs ($dll) and /dll runs; null: they are reported, not run.
  void offer_dlls(mirc_dlls* dlls) noexcept { dlls_ = dlls; }

private:
  enum class fate { ran, refused, late, quit, streak };
  fate draw_fate();
  void hang_if_asked(HWND window);
  void run_on_irc(const std::string& text, unsigned long method);
  void switch_channel_and_stay_busy(HWND window);
  static HWND bring_back_channel_to_front(HWND window);

  const standin_options& options_;
  standin_output& output_;
  irc_session* session_;
  unsigned long handled_ = 0;
  unsigned long recorded_ = 0;
  unsigned long streak_left_ = 0; // late messages still to come in a slow streak
  std::mt19937 chaos_random_;
  owned_handle stall_; // --stall-event, made or opened at start
  mirc_dlls* dlls_ = nullptr;
};
