// The real platform behind exception_win32: the thread's last-error value and
// the host's support library shared.dll, which words system messages and
// keeps a per-thread call stack for crash reports.
#include "host/shared_api.h"
#include "support/win32_error_platform.h"

#include <windows.h>

#include <new>

static_assert(sizeof(uCallStackTracker) == 4, "the tracker fits the 4-byte slot exception_win32 keeps for it");

namespace win32_error_platform {

std::uint32_t last_error() noexcept { return GetLastError(); }
void set_last_error(std::uint32_t code) noexcept { SetLastError(code); }
bool format_message(pfc::string_base& out, std::uint32_t code) { return uFormatSystemErrorMessage(out, code) != 0; }
void enter_call_stack(void* slot, const char* text) noexcept { new (slot) uCallStackTracker(text); }
void leave_call_stack(void* slot) noexcept { static_cast<uCallStackTracker*>(slot)->~uCallStackTracker(); }

} // namespace win32_error_platform
