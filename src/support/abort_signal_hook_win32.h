// Turns the C runtime's interrupt, termination, break and abort signals into a
// non-continuable structured exception, so whatever handles faults in the host
// process sees them. Installed while the library loads; at unload each signal
// whose handler is still ours gets back the handler it had before.
#pragma once
#include <cstdint>

#include <windows.h>

constexpr DWORD abort_signal_exception_code = 0x6F8E1DC8u;

// Signals 2, 15, 21 and 22, hooked in this order.
constexpr int abort_signal_numbers[4] = {2, 15, 21, 22};

// Installs abort_signal_handler for each of abort_signal_numbers, keeping the
// previous handlers, then clears every abort-behaviour flag of the runtime
// (where the runtime has them). A second call while installed does nothing.
void install_abort_signal_hook() noexcept;

// Puts the kept handlers back, each only where abort_signal_handler is still
// the one installed (a handler set after ours stays).
void remove_abort_signal_hook() noexcept;

// Raises exception abort_signal_exception_code, EXCEPTION_NONCONTINUABLE, with
// the signal number as its one argument. Never returns.
[[noreturn]] void __cdecl abort_signal_handler(int signal_number);

// The C runtime module this library's signal() belongs to (msvcrt.dll under
// MinGW, ucrtbase.dll under the universal runtime).
HMODULE c_runtime_module() noexcept;

// Calls the runtime's _set_abort_behavior(0, all bits) if that module exports
// it; returns whether it did. msvcrt.dll has no abort-behaviour flags at all.
bool clear_abort_behavior(HMODULE runtime) noexcept;
