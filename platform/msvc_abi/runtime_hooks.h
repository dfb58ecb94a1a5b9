// What the pieces of this runtime share: the universal C runtime's per-module
// exit tables and the one loop that runs a section's constructors.
#pragma once
#include <stdint.h>

extern "C" {
using msvc_abi_function = void(__cdecl*)();
typedef int(__cdecl* _onexit_t)();
struct _onexit_table_t {
  _onexit_t* _first;
  _onexit_t* _last;
  _onexit_t* _end;
};
__declspec(dllimport) int __cdecl _initialize_onexit_table(_onexit_table_t* table);
__declspec(dllimport) int __cdecl _register_onexit_function(_onexit_table_t* table, _onexit_t function);
__declspec(dllimport) int __cdecl _execute_onexit_table(_onexit_table_t* table);
void __cdecl __security_init_cookie();
}

// The C runtime's headers declare atexit as imported; the module's own is
// defined under another name in C++ and the runtime's name in the object.
#ifdef __i386__
#define MSVC_ABI_ATEXIT "_atexit"
#else
#define MSVC_ABI_ATEXIT "atexit"
#endif
extern "C" int __cdecl module_atexit(msvc_abi_function function) __asm__(MSVC_ABI_ATEXIT);

inline void msvc_abi_run_initializers(const msvc_abi_function* first, const msvc_abi_function* last) {
  for (const msvc_abi_function* f = first; f != last; ++f)
    if (*f != nullptr) (*f)();
}
