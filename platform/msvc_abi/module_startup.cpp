// What Microsoft's static runtime puts into every DLL: the entry point that
// runs the module's static constructors before DllMain sees the process and
// its static destructors after DllMain lets it go, and the module's own
// atexit table, which those destructors are registered in.
#include "runtime_hooks.h"

namespace {
constexpr unsigned long process_detach = 0, process_attach = 1;
} // namespace

extern "C" {

// The compiler puts a pointer to each file's static constructor between
// these two; the linker orders the sections by name.
#pragma section(".CRT$XCA", read)
#pragma section(".CRT$XCZ", read)
__declspec(allocate(".CRT$XCA")) const msvc_abi_function __xc_a[] = {nullptr};
__declspec(allocate(".CRT$XCZ")) const msvc_abi_function __xc_z[] = {nullptr};

int __stdcall DllMain(void* module, unsigned long reason, void* reserved);

} // extern "C"

namespace {
// In .bss, so it is empty before the first constructor runs.
_onexit_table_t g_module_exit_table;
} // namespace

int __cdecl module_atexit(msvc_abi_function function) {
  return _register_onexit_function(&g_module_exit_table, reinterpret_cast<_onexit_t>(function));
}

extern "C" int __stdcall _DllMainCRTStartup(void* module, unsigned long reason, void* reserved) {
  if (reason == process_attach) {
    __security_init_cookie();
    if (_initialize_onexit_table(&g_module_exit_table) != 0) return 0;
    msvc_abi_run_initializers(__xc_a, __xc_z);
  }
  const int result = DllMain(module, reason, reserved);
  // A failed attach is followed by no detach: the constructors' work is
  // undone here, as for a detach.
  if (reason == process_detach || (reason == process_attach && !result)) _execute_onexit_table(&g_module_exit_table);
  return result;
}
