// Native (non-Windows) builds have no mIRC to talk to; they exist for tests of
// the portable logic, which put their own delivery in place.
#include "announcer/mirc_delivery.h"
#include "runtime/console.h"

void deliver_command(const char* /*command_text*/) { console_error("mIRC delivery needs Windows"); }
