// Off Windows there is no system message table and no host support library:
// a per-thread last-error value, no messages, and no call-stack tracker.
#include "support/win32_error_platform.h"

namespace win32_error_platform {
namespace {
thread_local std::uint32_t t_last_error = 0;
} // namespace

std::uint32_t last_error() noexcept { return t_last_error; }
void set_last_error(std::uint32_t code) noexcept { t_last_error = code; }
bool format_message(pfc::string_base&, std::uint32_t) { return false; }
void enter_call_stack(void*, const char*) noexcept {}
void leave_call_stack(void*) noexcept {}

} // namespace win32_error_platform
