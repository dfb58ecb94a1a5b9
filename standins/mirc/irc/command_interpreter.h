// What mIRC does with a line it is handed as if typed in a channel's edit box
// (methods 1 and 2), reduced to the IRC messages it sends and the complaints
// it shows. Identifiers are evaluated only in a line that starts with "//",
// and only $dll(...) and $null, when DLL calls are offered.
#pragma once
#include "mirc_dll_calls.h"

#include <string>
#include <vector>

struct mirc_action {
  bool send = false; // true: an IRC message (without CR LF); false: a report for the user
  std::string text;
  bool quit = false; // the message is a QUIT: the connection ends on purpose
};

// method: 1 as typed (a leading "/" runs commands separated by "|"), 2 as plain
// text (sent to the channel as it is). Line breaks in the text end a line, as
// lines pasted into the edit box do.
// dlls: how $dll and /dll reach DLLs; null, and "//" lines are reported, not run.
std::vector<mirc_action> interpret_command(const std::string& text, unsigned long method, const std::string& channel,
                                           mirc_dlls* dlls = nullptr);
