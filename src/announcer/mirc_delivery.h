// Hands one command line to the first running mIRC through its shared block
// and command message; the outcome is reported on the console only.
#pragma once
#include <cstdint>

// command_text: UTF-8, zero-terminated. Exceptions raised while reporting
// (allocation failure of a console line) pass to the caller; every platform
// handle is closed first.
void deliver_command(const char* command_text);

// How long a busy or hung mIRC may keep the player waiting.
inline constexpr std::uint32_t mirc_answer_timeout_ms = 3000;
