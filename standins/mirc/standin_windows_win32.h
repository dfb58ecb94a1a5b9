// The windows mIRC's senders look for: a top-level window of the class the
// options name, an MDIClient inside it and a status window inside that,
// which hands the messages of mIRC's range to the command handler. The
// options' shape can leave out the MDIClient or the status window.
#pragma once
#include "command_handler_win32.h"
#include "standin_options.h"

// Registers the classes and makes the windows; false, said on standard
// error, when the platform refuses one. The handler outlives the windows.
bool create_standin_windows(const standin_options& options, command_handler& handler);

// Until the main window is closed or the handler has run its count.
void run_message_loop();
