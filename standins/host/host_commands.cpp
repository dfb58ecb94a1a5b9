#include "host_commands.h"

#include <cstdint>

const host_command host_command_table[] = {
    {L"info", "", "print the component's client version, debug flag and factory chain (default)", 0, 0, run_info},
    {L"about", "", "print the component's name, version, about text and installation check", 0, 0, run_about},
    {L"play", "[--step] [--repeat N] PLAYLIST",
     "report each track of PLAYLIST (N times over) as the new track; check no reference is kept; with --step, "
     "wait for a line on standard input before each next track and before quitting",
     0, 4, run_play}, // its own options: run_play checks them
    {L"prefs", "[ACTION...]",
     "preferences window with the component's page; ACTIONs (click set=TEXT type=TEXT apply reset state wait=MS "
     "close) drive it first",
     0, SIZE_MAX, run_prefs},
};
const std::size_t host_command_count = sizeof host_command_table / sizeof host_command_table[0];
