// What exception_win32 needs of the platform and of the host's support
// library. Exactly one definition is linked: the real one on Windows
// (exception_win32_system_win32.cpp), a quiet one elsewhere
// (exception_win32_system_native.cpp). Both come from an archive, so a
// program that defines these itself, to script the platform, keeps its own.
#pragma once
#include "host/string_base.h"

#include <cstdint>

namespace win32_error_platform {

std::uint32_t last_error() noexcept;
void set_last_error(std::uint32_t code) noexcept;
// Writes the system's message for code into out and returns true, or returns
// false when there is none.
bool format_message(pfc::string_base& out, std::uint32_t code);
// Construct and destroy the host's call-stack tracker in a 4-byte slot.
void enter_call_stack(void* slot, const char* text) noexcept;
void leave_call_stack(void* slot) noexcept;

} // namespace win32_error_platform
