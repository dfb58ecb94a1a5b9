// What Microsoft's static runtime puts into a console program: its arguments
// from the universal C runtime, its static constructors, and exit(), which
// runs the destructors registered through atexit. Included by the one file
// of each entry point (wmain, main).
#pragma once
#include "runtime_hooks.h"

extern "C" {

#pragma section(".CRT$XCA", read)
#pragma section(".CRT$XCZ", read)
__declspec(allocate(".CRT$XCA")) const msvc_abi_function __xc_a[] = {nullptr};
__declspec(allocate(".CRT$XCZ")) const msvc_abi_function __xc_z[] = {nullptr};

__declspec(dllimport) int __cdecl _configure_wide_argv(int mode);
__declspec(dllimport) int __cdecl _configure_narrow_argv(int mode);
__declspec(dllimport) int __cdecl _initialize_narrow_environment();
__declspec(dllimport) char*** __cdecl __p___argv();
__declspec(dllimport) int __cdecl _initialize_wide_environment();
__declspec(dllimport) int* __cdecl __p___argc();
__declspec(dllimport) wchar_t*** __cdecl __p___wargv();
__declspec(dllimport) void __cdecl _set_app_type(int type);
__declspec(dllimport) int __cdecl _crt_atexit(msvc_abi_function function);
__declspec(dllimport) __declspec(noreturn) void __cdecl exit(int code);

} // extern "C"

int __cdecl module_atexit(msvc_abi_function function) { return _crt_atexit(function); }

// Before the program's own code: the cookie, the kind of program, the static
// constructors (the arguments are made by the caller).
inline void start_program() {
  __security_init_cookie();
  _set_app_type(1); // a console program
  msvc_abi_run_initializers(__xc_a, __xc_z);
}
