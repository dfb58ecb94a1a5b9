// Off Windows there is no system message table and no host support library:
// a per-thread last-error value, no messages, and no call-stack tracker.
#include "support/exception_win32.h"

namespace {
thread_local std::uint32_t t_last_error = 0;

std::uint32_t get_last_error() noexcept { return t_last_error; }
void set_last_error(std::uint32_t code) noexcept { t_last_error = code; }
bool format_message(pfc::string_base&, std::uint32_t) { return false; }
void enter_call_stack(void*, const char*) noexcept {}
void leave_call_stack(void*) noexcept {}

const win32_error_system g_native = {get_last_error, set_last_error, format_message, enter_call_stack,
                                     leave_call_stack};
} // namespace

const win32_error_system& default_win32_error_system() noexcept { return g_native; }
