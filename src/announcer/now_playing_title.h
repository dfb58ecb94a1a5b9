// The title the component publishes for on-demand use: what mIRC's block
// carries of an announcement after "/me is playing: ", the same cut included.
#pragma once
#include "now_playing/now_playing_block.h"

// Writes the title of command_text (announce_prefix, then the title as
// build_command_text made it) into the block, through the block's protocol.
// No allocation, no exception.
void write_now_playing_title(now_playing::block& b, const char* command_text) noexcept;

// Publishes the title of command_text in the block "ChirplineNowPlaying",
// which the component makes at its first track and keeps until it unloads. A
// name some other program holds is not written into: one console line says
// so, once, and each later track tries again. Never waits, never raises.
void publish_now_playing(const char* command_text) noexcept;
