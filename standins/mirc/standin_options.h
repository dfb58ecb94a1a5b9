// The mIRC stand-in's command line: what it records where, how it plays a
// slow or unwilling mIRC, the shape of its windows and its IRC connection.
#pragma once
#include "irc_settings.h"

#include <string>

struct standin_options {
  std::wstring class_name = L"mIRC";
  std::wstring out_path;
  std::wstring trace_path;
  std::wstring ready_path;
  unsigned long hang_ms = 0;
  unsigned long hang_count = 0; // 0: every command hangs
  // The commands that hang wait for this named event instead of a time.
  std::wstring stall_event;
  // Channel windows in the MDIClient, and how long mIRC stays busy with
  // something of its own after each command, once another channel is in front.
  unsigned long channels = 1;
  unsigned long switch_busy_ms = 0;
  bool stall_switch = false; // a hanging command brings another channel to the front, then closes it
  bool interface_off = false;
  unsigned long count = 0; // 0: run until closed
  // --chaos: each message's fate drawn from this seed by the weights of
  // ran, refused, ran late, quit, and a streak of late ones.
  bool chaos = false;
  unsigned long chaos_seed = 0;
  unsigned long chaos_weights[5] = {91, 4, 2, 3, 0};
  std::wstring shape = L"full";
  std::wstring log_path;
  irc_settings session; // no host: no IRC connection
};

void print_standin_help();
// Returns 0 to go on, -1 once --help is answered, or the exit status 2 after
// saying on standard error what is wrong.
int parse_standin_options(int argc, wchar_t** argv, standin_options& options);
