#include "host_commands.h"

const host_command host_command_table[] = {
    {L"info", "", "print the component's client version, debug flag and factory chain (default)", run_info},
    {L"about", "", "print the component's name, version, about text and installation check", run_about},
};
const std::size_t host_command_count = sizeof host_command_table / sizeof host_command_table[0];
