#include "host_commands.h"

const host_command host_command_table[] = {
    {L"info", "", "print the component's client version, debug flag and factory chain (default)", run_info},
    {L"about", "", "print the component's name, version, about text and installation check", run_about},
    {L"play", "PLAYLIST", "report each track of PLAYLIST as the new track; check no reference is kept", run_play},
    {L"prefs", "[ACTION...]",
     "preferences window with the component's page; ACTIONs (click set=TEXT type=TEXT apply reset state wait=MS "
     "close) drive it first",
     run_prefs},
};
const std::size_t host_command_count = sizeof host_command_table / sizeof host_command_table[0];
