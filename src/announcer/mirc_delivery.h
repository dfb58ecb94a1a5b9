// Hands one command line to the first running mIRC through its shared block
// and command message; the outcome is reported on the console only.
#pragma once

// command_text: UTF-8, zero-terminated. Exceptions raised while reporting
// (allocation failure of a console line) pass to the caller; every platform
// handle is closed first, but for the block of a message mIRC has not yet
// answered, which it may still read.
void deliver_command(const char* command_text);
